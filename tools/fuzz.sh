#!/bin/sh
# Builds the libFuzzer targets and runs each for SECONDS (default 30), two at a time, from a copy
# of its seed corpus in fuzz/corpus. Inputs that make a target fail are kept in
# build/fuzz-artifacts/ and their paths printed. Usage: sh tools/fuzz.sh [SECONDS [TARGET...]]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
[ $# -gt 0 ] && shift
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (apt-get install clang)"; exit 1; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
artifacts=$PWD/build/fuzz-artifacts
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  mkdir -p "$work/$1"
  cp fuzz/corpus/"$1"/* "$work/$1/"
  # Inputs up to 20,000 bytes reach the converters' 4096-byte pieces and every SIMD block size.
  if build/fuzz/fuzz/"$1"_fuzzer -max_total_time="$seconds" -max_len=20000 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$1-" "$work/$1" > "$work/$1.log" 2>&1; then
    echo "fuzz $1: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/$1.log" | grep -o '[0-9]*$') runs, no finding"
  else
    cp "$work/$1.log" "$artifacts/$1.log"
    echo "fuzz $1: FAILED"; tail -n 40 "$work/$1.log"
    echo "fuzz $1: log and failing inputs kept:"; ls -1 "$artifacts/$1"*
    return 1
  fi
}
status=0
[ $# -gt 0 ] || set -- binding_arguments code_page command_line decode_base64 decode_base64_text decrypt_hex \
  des_differential md5_files md5_lanes md5_list md5_splits utf8 windows_names
while [ $# -gt 0 ]; do
  run "$1" & first=$!
  second=""
  if [ $# -gt 1 ]; then run "$2" & second=$!; fi
  wait $first || status=1
  [ -z "$second" ] || wait $second || status=1
  shift; [ $# -gt 0 ] && shift
done
exit $status
