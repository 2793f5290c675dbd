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
  ! grep -q -- "--codepage" out || fail "md5 does not honour --codepage"
  for command in encrypt decrypt encode decode digest selftest; do
    expect_status 0 "$command --help" "$bin" "$command" --help
    grep -q -- "--codepage=N" out && grep -q -- "--best-fit" out ||
      fail "$command --help names the global options it honours"
  done
  expect_eq "$("$bin" base64 --help --nope | head -1)" "Usage: ansicrypt base64 [OPTION]... [FILE]" \
    "--help answers where it stands"
  expect_eq "$("$bin" --version)" "ansicrypt $version" "version"
  ;;
usage_errors)
  expect_error 2 "ansicrypt: md55: unknown command
Try 'ansicrypt --help' for more information." "a mistyped command" "$bin" md55
  expect_error 2 "ansicrypt: --kye: unrecognized option
Try 'ansicrypt encrypt --help' for more information." "a mistyped option" "$bin" encrypt --kye k x
  expect_status 2 "no command" "$bin"
  expect_status 2 "--key missing" "$bin" encrypt x
  grep -q -- "--key" err || fail "names --key: $(cat err)"
  expect_status 2 "two inputs" "$bin" base64 a b
  grep -q "extra operand 'b'" err || fail "names the extra operand: $(cat err)"
  expect_status 2 "--status without -c" "$bin" md5 --status a
  expect_status 2 "--tag with -c" "$bin" md5 -c --tag a
  # A code page is a decimal number of the list, nothing else: no sign, blank or wrapping.
  for page in 437 1252x 4294968232 -4294966360 ' 936' '+936' '936 ' '' 0x3A8; do
    expect_status 2 "--codepage '$page'" "$bin" --codepage "$page" digest x
    expect_status 2 "--codepage='$page' after the command" "$bin" digest "--codepage=$page" x
  done
  expect_eq "$("$bin" --codepage 0936 encode 中)" "1tA=" "leading zeros are still the number"
  # The option that lacks its value is named, not the argument it took.
  expect_status 2 "--codepage before the command" "$bin" --codepage encode abc
  expect_eq "$(head -1 err)" "ansicrypt: --codepage: needs a code page number (874, 932, 936, 949, 950, 1250 to 1258 or 65001), not 'encode'" \
    "--codepage lacks a number"
  expect_error 2 "ansicrypt: -d-: unrecognized option character '-'
Try 'ansicrypt base64 --help' for more information." "a character in a cluster" "$bin" base64 -d-
  expect_error 2 "ansicrypt: -c+: unrecognized option character '+'
Try 'ansicrypt md5 --help' for more information." "another" "$bin" md5 -c+
  expect_error 2 "ansicrypt: -z: takes no value
Try 'ansicrypt encode --help' for more information." "-z=1 names -z" "$bin" encode -z=1 x
  expect_error 2 "ansicrypt: --wrap: needs a number of columns from 0 to 4294967295, not '--'
Try 'ansicrypt base64 --help' for more information." "-w takes -- and says so" "$bin" base64 -w -- 5
  ;;
usage_messages_have_one_form)
  # Whatever is wrong, two lines: "ansicrypt: WHAT: MESSAGE", then the way to the right help.
  printf x > in
  while IFS= read -r line; do
    eval "set -- $line"
    status=0
    "$bin" "$@" > out 2> err < /dev/null || status=$?
    expect_eq "$status" 2 "exit status of: $line"
    expect_eq "$(wc -l < err)" 2 "two lines for: $line ($(cat err))"
    head -1 err | grep -Eq "^ansicrypt: [^ ]+( [^ ]+)*: [a-z'\"-]" || fail "first line of: $line: $(head -1 err)"
    tail -1 err | grep -Eq "^Try 'ansicrypt( [a-z0-9]+)? --help' for more information\.\$" ||
      fail "second line of: $line: $(tail -1 err)"
    if grep -Eq "[0-9] required|required +missing|Value .* not in|A subcommand|not in range|\\037|$(printf '\037')" err; then
      fail "a parser's own words for: $line: $(cat err)"
    fi
  done <<'LINES'
md55
''
-x
--nope md5
md5 --nope
md5 -j 0 in
md5 -j 257 in
md5 -j x in
md5 -j
md5 --tag=1 in
md5 -c --tag in
md5 --quiet in
des --key 0123456789ABCDEF in
des -e in
des -e --key 0123 in
des -e --key-number 3 --key 0123456789ABCDEF in
des -e --key-number x --key 0123456789ABCDEF in
des -e --triple --key-number 2 --key 0123456789ABCDEF0123456789ABCDEF in
des -e --key 0123456789ABCDEF in in
base64 -w -5 in
base64 -w 5x in
base64 -o
base64 --output
base64 --wrap
base64 in in
base64 -dq in
base64 --codepage 936 in
encrypt x
encrypt --key
encrypt --key k -j 0 x
encrypt --key k --keep-going=yes x
encode -z=1 x
encode --codepage
encode --codepage x y
digest --registers=2 x
selftest extra
--codepage encode abc
--codepage=437 digest x
--best-fit=1 digest x
LINES
  ;;
options_follow_getopt)
  # --opt=VALUE and -oVALUE take exactly what follows, even nothing; --opt VALUE and -o VALUE take
  # the next argument whatever it is; only a -- where an operand stands ends the options.
  printf 'TWFu' > in.b64
  cp in.b64 keep.b64
  expect_error 1 "ansicrypt: '': No such file or directory" "--output= is an empty OUT" \
    sh -c "'$bin' base64 -d --output= in.b64 < /dev/null"
  expect_same_file in.b64 keep.b64 "the operand after --output= is the input, untouched"
  printf 'precious' > data.txt
  cp data.txt keep.txt
  expect_status 0 "-o takes --" sh -c "echo x | '$bin' base64 -o -- data.txt"
  expect_same_file data.txt keep.txt "the operand after -o -- is the input, untouched"
  expect_eq "$(cat -- --)" "$(base64 -w0 data.txt)" "the output went to the file named --"
  expect_eq "$("$bin" encrypt --key= a b)" "$("$bin" encrypt --key '' a; "$bin" encrypt --key '' b)" \
    "--key= is the empty key, and every operand stays a record"
  expect_eq "$("$bin" encrypt -k '' -- --key x)" "$("$bin" encrypt --key '' -- --key; "$bin" encrypt --key '' x)" \
    "after -- everything is a record"
  expect_status 0 "-oVALUE" "$bin" base64 -oout1 data.txt
  expect_eq "$(cat out1)" "$(base64 -w0 data.txt)" "-oout1 writes out1"
  expect_status 0 "--output=-x" "$bin" base64 --output=-x data.txt
  expect_eq "$(cat ./-x)" "$(base64 -w0 data.txt)" "--output=-x writes -x"
  expect_eq "$(printf ab | "$bin" base64 -o - -)" "YWI=" "-o - is standard output, - standard input"
  # The last of a repeated option wins.
  expect_eq "$(printf abcdef | "$bin" base64 -w 3 -w 4)" "$(printf 'YWJj\nZGVm')" "-w 3 -w 4"
  expect_status 0 "-o a -o b" "$bin" base64 -o a -o b data.txt
  [ ! -e a ] || fail "-o a -o b makes no a"
  expect_eq "$(cat b)" "$(base64 -w0 data.txt)" "-o a -o b writes b"
  expect_eq "$("$bin" --codepage 936 encode --codepage 1252 é)" "6Q==" "--codepage 936 --codepage 1252"
  expect_eq "$(printf 'Now is t' | "$bin" des -d -e --key 0123456789ABCDEF | od -An -tx1 | tr -d ' ')" \
    3fa40e8a984d4815 "-d -e encrypts"
  expect_eq "$("$bin" digest --quiet=1 x 2>&1 | head -1)" "ansicrypt: --quiet: unrecognized option" \
    "the options of another command are not ours"
  ;;
option_grammar_like_getopt)
  command -v python3 >/dev/null || exit 77
  python3 "$here/option_grammar.py" "$bin"
  ;;
system_errors_have_no_legacy_number)
  expect_error 1 "ansicrypt: missing: No such file or directory" "a missing file" "$bin" base64 missing
  mkdir locked && chmod 000 locked
  if [ "$(id -u)" != 0 ]; then
    expect_error 1 "ansicrypt: locked/x: Permission denied" "no permission" "$bin" md5 locked/x
  fi
  expect_error 1 "ansicrypt: base64: length 1 is not a multiple of 4 (error 5)" "a library error has its number" \
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
  # It names the SIMD paths it ran: the best the processor has (none but the portable ones off
  # x86-64, so under an emulator), capped by ANSICRYPT_SIMD.
  processor=scalar
  if [ -z "${ANSICRYPT_EMULATED:-}" ] && [ "$(uname -m)" = x86_64 ]; then
    flags=" $(grep -m1 '^flags' /proc/cpuinfo) "
    case $flags in *" avx2 "*) processor=avx2 ;; esac
    has_all=yes
    for f in avx512f avx512bw avx512vl avx512vbmi avx512_vbmi2; do
      case $flags in *" $f "*) ;; *) has_all=no ;; esac
    done
    [ "$has_all" = no ] || processor=avx512
  fi
  expect_status 0 "selftest" env -u ANSICRYPT_SIMD "$bin" selftest
  expect_eq "$(tail -1 out)" "SIMD paths: $processor (this processor: $processor)" "paths in use"
  for cap in scalar avx2; do
    expect_status 0 "selftest capped at $cap" env ANSICRYPT_SIMD=$cap "$bin" selftest
    expect_eq "$(grep -c PASS out)" 7 "every service passes capped at $cap"
    in_use=$cap
    [ "$processor" != scalar ] || in_use=scalar
    expect_eq "$(tail -1 out)" "SIMD paths: $in_use (this processor: $processor)" "capped at $cap"
  done
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
