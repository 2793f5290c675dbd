#!/usr/bin/env bash
# End-to-end checks of the ansicrypt tool against md5sum, coreutils base64 and openssl enc.
# Usage: cli_test.sh ANSICRYPT CASE   (exit 0 pass, 77 skipped, anything else failed)
set -euo pipefail
bin=$1
case_name=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAILED: $*" >&2; exit 1; }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
random_file() { head -c "$2" /dev/urandom > "$1"; }
upper() { sed 's/^[0-9a-f]*/\U&/'; }  # the digest digits, not the names
have_openssl_des() {
  printf 12345678 | openssl enc -des-ecb -K 0123456789ABCDEF -nopad -provider legacy \
    -provider default >/dev/null 2>&1
}
openssl_des() {  # openssl_des CIPHER KEY FILE: zero-fills FILE to a multiple of 8 first
  local size pad
  size=$(stat -c %s "$3")
  pad=$(( (8 - size % 8) % 8 ))
  { cat "$3"; head -c "$pad" /dev/zero; } |
    openssl enc "-$1" -K "$2" -nopad -provider legacy -provider default
}

case $case_name in
md5_matches_md5sum)
  for size in 0 1 55 64 65 1000 100000; do random_file "f$size" "$size"; done
  expect_eq "$("$bin" md5 f*)" "$(md5sum f* | upper)" "md5 of files"
  expect_eq "$(printf abc | "$bin" md5)" "900150983CD24FB0D6963F7D28E17F72  -" "md5 of stdin"
  expect_eq "$(printf abc | "$bin" md5 -)" "900150983CD24FB0D6963F7D28E17F72  -" "md5 of -"
  ;;
md5_jobs_keep_argument_order)
  for i in $(seq 1 12); do random_file "g$i" $((i * 7919)); done
  expect_eq "$("$bin" md5 -j 3 g1 g2 g3 g4 g5 g6 g7 g8 g9 g10 g11 g12)" \
    "$(md5sum g1 g2 g3 g4 g5 g6 g7 g8 g9 g10 g11 g12 | upper)" "md5 -j 3"
  ;;
md5_failure_goes_on)
  random_file a 10
  set +e
  out=$("$bin" md5 missing a . 2>err)
  status=$?
  set -e
  expect_eq "$status" 1 "exit status"
  expect_eq "$out" "$(md5sum a | upper)" "the readable file is still digested"
  expect_eq "$(cat err)" "ansicrypt: missing: No such file or directory (error 2)
ansicrypt: .: Is a directory (error 21)" "error lines"
  ;;
md5_check_list)
  random_file a 100; random_file b 200
  md5sum a b > list
  expect_eq "$("$bin" md5 -c list)" "a: OK
b: OK" "all good"
  "$bin" md5 a b > upper_list
  expect_eq "$("$bin" md5 --check upper_list)" "a: OK
b: OK" "uppercase list"
  printf x >> b
  set +e
  out=$("$bin" md5 -c list)
  status=$?
  set -e
  expect_eq "$status" 1 "a changed file fails"
  expect_eq "$out" "a: OK
b: FAILED" "changed file"
  rm a
  set +e
  out=$("$bin" md5 -c list)
  set -e
  expect_eq "$out" "a: FAILED open or read
b: FAILED" "missing file"
  ;;
md5_text_and_registers)
  expect_eq "$("$bin" md5 --text '' --registers)" "D41D8CD98F00B204E9800998ECF8427E
registers -645128748 78774415 -1744207639 2118318316" "empty text"
  expect_eq "$("$bin" --codepage 936 md5 --text '中文')" \
    "$(printf '\xd6\xd0\xce\xc4' | md5sum | cut -d' ' -f1 | upper)" "digest of the ANSI bytes"
  expect_eq "$("$bin" md5 --text 'Ā∞')" "$(printf '??' | md5sum | cut -d' ' -f1 | upper)" \
    "characters 1252 lacks"
  expect_eq "$("$bin" --best-fit md5 --text 'Ā∞')" "$(printf 'A8' | md5sum | cut -d' ' -f1 | upper)" \
    "the same with best fit"
  ;;
base64_matches_coreutils)
  for size in 0 1 2 3 786431 786432 786433 2097153; do
    random_file "r$size" "$size"
    "$bin" base64 "r$size" "e$size"
    base64 -w0 "r$size" > "ref$size"
    cmp "e$size" "ref$size" || fail "encoding of $size bytes"
    "$bin" base64 -d "e$size" "d$size"
    cmp "d$size" "r$size" || fail "decoding of $size bytes"
    base64 -w0 < "r$size" | "$bin" base64 -d | cmp - "r$size" || fail "decoding a pipe of $size bytes"
  done
  expect_eq "$(echo TWFu | "$bin" base64 -d)" "Man" "a trailing line feed is dropped"
  expect_eq "$(echo 中文 | "$bin" --codepage 936 base64 --text)" "1tDOxA==" "text in 936"
  expect_eq "$(echo 1tDOxA== | "$bin" --codepage 936 base64 --text -d)" "中文" "text back"
  ;;
base64_errors)
  set +e
  printf TWF | "$bin" base64 -d 2>err >/dev/null
  status=$?
  set -e
  expect_eq "$status" 1 "exit status"
  expect_eq "$(cat err)" "ansicrypt: base64: invalid argument (error 5)" "bad length"
  # A pad character at the end of an inner piece is inside the data: refused, no output file left.
  { head -c 1048572 /dev/zero | tr '\0' A; printf 'AA==AAAA'; } > padded
  set +e
  "$bin" base64 -d padded out 2>err
  status=$?
  set -e
  expect_eq "$status" 1 "pad inside the data"
  expect_eq "$(cat err)" "ansicrypt: base64: overflow (error 6)" "pad inside the data"
  [ ! -e out ] || fail "no partial output file"
  ;;
des_matches_openssl)
  have_openssl_des || exit 77
  for size in 1 8 9 32760 32761 100000; do
    random_file "p$size" "$size"
    "$bin" des -e --key 0123456789ABCDEF "p$size" "c$size"
    openssl_des des-ecb 0123456789ABCDEF "p$size" | cmp - "c$size" || fail "DES of $size bytes"
    "$bin" des -e --key 0123456789ABCDEFFEDCBA9876543210 --key-number 2 "p$size" "k$size"
    openssl_des des-ecb FEDCBA9876543210 "p$size" | cmp - "k$size" || fail "key 2, $size bytes"
    "$bin" des -e --triple --key 0123456789ABCDEFFEDCBA9876543210 "p$size" "t$size"
    openssl_des des-ede 0123456789ABCDEFFEDCBA9876543210 "p$size" | cmp - "t$size" ||
      fail "triple DES of $size bytes"
    "$bin" des -d --triple --key 0123456789ABCDEFFEDCBA9876543210 < "t$size" |
      head -c "$size" | cmp - "p$size" || fail "triple DES back, $size bytes"
  done
  ;;
des_errors)
  set +e
  "$bin" des -e --key 0123456789ABCDEF < /dev/null > /dev/null 2>err
  expect_eq "$?" 1 "empty input"
  "$bin" des -e --key 0123 < /dev/null 2>/dev/null
  expect_eq "$?" 2 "short key"
  "$bin" des --key 0123456789ABCDEF < /dev/null 2>/dev/null
  expect_eq "$?" 2 "no direction"
  "$bin" des -e --triple --key-number 2 --key 0123456789ABCDEF < /dev/null 2>/dev/null
  expect_eq "$?" 2 "triple with a key number"
  set -e
  expect_eq "$(cat err)" "ansicrypt: des: subscript out of range (error 9)" "empty input"
  ;;
text_cipher)
  expect_eq "$("$bin" encrypt --key 12345678 'Legacy data!')" "49FDC43D6090F19023378E9BEC8EBA8C" \
    "known answer"
  expect_eq "$(echo 'Legacy data!' | "$bin" encrypt --key 12345678)" \
    "49FDC43D6090F19023378E9BEC8EBA8C" "standard input without its line feed"
  hex=$("$bin" --codepage 936 encrypt --key 密钥 '中文 and tabs	here')
  expect_eq "$("$bin" decrypt --codepage 936 --key 密钥 "$hex")" "中文 and tabs	here" "round trip"
  set +e
  "$bin" decrypt --key k 0G 2>err
  expect_eq "$?" 1 "bad hex"
  set -e
  expect_eq "$(cat err)" "ansicrypt: decrypt: type mismatch (error 13)" "bad hex message"
  ;;
usage)
  "$bin" --help > /dev/null
  "$bin" md5 --help > /dev/null
  expect_eq "$("$bin" --version)" "ansicrypt 0.1.0" "version"
  set +e
  "$bin" md5 --no-such-option 2>/dev/null
  expect_eq "$?" 2 "unknown option"
  "$bin" 2>/dev/null
  expect_eq "$?" 2 "no command"
  "$bin" --codepage 437 md5 --text x 2>/dev/null
  expect_eq "$?" 2 "unknown code page"
  set -e
  ;;
selftest)
  out=$("$bin" selftest)
  expect_eq "$(grep -c PASS <<< "$out")" 6 "six services pass"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
echo "passed: $case_name"
