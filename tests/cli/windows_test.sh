#!/usr/bin/env bash
# The Windows tool under Wine: binary standard streams, names in UTF-16, outputs replaced through
# ReplaceFileW or MoveFileExW, Ctrl-C, md5sum lists with CR LF ends. The peers (md5sum, base64,
# openssl) run natively beside it.
source "$(dirname "$0")/lib.sh"
# Wine reads the names and arguments it passes on in the locale's character set.
export LC_ALL=C.UTF-8

# Every byte value, CR LF and Ctrl-Z among them, in every position of a 64-byte block.
all_bytes() {
  for _ in 1 2 3; do
    printf "$(printf '\\%03o' $(seq 0 255))"
    printf 'a\r\nb\032c\n\r'
  done
}

case $case_name in
streams_are_binary)
  all_bytes > bytes
  expect_status 0 "md5 of standard input" sh -c "'$bin' md5 < bytes"
  expect_eq "$(cat out)" "$(md5sum < bytes | upper_digests)" "md5 of every byte through a pipe"
  expect_status 0 "base64 of standard input" sh -c "cat bytes | '$bin' base64"
  expect_eq "$(cat out)" "$(base64 -w0 < bytes)" "base64 of every byte"
  expect_status 0 "base64 back" sh -c "base64 -w0 < bytes | '$bin' base64 -d > back"
  expect_same_file back bytes "base64 round trip through standard output"
  key=0123456789ABCDEF
  expect_status 0 "des of standard input" sh -c "'$bin' des -e --key $key < bytes > des.out"
  if have_openssl_des; then
    openssl_des des-ecb "$key" bytes > des.peer
    expect_same_file des.out des.peer "des of every byte"
  fi
  expect_status 0 "des back" sh -c "'$bin' des -d --key $key < des.out > des.back"
  expect_eq "$(head -c "$(stat -c %s bytes)" des.back | md5sum)" "$(md5sum < bytes)" "des round trip"
  ;;
names_are_unicode)
  # Outside every ANSI code page together: only UTF-16 names reach them all.
  names=("café.bin" "日本語 ファイル" "Ελληνικά" "emoji 😀.txt" "a'b")
  for name in "${names[@]}"; do printf '%s' "$name" > "$name"; done
  expect_status 0 "md5 of the names" "$bin" md5 "${names[@]}"
  expect_eq "$(cat out)" "$(md5sum "${names[@]}" | upper_digests)" "md5 lines of UTF-16 names"
  expect_status 0 "an output with such a name" "$bin" base64 "emoji 😀.txt" -o "日本語.b64"
  expect_eq "$(cat "日本語.b64")" "$(base64 -w0 "emoji 😀.txt")" "written under its name"
  expect_status 0 "texts as arguments" "$bin" --codepage=65001 encode "日本" "😀"
  expect_eq "$(cat out)" "$(printf '%s' "日本" | base64 -w0)
$(printf '%s' "😀" | base64 -w0)" "arguments reach the tool as UTF-16, whole"
  expect_error 1 "ansicrypt: 'missing é': No such file or directory" "a missing name, quoted" \
    "$bin" md5 "missing é"
  # A list's name that is not UTF-8 names no Windows file, even where one is named with U+FFFD.
  printf 'abc' > "$(printf 'caf\357\277\275')"
  printf '900150983cd24fb0d6963f7d28e17f72  caf\351\n' > list
  expect_status 1 "a name that is not UTF-8" "$bin" md5 -c list
  expect_eq "$(cat out)" "$(printf 'caf\351: FAILED open or read')" "not read as U+FFFD"
  no_temporary_files
  ;;
check_reads_crlf_lists)
  printf 'one\r\n' > one
  printf 'two' > two
  md5sum one two | sed 's/$/\r/' > list
  expect_status 0 "a list with CR LF ends" "$bin" md5 -c list
  expect_eq "$(cat out)" "one: OK
two: OK" "every line checked"
  printf 'x' >> two
  expect_like_peer "a changed file" "'$bin' md5 -c list" "md5sum -c list"
  ;;
outputs_are_replaced)
  printf 'plain' > in
  echo old > result
  ln result other_name
  expect_status 0 "an existing file" "$bin" base64 in -o result
  expect_eq "$(cat result)" "$(base64 -w0 in)" "replaced"
  expect_eq "$(cat other_name)" old "a hard link keeps the old file"
  expect_status 0 "the input itself" "$bin" base64 in -o in
  expect_eq "$(cat in)" "$(printf plain | base64 -w0)" "replaced over the open input"
  printf 'plain' > in
  echo old > locked
  chmod a-w locked
  expect_error 1 "ansicrypt: locked: Permission denied" "a read-only file" "$bin" base64 in -o locked
  expect_eq "$(cat locked)" old "the read-only file untouched"
  mkdir folder
  expect_error 1 "ansicrypt: folder: Is a directory" "a folder" "$bin" base64 in -o folder
  expect_error 1 "ansicrypt: '': No such file or directory" "the empty name" "$bin" base64 in --output=
  expect_eq "$(cat in)" plain "the input survives --output="
  expect_error 1 "ansicrypt: missing/x: No such file or directory" "no such folder" \
    "$bin" base64 in -o missing/x
  expect_error 1 "ansicrypt: in: input file is output file" "appending to the input" \
    sh -c "'$bin' base64 in >> in"
  expect_eq "$(cat in)" plain "the input untouched"
  echo old > real
  ln -s real link
  expect_status 0 "through a symbolic link" "$bin" base64 in -o link
  [ -L link ] || fail "the link stays a link"
  expect_eq "$(cat real)" "$(base64 -w0 in)" "the file the link leads to is replaced"
  expect_status 0 "the NUL device" "$bin" base64 in -o NUL
  [ ! -e NUL ] || fail "NUL is a device, not a file"
  no_temporary_files
  ;;
ctrl_c_removes_the_temporary_file)
  echo old > result
  mkfifo slow
  ( head -c 300000 /dev/zero; exec sleep 20 ) > slow 2> /dev/null & feeder=$!
  # Wine turns SIGINT into Ctrl-C for the program, on a thread of its own.
  set -m
  "$bin" base64 -o result < slow & tool=$!
  set +m
  for _ in $(seq 100); do
    [ -n "$(find . -name '.ansicrypt-*' -print -quit)" ] && break
    sleep 0.1
  done
  [ -n "$(find . -name '.ansicrypt-*' -print -quit)" ] || fail "no temporary file while writing"
  kill -INT "$tool"
  status=0
  wait "$tool" || status=$?
  kill "$feeder" 2>/dev/null || true
  wait "$feeder" 2>/dev/null || true
  # STATUS_CONTROL_C_EXIT (0xC000013A), of which the exit status keeps the low byte.
  expect_eq "$status" 58 "exit status after Ctrl-C"
  expect_eq "$(cat result)" old "OUT untouched after Ctrl-C"
  no_temporary_files
  # Killed outright, no handler runs: the file was marked for deletion when it was made.
  ( head -c 300000 /dev/zero; exec sleep 20 ) > slow 2> /dev/null & feeder=$!
  "$bin" base64 -o result < slow & tool=$!
  for _ in $(seq 100); do
    [ -n "$(find . -name '.ansicrypt-*' -print -quit)" ] && break
    sleep 0.1
  done
  kill -KILL "$tool"
  wait "$tool" || true
  kill "$feeder" 2>/dev/null || true
  wait "$feeder" 2>/dev/null || true
  for _ in $(seq 50); do
    [ -z "$(find . -name '.ansicrypt-*' -print -quit)" ] && break
    sleep 0.1
  done
  expect_eq "$(cat result)" old "OUT untouched after SIGKILL"
  no_temporary_files
  ;;
records_through_pipes)
  # Lines that arrive slowly through a pipe are answered one by one, by several threads.
  expect_status 0 "lines through a pipe" sh -c "{ echo one; sleep 1; printf 'two\r\n'; } | '$bin' digest -j 2"
  expect_eq "$(cat out)" "$("$bin" digest one two)" "CR LF ends a line"
  # A bad record stops the command while its input pipe stays open: the reader stops too. Through
  # a pipe of Windows' own, which the tool can look into without reading.
  printf 'ok\n\351\n' > bad
  expect_status 1 "a bad record, the pipe left open" \
    "$here/../../tools/wine_run.sh" "$ANSICRYPT_PIPE_FEEDER" bad 20000 "$ANSICRYPT_TOOL_EXE" digest -j 2
  expect_eq "$(cat out)" "$("$bin" digest ok)" "the records before it are written"
  grep -q "line 2: not valid UTF-8" err || fail "the bad record is reported: $(cat err)"
  printf 'ok\n' > good
  expect_status 124 "a good record, the pipe left open: the tool waits for more" \
    "$here/../../tools/wine_run.sh" "$ANSICRYPT_PIPE_FEEDER" good 2000 "$ANSICRYPT_TOOL_EXE" digest -j 2
  ;;
closed_pipes_end_quietly)
  # The reader of standard output has gone (a Windows pipe): no message, status 1.
  head -c 300000 /dev/zero > big
  expect_error 1 "" "writing to a pipe without reader" \
    "$here/../../tools/wine_run.sh" "$ANSICRYPT_PIPE_FEEDER" --reader-gone 20000 \
    "$ANSICRYPT_TOOL_EXE" base64 big
  ;;
selftest)
  expect_status 0 "selftest" "$bin" selftest
  grep -q "^SIMD paths: " out || fail "selftest names its SIMD paths: $(cat out)"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
