#!/bin/sh
# Builds the release preset, runs every benchmark case beside its peer (OpenSSL, iconv), then
# times the tool against coreutils on a 256 MiB - 1 byte file. Each section ends with a table:
# throughput of ansicrypt and of its peer, and their ratio (above 1: ansicrypt is faster).
# Usage: sh tools/bench.sh [--quick]   (--quick: the library cases only)
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
build/release/bench/ansicrypt_bench --benchmark_min_time=0.3 2>/dev/null | sed -n '/^service\/size/,$p'
[ "${1:-}" = "--quick" ] && exit 0

tool=$PWD/build/release/cli/ansicrypt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
size=268435455
head -c "$size" /dev/urandom > big
base64 -w0 big > big.b64
for i in 1 2 3 4 5 6 7 8; do head -c 33554432 /dev/urandom > "part$i"; done

# Best wall time of three runs of a shell command, in seconds.
best() {
  best_ns=""
  for _ in 1 2 3; do
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
    printf "%-34s %11.1f MB/s %11.1f MB/s %-12s %6.2f\n", s, b / o * 1000, b / p * 1000, n, p / o }'
}

printf "\n%-34s %16s %16s %-12s %6s\n" "whole process" "ansicrypt" "peer" "peer" "ratio"
row "md5 256MiB-1" "$size" "$tool md5 big" "md5sum" "md5sum big"
row "base64 encode 256MiB-1" "$size" "$tool base64 big out" "base64 -w0" "base64 -w0 big > out"
row "base64 decode 256MiB-1" "$size" "$tool base64 -d big.b64 out" "base64 -d" "base64 -d big.b64 > out"
row "md5 -j 2, 8 x 32MiB" $((8 * 33554432)) "$tool md5 -j 2 part1 part2 part3 part4 part5 part6 part7 part8" \
  "md5sum" "md5sum part1 part2 part3 part4 part5 part6 part7 part8"
