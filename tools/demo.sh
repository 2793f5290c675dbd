#!/bin/sh
# Installs what is missing, builds the tool alone (not its tests or benchmarks), runs its self-test
# and shows each service once.
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target ansicrypt_cli  # the tool alone: its tests and benchmarks are not needed here
export PATH="$PWD/build/release/cli:$PATH"
show() { printf '\n$ %s\n' "$1"; sh -c "$1"; }
show 'ansicrypt selftest'
show 'ansicrypt encrypt --key "my key" "Legacy data"'
show 'ansicrypt decrypt --key "my key" 0BF0E4FF5734797215E9255C29882BB1'
show 'ansicrypt --codepage 936 encrypt --key 密钥 "中文密文"'
show 'ansicrypt digest --registers abc'
show 'printf "hello\n" | ansicrypt md5'
show 'printf Man | ansicrypt base64; echo'
show 'printf TWFu | ansicrypt base64 -d; echo'
show 'ansicrypt --codepage 936 encode 中文 | ansicrypt --codepage 936 decode'
show 'printf "one\ntwo\n" | ansicrypt encrypt --key k | ansicrypt decrypt --key k'
show 'printf "Now is the time for all " | ansicrypt des -e --key 0123456789ABCDEF | od -An -tx1'
