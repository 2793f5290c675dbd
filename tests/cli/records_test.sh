#!/usr/bin/env bash
# The text commands: one record per argument or input line, results in input order, bad records
# named by their line, memory bounded by the longest record.
. "$(dirname "$0")/lib.sh"

case $case_name in
known_answers)
  expect_eq "$("$bin" encrypt --key 12345678 'Legacy data!')" "49FDC43D6090F19023378E9BEC8EBA8C" \
    "encrypt"
  expect_eq "$("$bin" decrypt --key 12345678 49FDC43D6090F19023378E9BEC8EBA8C)" "Legacy data!" \
    "decrypt"
  expect_eq "$("$bin" encode Man Ma M)" "$(printf 'TWFu\nTWE=\nTQ==')" "encode, one line each"
  expect_eq "$("$bin" --codepage 936 encode 中文)" "1tDOxA==" "encode in 936"
  expect_eq "$(echo 1tDOxA== | "$bin" decode --codepage 936)" "中文" "decode in 936"
  expect_eq "$("$bin" digest abc '')" "$(printf '900150983CD24FB0D6963F7D28E17F72\nD41D8CD98F00B204E9800998ECF8427E')" "digest"
  expect_eq "$("$bin" digest --registers '')" \
    "D41D8CD98F00B204E9800998ECF8427E -645128748 78774415 -1744207639 2118318316" "registers"
  expect_eq "$("$bin" --codepage 936 digest '中文')" \
    "$(printf '\xd6\xd0\xce\xc4' | md5sum | cut -d' ' -f1 | upper_digests)" "digest of ANSI bytes"
  expect_eq "$("$bin" digest 'Ā∞')" "$(printf '??' | md5sum | cut -d' ' -f1 | upper_digests)" \
    "characters 1252 lacks"
  expect_eq "$("$bin" --best-fit digest 'Ā∞')" "$(printf 'A8' | md5sum | cut -d' ' -f1 | upper_digests)" \
    "the same with best fit"
  ;;
lines_and_records)
  # Standard input, one record per line: a CR before the LF goes, a last line without LF counts,
  # an empty line is a record. "-" is a record like any other.
  expect_eq "$(printf 'Man\r\n\nMa' | "$bin" encode)" "$(printf 'TWFu\n\nTWE=')" "lines"
  expect_eq "$(echo hi | "$bin" digest)" "$("$bin" digest hi)" "a line of standard input"
  expect_eq "$("$bin" encode -)" "LQ==" "- is a record"
  expect_eq "$("$bin" encode '[a,b]' '[]' -- -z)" "$(printf 'W2EsYl0=\nW10=\nLXo=')" \
    "brackets and everything after -- are records as they stand"
  # -z: NUL-ended records and results, so that records may hold line feeds.
  printf 'a\nb\0c\r\n\0' | "$bin" encode -z > out
  expect_eq "$(tr '\0' '|' < out)" "YQpi|Yw0K|" "NUL-ended records"
  printf 'YQpi\0' | "$bin" decode -z | tr '\0' '|' > out
  expect_eq "$(cat out)" "$(printf 'a\nb|')" "NUL-ended results"
  expect_error 0 "ansicrypt: decode: argument 1: warning: the result holds a line feed; -z keeps records apart" \
    "a line feed splits a result" "$bin" decode YQpi
  ;;
bad_records)
  printf '%s\n' 49FDC43D6090F190 49FD 0G 49FDC43D6090F190 > hex
  expect_error 1 "ansicrypt: decrypt: line 2: warning: 4 digits, not a multiple of 16: encrypt did not make this
ansicrypt: decrypt: line 3: type mismatch (error 13)" "a bad record stops" \
    sh -c "'$bin' decrypt --key 12345678 < hex"
  expect_eq "$(cat out)" "$(printf 'Legacy d\n')" "the records before it are written"
  expect_status 1 "--keep-going" sh -c "'$bin' decrypt --key 12345678 --keep-going -j 2 < hex"
  expect_eq "$(cat out)" "$(printf 'Legacy d\n\n\nLegacy d')" "an empty line in its place"
  expect_eq "$(cat err)" "ansicrypt: decrypt: line 2: warning: 4 digits, not a multiple of 16: encrypt did not make this
ansicrypt: decrypt: line 3: type mismatch (error 13)" "reported in order"
  expect_error 1 "ansicrypt: encrypt: argument 2: subscript out of range (error 9)" "an empty text" \
    "$bin" encrypt --key k a '' b
  long=$(head -c 16380 /dev/zero | tr '\0' x)
  expect_status 0 "a result decrypt refuses" "$bin" encrypt --key k "$long"
  grep -q "32768 hexadecimal digits: decrypt takes fewer than 32767" err || fail "warned: $(cat err)"
  ;;
records_are_utf8_or_the_code_page)
  # A record that is no UTF-8 is a bad record, never a text of "?"; so is a key.
  expect_error 1 "ansicrypt: digest: line 1: not valid UTF-8" "an invalid line" \
    sh -c "printf 'caf\351\n' | '$bin' digest"
  expect_error 1 "ansicrypt: digest: argument 2: not valid UTF-8" "an invalid argument" \
    "$bin" digest ok "$(printf 'a\377')"
  expect_error 1 "ansicrypt: encrypt: line 2: not valid UTF-8" "a surrogate written in UTF-8" \
    sh -c "printf 'ok\n\355\240\200\n' | '$bin' encrypt --key k"
  expect_status 1 "--keep-going past it" sh -c "printf 'a\n\351\nb\n' | '$bin' digest --keep-going"
  expect_eq "$(cat out)" "$("$bin" digest a)

$("$bin" digest b)" "an empty line in its place"
  expect_error 1 "ansicrypt: --key: not valid UTF-8" "an invalid key" \
    "$bin" encrypt --key "$(printf 'cl\351')" x
  # --ansi: records and the key are the code page's bytes, and decrypt and decode write them.
  printf 'caf\351\nna\357ve\n' > legacy.txt
  expect_eq "$("$bin" --codepage 1252 digest --ansi < legacy.txt)" \
    "$(printf 'caf\351' | md5sum | cut -d' ' -f1 | upper_digests)
$(printf 'na\357ve' | md5sum | cut -d' ' -f1 | upper_digests)" "each line's bytes digested"
  expect_eq "$("$bin" digest --ansi < legacy.txt)" "$("$bin" digest café naïve)" \
    "the same as the UTF-8 texts"
  "$bin" encrypt --ansi --key "$(printf 'cl\351')" < legacy.txt > legacy.hex
  expect_eq "$(cat legacy.hex)" "$("$bin" encrypt --key clé café naïve)" "the key too"
  "$bin" decrypt --ansi --key "$(printf 'cl\351')" < legacy.hex > back.txt
  expect_same_file back.txt legacy.txt "decrypt --ansi writes the code page's bytes"
  expect_eq "$(echo Y2Fm6Q== | "$bin" decode --ansi | od -An -c | tr -s ' ')" " c a f 351 \n" \
    "decode --ansi writes the code page's bytes"
  expect_eq "$(printf '\326\320\316\304\n' | "$bin" --codepage 936 encode --ansi)" "1tDOxA==" \
    "double-byte characters in 936"
  # The bytes are used as they are, as a BLOB is in SQL: a lead byte without its trail byte, a
  # pair the code page leaves undefined, bytes that are not UTF-8 in 65001.
  for bytes in '\141\201' '\201\040' '\351'; do
    expect_eq "$(printf "$bytes\n" | "$bin" --codepage 932 digest --ansi)" \
      "$(printf "$bytes" | md5sum | cut -d' ' -f1 | upper_digests)" "digest --ansi of $bytes"
    expect_eq "$(printf "$bytes\n" | "$bin" --codepage 65001 encode --ansi)" \
      "$(printf "$bytes" | base64 -w0)" "encode --ansi of $bytes"
  done
  printf '\201\040\n' | "$bin" --codepage 932 encrypt --ansi --key k > odd.hex
  expect_eq "$("$bin" decrypt --ansi --key k < odd.hex | od -An -tx1 | tr -d ' ')" "81200a" \
    "decrypt --ansi gives the bytes back as they were"
  # Base64 that does not decode: what is wrong and where in the record.
  expect_error 1 "ansicrypt: decode: line 2: invalid character '!' at offset 2 (error 6)" \
    "a foreign character" sh -c "printf 'TWFu\nTW!u\n' | '$bin' decode"
  expect_error 1 "ansicrypt: decode: argument 1: length 3 is not a multiple of 4 (error 5)" \
    "a bad length" "$bin" decode TWF
  ;;
threads_that_cannot_start)
  # A process limit that leaves no room for the threads of -j: an error, never a hang.
  [ "$(id -u)" = 0 ] && command -v prlimit >/dev/null && id nobody >/dev/null 2>&1 || exit 77
  seq 1000 > numbers
  for command in "encode -j 256" "digest -j 30 a b c"; do
    status=0
    # shellcheck disable=SC2086
    timeout 30 prlimit --nproc=10 setpriv --reuid=nobody --regid=nogroup --clear-groups \
      "$bin" $command < numbers > out 2> err || status=$?
    expect_eq "$status" 1 "$command with no room for its threads"
    grep -q "Resource temporarily unavailable" err || fail "$command says why: $(cat err)"
  done
  ;;
jobs_keep_the_order)
  seq 1 20000 > numbers
  "$bin" encrypt --key k < numbers > one
  "$bin" encrypt --key k -j 4 < numbers > four
  expect_same_file four one "-j 4 writes what -j 1 writes"
  expect_eq "$(wc -l < four)" 20000 "one line per record"
  "$bin" decrypt --key k -j 3 < four | cmp -s - numbers || fail "and back on three threads"
  ;;
round_trips)
  command -v python3 >/dev/null || exit 77
  # 10,000 random records of characters each code page has, line breaks included (-z).
  for page in 1252 936 65001; do
    python3 - "$page" > "records$page" <<'PY'
import random, sys
page = int(sys.argv[1])
random.seed(page)
pool = [chr(c) for c in range(0x20, 0x7f)] + ["\t", "\n", "\r"]
if page == 1252:
    pool += [chr(c) for c in range(0xa0, 0x100)] + ["€", "‘", "’", "Ÿ"]
elif page == 936:
    pool += [chr(c) for c in range(0x4e00, 0x9fa6, 7)] + ["、", "。", "ー"]
else:
    pool += [chr(c) for c in range(0xa0, 0xd7ff, 13)] + ["😀", "𝄞", "\U0010fffd"]
out = sys.stdout.buffer
for i in range(10000):
    text = "".join(random.choice(pool) for _ in range(random.randint(1, 40)))
    out.write(text.encode("utf-8") + b"\0")
PY
    "$bin" --codepage "$page" encrypt -z -j 2 --key "clé 密" < "records$page" |
      "$bin" --codepage "$page" decrypt -z --key "clé 密" > "decrypted$page"
    expect_same_file "decrypted$page" "records$page" "encrypt | decrypt in $page"
    "$bin" --codepage "$page" encode -z < "records$page" |
      "$bin" --codepage "$page" decode -z -j 2 > "decoded$page"
    expect_same_file "decoded$page" "records$page" "encode | decode in $page"
  done
  ;;
long_records)
  # One record of 30 MB: read in linear time, converted whole.
  head -c 30000000 /dev/zero | tr '\0' a > long
  expect_status 0 "a 30 MB record" timeout 60 "$bin" encode < long
  expect_eq "$(wc -c < out)" 40000001 "its result and line feed"
  ;;
memory_is_bounded)
  command -v python3 >/dev/null || exit 77
  # Under AddressSanitizer its shadow memory and quarantine hide the tool's own use.
  [ -z "${ASAN_OPTIONS:-}" ] || exit 77
  # 50 MB of short lines: the tool keeps a few batches, never the whole input.
  python3 - "$bin" <<'PY'
import os, resource, subprocess, sys
block = b"the quick brown fox jumps over the lazy dog 0123456789\n" * 20000
with open("big", "wb") as f:  # written in pieces: the child's peak starts from ours
    for _ in range(50_000_000 // len(block)):
        f.write(block)
with open("long-lines", "wb") as f:  # 20 records of 2 MB
    for _ in range(20):
        f.write(b"x" * 2_000_000 + b"\n")
for name, jobs in (("big", "2"), ("long-lines", "16")):
    with open(name, "rb") as f:
        subprocess.run([sys.argv[1], "encode", "-j", jobs], stdin=f, stdout=subprocess.DEVNULL,
                       check=True)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
print(f"peak resident set: {peak} MB")
sys.exit(0 if peak < 80 else 1)
PY
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
