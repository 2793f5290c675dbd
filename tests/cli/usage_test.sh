#!/usr/bin/env bash
# The command line itself: help, version, usage errors that name what was not understood, write
# errors of every command, and the self-test.
. "$(dirname "$0")/lib.sh"
version=${3:?the project version}

case $case_name in
help_and_version)
  expect_status 0 "--help" "$bin" --help
  grep -q "Streams of bytes" out && grep -q "Texts, one record per" out || fail "two kinds of commands"
  expect_status 0 "md5 --help" "$bin" md5 --help
  expect_eq "$("$bin" --version)" "ansicrypt $version" "version"
  ;;
usage_errors)
  expect_error 2 "ansicrypt: unknown command 'md55'
Try 'ansicrypt --help' for more information." "a mistyped command" "$bin" md55
  expect_error 2 "ansicrypt: unrecognized option '--kye'
Try 'ansicrypt --help' for more information." "a mistyped option" "$bin" encrypt --kye k x
  expect_status 2 "no command" "$bin"
  expect_status 2 "--key missing" "$bin" encrypt x
  grep -q -- "--key" err || fail "names --key: $(cat err)"
  expect_status 2 "an unknown code page" "$bin" --codepage 437 digest x
  expect_status 2 "a code page that is no number" "$bin" --codepage 1252x digest x
  expect_status 2 "two inputs" "$bin" base64 a b
  expect_status 2 "--status without -c" "$bin" md5 --status a
  expect_status 2 "--tag with -c" "$bin" md5 -c --tag a
  ;;
system_errors_have_no_legacy_number)
  expect_error 1 "ansicrypt: missing: No such file or directory" "a missing file" "$bin" base64 missing
  mkdir locked && chmod 000 locked
  if [ "$(id -u)" != 0 ]; then
    expect_error 1 "ansicrypt: locked/x: Permission denied" "no permission" "$bin" md5 locked/x
  fi
  expect_error 1 "ansicrypt: base64: invalid argument (error 5)" "a library error has its number" \
    sh -c "printf A | '$bin' base64 -d"
  ;;
write_errors)
  make_device full 1 7
  printf x > one
  md5sum one > list
  for command in "--help" "--version" "selftest" "md5 one" "encode x" "digest x" \
                 "base64 one -w 1" "des -e --key 0123456789ABCDEF one" "md5 -c list"; do
    status=0
    # shellcheck disable=SC2086
    "$bin" $command > full 2> err || status=$?
    expect_eq "$status" 1 "$command > a full device"
    grep -q "No space left on device" err || fail "$command: the write error is reported: $(cat err)"
  done
  # A closed pipe ends the tool quietly.
  head -c 5000000 /dev/zero > zeros
  echo 0 > status
  { "$bin" base64 zeros 2> err || echo "$?" > status; } | head -c 10 > /dev/null
  expect_eq "$(cat err)" "" "quiet on a closed pipe"
  expect_eq "$(cat status)" 141 "ended by SIGPIPE, as coreutils is"
  ;;
selftest)
  expect_status 0 "selftest" "$bin" selftest
  expect_eq "$(grep -c PASS out)" 7 "every service and the code page pass"
  expect_status 0 "selftest in 936 with best fit" "$bin" --codepage 936 --best-fit selftest
  grep -q "ANSI code page 936, best fit .*PASS" out || fail "the chosen code page: $(cat out)"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
