# Helpers of the command-line tests, one per kind of check. Each test script is run as
#   SCRIPT ANSICRYPT CASE [VERSION]
# in a scratch folder of its own; exit 0 passes, 77 skips, anything else fails.
set -euo pipefail
export LC_ALL=C  # messages and quoting as in the C locale, ours and the peers'
bin=$1
here=$(cd "$(dirname "$0")" && pwd)  # the test scripts' folder
case_name=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAILED: $*" >&2; exit 1; }

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }

# expect_status STATUS WHAT COMMAND...: runs COMMAND with its output in ./out and ./err.
expect_status() {
  local want=$1 what=$2 got=0
  shift 2
  "$@" > out 2> err || got=$?
  [ "$got" == "$want" ] || fail "$what: exit status $got, expected $want; stderr: $(head -c 300 err)"
}

# expect_error STATUS MESSAGE WHAT COMMAND...: the status, and MESSAGE as the whole of stderr.
expect_error() {
  local status=$1 message=$2 what=$3
  shift 3
  expect_status "$status" "$what" "$@"
  expect_eq "$(cat err)" "$message" "$what (message)"
}

# expect_same_file ACTUAL EXPECTED WHAT
expect_same_file() { cmp -s "$1" "$2" || fail "$3: $1 differs from $2"; }

# expect_like_peer WHAT OURS PEER [FILTER]: runs two bash commands (names quoted with ${a[*]@Q}) and compares their standard
# output (the peer's through FILTER, a command or function, default cat), standard error with the
# program name made ours, and exit status.
expect_like_peer() {
  local what=$1 ours=$2 peer=$3 filter=${4:-cat} ours_status=0 peer_status=0
  bash -c "$ours" > ours.out 2> ours.err || ours_status=$?
  bash -c "$peer" > peer.raw 2> peer.err.raw || peer_status=$?
  $filter < peer.raw > peer.out
  sed -E 's/^(md5sum|base64|openssl): /ansicrypt: /' peer.err.raw > peer.err
  cmp -s ours.out peer.out || fail "$what: standard output differs: $(diff ours.out peer.out | head -5) (our errors: $(head -c 300 ours.err))"
  cmp -s ours.err peer.err || fail "$what: standard error differs: $(diff ours.err peer.err | head -5)"
  expect_eq "$ours_status" "$peer_status" "$what: exit status"
}

# The digest digits of md5sum lines in uppercase, the names as they are (newline-ended lines).
upper_digests() { sed -E 's/^(\\?)([0-9a-f]{32})/\1\U\2/; s/= ([0-9a-f]{32})$/= \U\1/'; }

random_file() { head -c "$2" /dev/urandom > "$1"; }

# make_device NAME MAJOR MINOR: a character device node of our own (never the real /dev).
make_device() { mknod "$1" c "$2" "$3" 2>/dev/null || exit 77; }

have_openssl_des() {
  printf 12345678 | openssl enc -des-ecb -K 0123456789ABCDEF -nopad -provider legacy \
    -provider default >/dev/null 2>&1
}

# openssl_des CIPHER KEY FILE: zero-fills FILE to a multiple of 8 first, as the legacy cipher does.
openssl_des() {
  local size pad
  size=$(stat -c %s "$3")
  pad=$(( (8 - size % 8) % 8 ))
  { cat "$3"; head -c "$pad" /dev/zero; } |
    openssl enc "-$1" -K "$2" -nopad -provider legacy -provider default
}

# no_temporary_files: nothing the tool writes beside an output is left behind.
no_temporary_files() {
  local left
  left=$(find . -name '.ansicrypt-*' -print -quit)
  [ -z "$left" ] || fail "temporary file left behind: $left"
}
