#!/usr/bin/env bash
# ansicrypt base64 and des over streams of bytes, against coreutils base64 and openssl enc.
. "$(dirname "$0")/lib.sh"

key1=0123456789ABCDEF
keys=0123456789ABCDEFFEDCBA9876543210

case $case_name in
base64_like_coreutils)
  for size in 0 1 2 3 786431 786432 786433 2097153; do
    random_file "r$size" "$size"
    "$bin" base64 "r$size" -o "e$size"
    base64 -w0 "r$size" > "ref$size"
    expect_same_file "e$size" "ref$size" "encoding of $size bytes"
    "$bin" base64 -d "e$size" -o "d$size"
    expect_same_file "d$size" "r$size" "decoding of $size bytes"
    base64 "r$size" | "$bin" base64 -d > "w$size"  # coreutils' 76 columns, through a pipe
    expect_same_file "w$size" "r$size" "decoding coreutils' wrapped output of $size bytes"
    for columns in 1 4 76; do
      "$bin" base64 -w "$columns" < "r$size" > "c$size"
      base64 -w "$columns" "r$size" | cmp -s - "c$size" || fail "-w $columns, $size bytes"
    done
  done
  expect_eq "$(printf 'TWFu\n\n\r\n' | "$bin" base64 -d)" "Man" "line ends at the end"
  expect_eq "$(printf 'TW\r\nFu' | "$bin" base64 -d)" "Man" "line ends inside"
  ;;
base64_errors)
  # What is wrong and where, counted in the input's bytes (line breaks included), with the
  # library's number.
  expect_error 1 "ansicrypt: base64: length 3 is not a multiple of 4 (error 5)" "bad length" \
    sh -c "printf TWF | '$bin' base64 -d"
  expect_error 1 "ansicrypt: base64: length 6 is not a multiple of 4 (error 5)" \
    "the length counts no line breaks" sh -c "printf 'TW\r\nFu\nA=' | '$bin' base64 -d"
  expect_error 1 "ansicrypt: base64: invalid character ' ' at offset 2 (error 6)" \
    "a blank is no line break" sh -c "printf 'TW u' | '$bin' base64 -d"
  expect_error 1 "ansicrypt: base64: invalid character '!' at offset 4 (error 6)" "a foreign character" \
    sh -c "printf 'TWFu!AAA' | '$bin' base64 -d"
  expect_error 1 "ansicrypt: base64: '=' before the end at offset 7 (error 6)" "a pad inside" \
    sh -c "printf 'TW\nFu\nA=A=' | '$bin' base64 -d"
  expect_error 1 "ansicrypt: base64: invalid byte 0xE9 at offset 1 (error 9)" "a byte above z" \
    sh -c "printf 'T\351Fu' | '$bin' base64 -d"
  # Every input the legacy decoder refused keeps its error: its look-ups come first.
  expect_error 1 "ansicrypt: base64: invalid character '{' at offset 3 (error 9)" "A=={" \
    sh -c "printf 'A=={' | '$bin' base64 -d"
  expect_error 1 "ansicrypt: base64: invalid character '{' at offset 7 (error 9)" "Q Q=Zm9{" \
    sh -c "printf 'Q Q=Zm9{' | '$bin' base64 -d"
  # ... also when it lies in a later piece of a long stream than the first refusal.
  { printf 'Q Q='; head -c 3000000 /dev/zero | tr '\0' A; printf 'Zm9{'; } > far
  expect_error 1 "ansicrypt: base64: invalid character '{' at offset 3000007 (error 9)" \
    "a legacy error three pieces on" "$bin" base64 -d far -o decoded
  [ ! -e decoded ] || fail "no output file after a failure"
  # A pad character at the end of an inner piece is inside the data: refused, nothing written.
  { head -c 1048572 /dev/zero | tr '\0' A; printf 'AA==AAAA'; } > padded
  expect_error 1 "ansicrypt: base64: '=' before the end at offset 1048574 (error 6)" \
    "pad inside the data" "$bin" base64 -d padded -o decoded
  [ ! -e decoded ] || fail "no output file after a failure"
  no_temporary_files
  # One call over the whole input checks the length first, also when an earlier piece fails.
  { printf '!!!!'; head -c 3000000 /dev/zero | base64 -w0; printf 'QUJ'; } > bad-length
  expect_error 1 "ansicrypt: base64: length 4000007 is not a multiple of 4 (error 5)" \
    "length before characters" "$bin" base64 -d bad-length -o decoded
  expect_status 2 "a negative wrap" "$bin" base64 -w -5 /dev/null
  ;;
des_like_openssl)
  have_openssl_des || exit 77
  for size in 1 8 9 32760 32761 100000 1048576 1048577; do
    random_file "p$size" "$size"
    "$bin" des -e --key "$key1" "p$size" -o "c$size"
    openssl_des des-ecb "$key1" "p$size" | cmp -s - "c$size" || fail "DES of $size bytes"
    "$bin" des -e --key "$keys" --key-number 2 < "p$size" > "k$size"
    openssl_des des-ecb FEDCBA9876543210 "p$size" | cmp -s - "k$size" || fail "key 2, $size bytes"
    "$bin" des -e --triple --key "$keys" "p$size" -o "t$size"
    openssl_des des-ede "$keys" "p$size" | cmp -s - "t$size" || fail "triple DES, $size bytes"
    "$bin" des -d --triple --key "$keys" < "t$size" | head -c "$size" | cmp -s - "p$size" ||
      fail "triple DES back, $size bytes"
  done
  ;;
des_keys_and_errors)
  # Any size, the empty input too: empty in, empty out.
  expect_status 0 "empty input" sh -c "'$bin' des -e --key $key1 < /dev/null"
  expect_eq "$(wc -c < out)" 0 "no output for empty input"
  echo old > empty.des
  expect_status 0 "empty input to a file" "$bin" des -d --key "$keys" --triple /dev/null -o empty.des
  expect_eq "$(wc -c < empty.des)" 0 "the file is replaced by the empty output"
  expect_status 2 "a short key" "$bin" des -e --key 0123 /dev/null
  expect_status 2 "no direction" "$bin" des --key "$key1" /dev/null
  expect_status 2 "triple DES with a key number" "$bin" des -e --triple --key-number 2 --key "$keys" /dev/null
  # Key 2 must be given: 16 digits would leave it eight zero bytes.
  expect_status 2 "triple DES with one key" "$bin" des -e --triple --key "$key1" /dev/null
  grep -q -- '--triple needs keys 1 and 2' err || fail "the message says why: $(cat err)"
  expect_status 2 "key 2 with one key" "$bin" des -e --key-number 2 --key "$key1" /dev/null
  printf x > data
  expect_status 0 "an operand is only ever the input" sh -c "printf y | '$bin' des -e --key $key1 data > out.des"
  [ "$(stat -c %s data)" = 1 ] || fail "the input is left alone"
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
