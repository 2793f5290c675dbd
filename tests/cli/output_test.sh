#!/usr/bin/env bash
# Output files: written beside OUT and renamed over it on success; nothing the tool did not
# create is ever removed or truncated, whatever fails and whatever OUT is.
. "$(dirname "$0")/lib.sh"

key=0123456789ABCDEF

# signal_a_replacement SIGNAL CHECK: sends SIGNAL to base64 while it replaces ./result from a slow
# FIFO, once the shell command CHECK holds; the tool ends by SIGNAL, leaving result as it was and
# no temporary file.
signal_a_replacement() {
  local signal=$1 check=$2 feeder tool status=0
  echo old > result
  mkfifo "slow$signal"
  ( { head -c 3000000 /dev/zero; sleep 5; } > "slow$signal" ) & feeder=$!
  # Started in the background by a script, the tool would ignore SIGINT and SIGQUIT; set -m keeps
  # them.
  set -m
  "$bin" base64 "slow$signal" -o result & tool=$!
  set +m
  sleep 0.5
  sh -c "$check" || fail "before SIG$signal: $check"
  kill -"$signal" "$tool"
  wait "$tool" || status=$?
  kill "$feeder" 2>/dev/null || true
  wait "$feeder" 2>/dev/null || true
  expect_eq "$status" $((128 + $(kill -l "$signal"))) "exit status after SIG$signal"
  expect_eq "$(cat result)" old "OUT untouched after SIG$signal"
  no_temporary_files
}

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
  [ -L link ] || fail "the link survives"
  expect_eq "$(cat keep.txt)" keep "the link's target survives"
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
  [ -p fifo ] || fail "the FIFO stays"
  expect_eq "$(cat from-fifo)" "$(base64 -w0 data)" "written into the FIFO"
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
outputs_that_are_descriptors)
  # An OUT that names a descriptor of the process, or is the file standard output or error
  # already writes, is written through that descriptor, in place and at its offset.
  printf 'data\n' > x
  want=$(base64 -w0 x)
  printf 'precious\n' > log
  expect_status 0 "-o /dev/stdout >> log" sh -c "'$bin' base64 -o /dev/stdout < x >> log"
  expect_eq "$(cat log)" "precious
$want" "appended to the caller's file"
  { echo before; "$bin" base64 -o /dev/stdout < x; echo; echo after; } > log2
  expect_eq "$(cat log2)" "before
$want
after" "written at the caller's offset, the caller's file kept"
  for out in /dev/fd/1 /proc/self/fd/1 "/proc/\$\$/fd/1" log3 ./stdout-link; do
    printf 'old\n' > log3
    ln -sf /dev/stdout stdout-link
    expect_status 0 "-o $out >> log3" sh -c "exec '$bin' base64 -o $out x >> log3"
    expect_eq "$(cat log3)" "old
$want" "-o $out appends where the caller's redirection writes"
  done
  printf 'old\n' > log4
  expect_status 0 "-o /dev/stderr 2>> log4" sh -c "'$bin' base64 -o /dev/stderr x 2>> log4"
  expect_eq "$(cat log4)" "old
$want" "standard error"
  printf 'old\n' > log5
  expect_status 0 "-o /dev/fd/3 3>> log5" sh -c "'$bin' base64 -o /dev/fd/3 x 3>> log5"
  expect_eq "$(cat log5)" "old
$want" "another descriptor"
  ls -l /proc/self/fd/ > /dev/null
  # The same-file check still applies, and a closed descriptor is no file.
  cp x same
  expect_error 1 "ansicrypt: same: input file is output file" "the input through /dev/stdout" \
    sh -c "'$bin' base64 same -o /dev/stdout >> same"
  expect_eq "$(cat same)" data "the input is untouched"
  expect_error 1 "ansicrypt: /dev/stdout: Bad file descriptor" "a closed standard output" \
    sh -c "'$bin' base64 x -o /dev/stdout >&-"
  expect_error 1 "ansicrypt: /dev/fd/7: Bad file descriptor" "a descriptor that is not open" \
    "$bin" base64 x -o /dev/fd/7
  [ ! -e /dev/fd/7 ] || fail "nothing was made"
  ;;
closed_descriptors_hold_no_data)
  # A closed descriptor reads and writes as closed, also through its names: /dev/stdin then names
  # nothing, as md5sum finds it.
  printf 'data\n' > x
  expect_like_peer "md5 /dev/stdin <&-" "$bin md5 /dev/stdin <&-" "md5sum /dev/stdin <&-"
  expect_like_peer "md5 -j 2 x /dev/stdin x <&-" "$bin md5 -j 2 x /dev/stdin x <&-" \
    "md5sum x /dev/stdin x <&-" upper_digests
  expect_like_peer "md5 -c /dev/stdin <&-" "$bin md5 -c /dev/stdin <&-" "md5sum -c /dev/stdin <&-"
  ln -s /dev/stdin in-link
  expect_like_peer "a link to /dev/stdin <&-" "$bin md5 in-link <&-" "md5sum in-link <&-"
  expect_error 1 "ansicrypt: /dev/stdin: No such file or directory" "base64 /dev/stdin <&-" \
    sh -c "'$bin' base64 /dev/stdin -o result <&-"
  [ ! -e result ] || fail "no output after a failed input"
  expect_error 1 "ansicrypt: standard output: Bad file descriptor" "md5 >&-" \
    sh -c "'$bin' md5 x >&-"
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
metadata_is_kept)
  [ "$(id -u)" = 0 ] && command -v setfacl >/dev/null && command -v setfattr >/dev/null || exit 77
  id nobody >/dev/null 2>&1 || exit 77
  random_file data 100
  # An access control list and its mask: kept, and the group gains nothing.
  echo old > acl && chmod 640 acl
  setfacl -m u:nobody:rw acl 2>/dev/null || exit 77  # a file system without ACLs
  getfacl -c acl > acl.before
  expect_status 0 "replacing a file with an ACL" "$bin" base64 data -o acl
  getfacl -c acl > acl.after
  expect_same_file acl.after acl.before "the ACL and the mode"
  # Extended attributes of the user's namespace.
  echo old > attrs
  setfattr -n user.origin -v legacy attrs && setfattr -n user.empty attrs
  expect_status 0 "replacing a file with attributes" "$bin" base64 data -o attrs
  expect_eq "$(getfattr --absolute-names -d attrs | grep user. | sort)" 'user.empty=""
user.origin="legacy"' "the attributes"
  # A folder's default ACL does not come into a file that had no ACL.
  mkdir inherit && setfacl -d -m u:nobody:rwx inherit
  echo old > inherit/plain && setfacl -b inherit/plain && chmod 600 inherit/plain
  expect_status 0 "replacing a file in a folder with a default ACL" "$bin" base64 data -o inherit/plain
  expect_eq "$(getfacl -c inherit/plain | grep -c nobody || true)" 0 "no ACL comes in"
  expect_eq "$(stat -c %a inherit/plain)" 600 "the mode stays"
  # A new OUT in a folder with a default ACL gets what the shell's > would give it.
  mkdir defaults && setfacl -d -m u:nobody:rwx defaults
  "$bin" base64 data -o defaults/ours
  base64 -w0 data > defaults/shells
  expect_eq "$(getfacl -c defaults/ours)" "$(getfacl -c defaults/shells)" "a new file's ACL"
  expect_eq "$(stat -c %a defaults/ours)" "$(stat -c %a defaults/shells)" "a new file's mode"
  # Owner and group, where we may set them.
  echo old > owned && chown nobody:nogroup owned && chmod 646 owned
  expect_status 0 "replacing another user's file as root" "$bin" base64 data -o owned
  expect_eq "$(stat -c '%U %G %a' owned)" "nobody nogroup 646" "owner, group and mode"
  # Where they cannot be kept, nothing is replaced, and > is suggested.
  as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
  mkdir open && chmod 777 open && chmod 755 "$work"
  cp data open/data && chmod 644 open/data
  echo root > open/rootfile && chmod 666 open/rootfile
  expect_error 1 "ansicrypt: open/rootfile: cannot replace it and keep its owner (Operation not permitted); write to it with > instead" \
    "a writable file of another user" as_nobody "$bin" base64 open/data -o open/rootfile
  expect_eq "$(cat open/rootfile) $(stat -c %U open/rootfile)" "root root" "untouched"
  echo mine > open/group && chown nobody:root open/group && chmod 664 open/group
  expect_error 1 "ansicrypt: open/group: cannot replace it and keep its group (Operation not permitted); write to it with > instead" \
    "a group we are not in" as_nobody "$bin" base64 open/data -o open/group
  expect_eq "$(cat open/group) $(stat -c %G open/group)" "mine root" "untouched"
  if ls -a open | grep -q ansicrypt; then fail "temporary file left: $(ls -a open)"; fi
  ;;
replacements_the_shell_could_write)
  [ "$(id -u)" = 0 ] && id nobody >/dev/null 2>&1 && command -v setpriv >/dev/null || exit 77
  as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
  chmod 755 "$work"
  printf data > data && chmod 644 data
  # Another user's file in a folder with the sticky bit.
  mkdir sticky && chmod 1777 sticky
  echo root > sticky/f && chmod 666 sticky/f
  expect_error 1 "ansicrypt: sticky/f: cannot replace it as it belongs to another user in a folder with the sticky bit; write to it with > instead" \
    "a sticky folder" as_nobody "$bin" base64 data -o sticky/f
  expect_eq "$(cat sticky/f)" root "untouched"
  # A file of ours in a folder we may not write.
  mkdir locked && echo mine > locked/f && chown nobody locked/f && chmod 755 locked
  expect_error 1 "ansicrypt: locked/f: cannot replace it as no file can be made beside it (Permission denied); write to it with > instead" \
    "a read-only folder" as_nobody "$bin" base64 data -o locked/f
  expect_eq "$(cat locked/f)" mine "untouched"
  as_nobody sh -c "'$bin' base64 data > locked/f" || fail "> works there"
  # A file mounted over another (needs the right to mount).
  echo target > bound && echo source > source
  if mount --bind source bound 2>/dev/null; then
    status=0
    "$bin" base64 data -o bound > out 2> err || status=$?
    umount bound
    expect_eq "$status" 1 "a bind-mounted file"
    expect_eq "$(cat err)" "ansicrypt: bound: cannot replace it as it is a mount point; write to it with > instead" "a mount point"
    expect_eq "$(cat source)" source "untouched"
  fi
  ;;
names_that_lead_nowhere)
  # A path through another process's descriptor to a file that has no name any more: nothing to
  # rename over, said plainly.
  printf 'data\n' > x
  echo old > gone
  exec 3< gone
  sleep 30 3< gone & holder=$!
  exec 3<&-
  rm gone
  status=0
  "$bin" base64 x -o "/proc/$holder/fd/3" > out 2> err || status=$?
  kill "$holder" 2>/dev/null || true
  expect_eq "$status" 1 "a deleted file behind a descriptor"
  expect_eq "$(cat err)" "ansicrypt: /proc/$holder/fd/3: cannot replace it as no name leads to it (a descriptor of another process?); write to it with > instead" \
    "the message says why"
  no_temporary_files
  expect_error 1 "ansicrypt: newdir/: Is a directory" "a trailing slash" "$bin" base64 x -o newdir/
  [ ! -e newdir ] || fail "nothing made"
  ;;
signals_remove_a_named_temporary_file)
  # Where no file can stay unnamed (here /proc is hidden, so it cannot be named at the end), the
  # named temporary file is removed by every signal that ends the tool, faults and limits too.
  [ "$(id -u)" = 0 ] && command -v unshare >/dev/null || exit 77
  [ "${IN_PRIVATE_MOUNTS:-}" = 1 ] || {
    unshare -m --propagation private env IN_PRIVATE_MOUNTS=1 bash "$here/$(basename "$0")" "$bin" "$case_name" ||
      exit $?
    exit 0
  }
  mount -t tmpfs none /proc || exit 77
  signals="TERM QUIT XCPU USR1 ABRT ILL TRAP SYS"
  # Under AddressSanitizer its own handlers take these.
  [ -n "${ASAN_OPTIONS:-}" ] || signals="$signals SEGV BUS FPE"
  for signal in $signals; do
    signal_a_replacement "$signal" "ls -a | grep -q '^\.ansicrypt-'"
  done
  umount /proc
  ;;
signals_remove_the_temporary_file)
  for signal in TERM INT HUP QUIT USR1 USR2 ALRM PIPE KILL; do
    signal_a_replacement "$signal" true
  done
  # A file-size limit is a write error like any other: reported, nothing left behind.
  random_file big 3000000
  echo old > result
  expect_error 1 "ansicrypt: result: File too large" "past the file-size limit" \
    sh -c "ulimit -f 100; exec '$bin' base64 big -o result"
  expect_eq "$(head -c 10 result)" old "OUT untouched past the limit"
  no_temporary_files
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
