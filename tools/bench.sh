#!/bin/sh
# Builds the release preset, runs every benchmark case beside its peer (OpenSSL, iconv), then times
# the tool against coreutils, openssl and the library's own tight loop, whole process. Each section
# ends with a table: throughput of ansicrypt and of its peer, and their ratio (above 1: ansicrypt is
# faster). Usage: sh tools/bench.sh [--quick]   (--quick: the library cases only)
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
# The machine every figure below comes from.
cpu_field() { sed -n "s/^$1[[:space:]]*: //p" /proc/cpuinfo | head -n 1; }
l2=$(getconf LEVEL2_CACHE_SIZE 2>/dev/null || true)
echo "processor: $(cpu_field 'model name') (family $(cpu_field 'cpu family'), model" \
  "$(cpu_field model)), $(nproc) cores, L2 $(( ${l2:-0} / 1024 )) KiB per core"
build/release/bench/ansicrypt_bench --benchmark_min_time=0.3 2>/dev/null | sed -n '/^service\/size/,$p'
# The same cases with the vector paths capped, to show what each level gives on this machine.
for level in avx2 scalar; do
  echo; echo "ANSICRYPT_SIMD=$level"
  ANSICRYPT_SIMD=$level build/release/bench/ansicrypt_bench --benchmark_min_time=0.3 \
    --benchmark_filter='des_ecb/.*/32760|des_ede2|base64_.*_into|_to_.*/93|md5_lanes|md5_files' \
    2>/dev/null |
    sed -n '/^service\/size/,$p'
done
# The Python module and the SQLite extension against the library's own loop.
if [ -d build/release/bindings/python/package ] && [ -f build/release/bindings/sqlite/ansicrypt.so ]; then
  echo
  PYTHONPATH=build/release/bindings/python/package /usr/bin/python3 bench/bindings_bench.py \
    build/release/bench/ansicrypt_records_loop build/release/bindings/sqlite/ansicrypt.so
fi
# The PostgreSQL extension against the same loop, and the Dask example against one process.
if [ -f build/release/bindings/postgres/lib/ansicrypt.so ]; then
  echo
  /usr/bin/python3 bench/postgres_bench.py build/release/bench/ansicrypt_records_loop \
    build/release/bindings/postgres/lib/ansicrypt.so build/release/bindings/postgres/ansicrypt--*.sql
fi
if [ -d build/release/bindings/python/package ]; then
  echo
  PYTHONPATH=build/release/bindings/python/package /usr/bin/python3 bench/dask_bench.py
fi
[ "${1:-}" = "--quick" ] && exit 0

tool=$PWD/build/release/cli/ansicrypt
loop=$PWD/build/release/bench/ansicrypt_records_loop
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
size=268435455
head -c "$size" /dev/urandom > big
base64 -w0 big > big.b64
for i in 1 2 3 4 5 6 7 8; do head -c 33554432 /dev/urandom > "part$i"; done
# 1,000 files of 1 MiB, and 1,000 of mixed sizes from 1 byte to 4 MiB (1.3 MiB on average).
mkdir many mixed
python3 -c "
import os, random
random.seed(3)
block = os.urandom(4 << 20)
for i in range(1000):
    open('many/%d' % i, 'wb').write(block[i:i + (1 << 20)])
    n = int(random.random() ** 2 * (4 << 20)) + 1
    open('mixed/%d' % i, 'wb').write(block[:n])
"
printf x > tiny
records=1000000
python3 -c "
import random
random.seed(1)
with open('plain', 'w') as f:
    for _ in range($records):
        f.write(''.join(random.choice('abcdefghijklmnopqrstuvwxyz0123456789') for _ in range(16)) + '\n')
"
"$tool" encrypt --key k < plain > hex

# Best wall time of three runs of a shell command, in nanoseconds. Dirty pages of earlier runs are
# written out first, so that no run pays for another's write-back.
best() {
  best_ns=""
  for _ in 1 2 3; do
    sync
    start=$(date +%s%N)
    sh -c "$1" > /dev/null
    elapsed=$(( $(date +%s%N) - start ))
    if [ -z "$best_ns" ] || [ "$elapsed" -lt "$best_ns" ]; then best_ns=$elapsed; fi
  done
  echo "$best_ns"
}

row() {  # row SERVICE BYTES OURS_CMD PEER PEER_CMD
  ours=$(best "$3")
  peer=$(best "$5")
  awk -v s="$1" -v b="$2" -v o="$ours" -v p="$peer" -v n="$4" 'BEGIN {
    printf "%-34s %11.1f MB/s %11.1f MB/s %-14s %6.2f\n", s, b / o * 1000, b / p * 1000, n, p / o }'
}

# time_row SERVICE OURS_CMD PEER PEER_CMD: best wall time of each, for runs too short for a rate.
time_row() {
  ours=$(best "$2")
  peer=$(best "$4")
  awk -v s="$1" -v o="$ours" -v p="$peer" -v n="$3" 'BEGIN {
    printf "%-34s %13.2f ms %13.2f ms %-14s %6.2f\n", s, o / 1e6, p / 1e6, n, p / o }'
}

# The tight loop prints records per second; the tool is timed whole.
records_row() {  # records_row SERVICE OPERATION INPUT JOBS
  ours=$(best "$tool $2 --key k -j $4 < $3")
  peer=$("$loop" "$2" k "$3" | cut -d' ' -f1)
  awk -v s="$1" -v o="$ours" -v p="$peer" -v r="$records" 'BEGIN {
    printf "%-34s %11.0f rec/s %10.0f rec/s %-14s %6.2f\n", s, r / o * 1e9, p, "library loop", r / o * 1e9 / p }'
}

printf "\n%-34s %16s %16s %-14s %6s\n" "whole process" "ansicrypt" "peer" "peer" "ratio"
row "md5 256MiB-1" "$size" "$tool md5 big" "md5sum" "md5sum big"
row "md5 256MiB-1 from a pipe" "$size" "cat big | $tool md5" "md5sum" "cat big | md5sum"
row "base64 encode 256MiB-1" "$size" "$tool base64 big -o out" "base64 -w0" "base64 -w0 big > out"
row "base64 decode 256MiB-1" "$size" "$tool base64 -d big.b64 -o out" "base64 -d" "base64 -d big.b64 > out"
row "base64 encode into a pipe" "$size" "$tool base64 big | cat" "base64 -w0" "base64 -w0 big | cat"
row "base64 decode into a pipe" "$size" "$tool base64 -d big.b64 | cat" "base64 -d" "base64 -d big.b64 | cat"
if printf 12345678 | openssl enc -des-ecb -K 0123456789ABCDEF -nopad -provider legacy \
     -provider default > /dev/null 2>&1; then
  row "des -e 256MiB-1 into a pipe" "$size" "$tool des -e --key 0123456789ABCDEF big | cat" \
    "openssl enc" "openssl enc -des-ecb -K 0123456789ABCDEF -provider legacy -provider default -in big | cat"
fi
many_bytes=$(cat many/* | wc -c)
mixed_bytes=$(cat mixed/* | wc -c)
row "md5 1000 x 1MiB" "$many_bytes" "$tool md5 many/*" "md5sum" "md5sum many/*"
row "md5 1000 x 1MiB" "$many_bytes" "$tool md5 many/*" "openssl dgst" "openssl dgst -md5 many/*"
row "md5 1000 mixed 1B..4MiB" "$mixed_bytes" "$tool md5 mixed/*" "md5sum" "md5sum mixed/*"
row "md5 1000 mixed 1B..4MiB" "$mixed_bytes" "$tool md5 mixed/*" "openssl dgst" "openssl dgst -md5 mixed/*"
row "md5 -j 2, 1000 x 1MiB" "$many_bytes" "$tool md5 -j 2 many/*" "md5sum" "md5sum many/*"
# One core, as a machine busy with other work gives it: the lanes alone, and capped at AVX2. The
# first core this process may run on (none pinned where taskset is missing).
core=$(taskset -pc $$ 2>/dev/null | sed 's/.*: //; s/[-,].*//' || true)
pin=""; [ -n "$core" ] && pin="taskset -c $core"
few=$(ls many | head -n 400 | sed 's|^|many/|' | tr '\n' ' ')
few_bytes=$(cat $few | wc -c)
for level in avx512 avx2; do  # avx512 caps nothing: the best path this processor has
  label=$level; [ "$level" = avx512 ] && label=best
  row "md5 -j 1, 1 core, 400x1MiB, $label" "$few_bytes" \
    "ANSICRYPT_SIMD=$level $pin $tool md5 -j 1 $few" "md5sum" "$pin md5sum $few"
  row "md5 -j 1, 1 core, 1000x1MiB, $label" "$many_bytes" \
    "ANSICRYPT_SIMD=$level $pin $tool md5 -j 1 many/*" "md5sum" "$pin md5sum many/*"
done
time_row "md5 one 1-byte file" "$tool md5 tiny" "md5sum" "md5sum tiny"
row "md5 -j 2, 8 x 32MiB" $((8 * 33554432)) "$tool md5 -j 2 part1 part2 part3 part4 part5 part6 part7 part8" \
  "md5sum" "md5sum part1 part2 part3 part4 part5 part6 part7 part8"
records_row "decrypt 1M x 32 digits, -j 1" decrypt hex 1
records_row "decrypt 1M x 32 digits, -j 2" decrypt hex 2
records_row "encrypt 1M x 16 characters, -j 1" encrypt plain 1
records_row "encrypt 1M x 16 characters, -j 2" encrypt plain 2
