#!/usr/bin/env bash
# Output files: written beside OUT and renamed over it on success; nothing the tool did not
# create is ever removed or truncated, whatever fails and whatever OUT is.
. "$(dirname "$0")/lib.sh"

key=0123456789ABCDEF

case $case_name in
input_is_output)
  random_file data 100000
  cp data orig
  expect_status 0 "des over itself" "$bin" des -e --key "$key" data -o data
  expect_status 0 "and back" "$bin" des -d --key "$key" data -o data
  expect_same_file data orig "des in place"
  ln -s data link
  expect_status 0 "base64 through a link to itself" "$bin" base64 link -o link
  [ -L link ] || fail "the link stays a link"
  expect_status 0 "and back" "$bin" base64 -d data -o link
  expect_same_file data orig "base64 in place through a link"
  chmod 640 data
  "$bin" base64 orig -o data
  expect_eq "$(stat -c %a data)" 640 "the replaced file keeps its permissions"
  # Standard output that is the input itself cannot be written in place.
  cp orig appended
  expect_error 1 "ansicrypt: appended: input file is output file" "base64 f >> f" \
    sh -c "'$bin' base64 appended >> appended"
  expect_same_file appended orig "the input is untouched"
  no_temporary_files
  ;;
failures_remove_nothing)
  mkdir adir
  echo keep > keep.txt
  expect_status 1 "a directory as input" "$bin" base64 adir -o keep.txt
  expect_eq "$(cat keep.txt)" keep "an existing OUT survives a bad input"
  printf 'TWF' > bad
  expect_status 1 "bad Base64" "$bin" base64 -d bad -o keep.txt
  expect_eq "$(cat keep.txt)" keep "an existing OUT survives a failed conversion"
  ln -s keep.txt link
  expect_status 1 "bad Base64 through a link" "$bin" base64 -d bad -o link
  [ -L link ] && expect_eq "$(cat keep.txt)" keep "the link and its target survive"
  make_device null 1 3
  make_device full 1 7
  expect_status 1 "a directory into a device" "$bin" des -e --key "$key" adir -o null
  [ -c null ] || fail "the device node is still there"
  ln -s null stdout-like
  expect_status 1 "bad Base64 into a link to a device" "$bin" base64 -d bad -o stdout-like
  [ -L stdout-like ] && [ -c null ] || fail "the link and the node are still there"
  random_file data 1000
  expect_error 1 "ansicrypt: full: No space left on device" "a device that refuses writes" \
    "$bin" base64 data -o full
  [ -c full ] || fail "the full device node is still there"
  mkfifo fifo
  cat fifo > from-fifo & reader=$!
  expect_status 0 "a FIFO as output" "$bin" base64 data -o fifo
  wait $reader
  [ -p fifo ] && expect_eq "$(cat from-fifo)" "$(base64 -w0 data)" "written into the FIFO"
  no_temporary_files
  ;;
closed_descriptors_and_odd_names)
  echo important > out.txt
  expect_error 1 "ansicrypt: standard input: Bad file descriptor" "closed standard input" \
    sh -c "'$bin' base64 -o out.txt <&-"
  expect_eq "$(cat out.txt)" important "OUT untouched when standard input is closed"
  expect_error 1 "ansicrypt: standard input: Bad file descriptor" "no record to read" \
    timeout 10 "$bin" digest <&-
  expect_error 1 "ansicrypt: standard output: Bad file descriptor" "closed standard output" \
    sh -c "'$bin' encode abc >&-"
  expect_error 1 "ansicrypt: '': No such file or directory" "the empty name as input" \
    "$bin" base64 ''
  expect_error 1 "ansicrypt: '': No such file or directory" "the empty name as output" \
    "$bin" base64 out.txt -o ''
  printf 'a\n' > g
  expect_error 1 "ansicrypt: standard input: input file is output file" \
    "records appended to their own input" sh -c "timeout 10 '$bin' encode < g >> g"
  ;;
permissions_are_kept)
  random_file data 100
  echo old > setuid && chmod 4755 setuid
  expect_status 0 "replacing a set-user-ID file" "$bin" base64 data -o setuid
  expect_eq "$(stat -c %a setuid)" 4755 "its mode stays"
  command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 || exit 77
  [ "$(id -u)" = 0 ] || exit 77
  # As an unprivileged user: a file the shell's > would refuse is refused, whatever the folder.
  mkdir shared && chown nobody shared && chmod 755 "$work"
  echo root > shared/rootfile && chmod 644 shared/rootfile
  cp data shared/data && chmod 644 shared/data
  as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
  expect_error 1 "ansicrypt: shared/rootfile: Permission denied" "a file of another user" \
    as_nobody "$bin" base64 shared/data -o shared/rootfile
  expect_eq "$(cat shared/rootfile) $(stat -c %U shared/rootfile)" "root root" "untouched"
  as_nobody sh -c "echo mine > shared/readonly && chmod 444 shared/readonly"
  expect_error 1 "ansicrypt: shared/readonly: Permission denied" "a read-only file" \
    as_nobody "$bin" base64 shared/data -o shared/readonly
  ;;
signals_remove_the_temporary_file)
  for signal in TERM INT HUP; do
    echo old > out
    mkfifo "slow$signal"
    ( { head -c 3000000 /dev/zero; sleep 5; } > "slow$signal" ) & feeder=$!
    # Started in the background by a script, the tool would ignore SIGINT; set -m keeps it.
    set -m
    "$bin" base64 "slow$signal" -o out & tool=$!
    set +m
    sleep 0.5
    kill -"$signal" "$tool"
    status=0
    wait "$tool" || status=$?
    kill "$feeder" 2>/dev/null || true
    wait "$feeder" 2>/dev/null || true
    expect_eq "$status" $((128 + $(kill -l "$signal"))) "exit status after SIG$signal"
    expect_eq "$(cat out)" old "OUT untouched after SIG$signal"
    no_temporary_files
  done
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
