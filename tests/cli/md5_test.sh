#!/usr/bin/env bash
# ansicrypt md5 against md5sum: digests, names that need escaping or are not UTF-8, standard
# input as it stands, and -c over every kind of list with every option.
. "$(dirname "$0")/lib.sh"

odd_names=(x 'sp ace' 'back\slash' $'new\nline' $'cr\rret' "caf$(printf '\351')" "it's" '-dash'
           '[a,b]' '[]' 'a,b' $'it\'s\n' $'\'\t\'' '~home' 'colon:')
make_odd_files() { local i=0; for n in "${odd_names[@]}"; do random_file "./$n" $((i * 777)); i=$((i + 1)); done; }

case $case_name in
digests_like_md5sum)
  for size in 0 1 55 64 65 1000 100000; do random_file "f$size" "$size"; done
  expect_like_peer "files" "$bin md5 f*" "md5sum f*" upper_digests
  make_odd_files
  expect_like_peer "names that need escaping or are not UTF-8" \
    "$bin md5 -- ${odd_names[*]@Q} missing 'gone file'" \
    "md5sum -- ${odd_names[*]@Q} missing 'gone file'" upper_digests
  expect_like_peer "--tag" "$bin md5 --tag -- ${odd_names[*]@Q}" \
    "md5sum --tag -- ${odd_names[*]@Q}" upper_digests
  expect_like_peer "-z" "$bin md5 -z -- ${odd_names[*]@Q} | tr '\\0' '\\n'" \
    "md5sum -z -- ${odd_names[*]@Q} | tr '\\0' '\\n'" upper_digests
  expect_like_peer "-j 3 keeps the order" "$bin md5 -j 3 f* missing f0" "md5sum f* missing f0" \
    upper_digests
  expect_like_peer "a directory" "$bin md5 . f1" "md5sum . f1" upper_digests
  expect_like_peer "operands after --" "$bin md5 f1 -- -dash '[a,b]' f0" \
    "md5sum f1 -- -dash '[a,b]' f0" upper_digests
  ;;
many_files_like_md5sum)
  # More files than lanes, of sizes that end the lanes at different times, with failures and
  # standard input among them, in a tree.
  mkdir -p tree/a tree/b/c
  for i in $(seq 1 150); do random_file "tree/a/$i" $(( (i * 7919) % 300 )); done
  for i in $(seq 1 40); do random_file "tree/b/$i" $(( (i * 104729) % 200000 )); done
  for size in 0 63 64 65 65535 65536 65537 3000000; do random_file "tree/b/c/s$size" "$size"; done
  files=$(find tree -type f | sort | tr '\n' ' ')
  printf 'piped data\n' > input
  for jobs in 1 2 3; do
    expect_like_peer "a tree, -j $jobs" "$bin md5 -j $jobs $files" "md5sum $files" upper_digests
    expect_like_peer "a tree with failures and standard input, -j $jobs" \
      "$bin md5 -j $jobs tree/a/1 missing tree/b $files - tree/a/2 < input" \
      "md5sum tree/a/1 missing tree/b $files - tree/a/2 < input" upper_digests
  done
  md5sum $files > list; echo "d41d8cd98f00b204e9800998ecf8427e  missing" >> list
  for jobs in 1 3; do
    expect_like_peer "md5 -c over the tree, -j $jobs" "$bin md5 -c -j $jobs list" "md5sum -c list"
  done
  # FIFOs fed one after the other, and one pipe under two names: each is read alone, in turn.
  mkfifo fa fb
  random_file megabyte 1000000
  for jobs in 1 2; do
    (cat megabyte > fa; echo hi > fb) &
    timeout 30 "$bin" md5 -j "$jobs" input fa input fb > got || fail "FIFOs one after the other, -j $jobs: status $?"
    wait
    (cat megabyte > fa; echo hi > fb) &
    md5sum input fa input fb | upper_digests > want
    wait
    expect_same_file got want "FIFOs one after the other, -j $jobs"
    expect_like_peer "one pipe under two names, -j $jobs" "cat megabyte | $bin md5 -j $jobs /dev/stdin input /dev/stdin" \
      "cat megabyte | md5sum /dev/stdin input /dev/stdin" upper_digests
  done
  # More lanes than descriptors: files wait for a free one instead of failing. (Not under the
  # sanitizers, whose checks need descriptors of their own when an open fails for want of one.)
  if [ -z "${ASAN_OPTIONS:-}" ]; then
    expect_like_peer "few descriptors, -j 3" "ulimit -n 40; $bin md5 -j 3 $files" "md5sum $files" \
      upper_digests
  fi
  # No file after standard input is opened before it has been read to its end: /dev/stdin then
  # reads the same pipe, which md5sum finds empty.
  expect_like_peer "- then /dev/stdin" "cat input | $bin md5 - /dev/stdin" \
    "cat input | md5sum - /dev/stdin" upper_digests
  expect_like_peer "a file, - then /dev/stdin, -j 2" "cat input | $bin md5 -j 2 input - /dev/stdin" \
    "cat input | md5sum input - /dev/stdin" upper_digests
  ;;
standard_input_as_it_stands)
  printf 'first line\nthe rest of the data\n' > input
  expect_like_peer "descriptor 0 at an offset" "{ read l; $bin md5; } < input" \
    "{ read l; md5sum; } < input" upper_digests
  random_file big 3000000
  expect_like_peer "- twice: the data, then nothing" "cat big | $bin md5 -j 2 - -" \
    "cat big | md5sum - -" upper_digests
  expect_like_peer "- among files" "cat input | $bin md5 -j 2 big - input" \
    "cat input | md5sum big - input" upper_digests
  if command -v python3 >/dev/null; then
    # A socket on standard input, as a service manager may hand over.
    got=$(python3 - "$bin" <<'PY'
import socket, subprocess, sys
a, b = socket.socketpair()
b.sendall(b"socket data")
b.close()
print(subprocess.run([sys.argv[1], "md5"], stdin=a, capture_output=True, text=True).stdout, end="")
PY
)
    expect_eq "$got" "$(printf 'socket data' | md5sum | upper_digests)" "a socket on standard input"
  fi
  ;;
check_like_md5sum)
  make_odd_files
  md5sum -- "${odd_names[@]}" > plain
  md5sum --tag -- "${odd_names[@]}" > tagged
  "$bin" md5 -- "${odd_names[@]}" > upper
  { head -n 2 plain; echo; echo '# a comment'; echo 'not a checksum line';
    echo 'd41d8cd98f00b204e9800998ecf8427e  missing'; tail -n +3 plain; } > mixed
  cp plain changed; printf more >> x
  : > empty
  printf 'zzz\n\n' > garbage
  printf '0cc175b9c0f1b6a831c399e269772661 x\n' > reversed
  printf 'd41d8cd98f00b204e9800998ecf8427e  gone\nd41d8cd98f00b204e9800998ecf8427e  gone2\n' > gone
  printf 'd41d8cd98f00b204e9800998ecf8427e  gone\r\n' > crlf
  for list in plain tagged upper mixed changed empty garbage reversed gone crlf; do
    for opts in "" --quiet --status --strict -w --ignore-missing "--strict -w --quiet"; do
      expect_like_peer "md5 -c $opts $list" "$bin md5 -c $opts $list" "md5sum -c $opts $list"
    done
  done
  expect_like_peer "several lists" "$bin md5 -c -j 2 plain gone tagged" \
    "md5sum -c plain gone tagged"
  expect_like_peer "a list on standard input" "$bin md5 -c < tagged" "md5sum -c < tagged"
  expect_like_peer "- in a list read from standard input" \
    "echo 'd41d8cd98f00b204e9800998ecf8427e  -' | $bin md5 -c" \
    "echo 'd41d8cd98f00b204e9800998ecf8427e  -' | md5sum -c"
  expect_like_peer "an empty list name" "$bin md5 -c ''" "md5sum -c ''"
  expect_like_peer "a missing list" "$bin md5 -c nolist plain" "md5sum -c nolist plain"
  expect_like_peer "a folder as a list" "$bin md5 -c . plain" "md5sum -c . plain"
  expect_error 1 "ansicrypt: 'standard input': read error" "a closed standard input as the list" \
    sh -c "'$bin' md5 -c <&-"
  # The reversed form, once seen, holds for the lists after it; a NUL ends a name.
  expect_like_peer "reversed, then standard" "$bin md5 -c reversed plain" "md5sum -c reversed plain"
  expect_like_peer "standard, then reversed" "$bin md5 -c plain reversed" "md5sum -c plain reversed"
  printf 'd41d8cd98f00b204e9800998ecf8427e  x\0tail\n' > with-nul
  expect_like_peer "a NUL in a name" "$bin md5 -c with-nul" "md5sum -c with-nul"
  # A NUL ends the digest of a tagged line too: what follows it is not read.
  printf 'MD5 (x) = %s\0junk\nMD5 (x) = %s\0ju)nk\n' "$(md5sum < x | cut -c1-32)" \
    "$(md5sum < x | cut -c1-32)" > tagged-nul
  expect_like_peer "a NUL after a tagged digest" "$bin md5 -c tagged-nul" "md5sum -c tagged-nul"
  ;;
names_in_the_locale)
  # Names in messages are quoted as md5sum quotes them in the user's locale: in a UTF-8 locale
  # printable characters stay as they are, other bytes are escaped.
  names=(utféx-missing "$(printf 'caf\351')" "$(printf 'z\342\200\213q')" "$(printf 'a\302\205b')"
         "$(printf 'c\001d')" "it's é" 'ü:x' "$(printf '\343\201')" "é'\''\$x")
  # An emulated big-endian tool cannot read this machine's compiled locales (they are in its byte
  # order), so it runs in the C locale whatever LC_ALL says.
  locales="C C.UTF-8 en_US.UTF-8"
  [ "${ANSICRYPT_EMULATED:-}" != BIG_ENDIAN ] || locales=C
  for locale in $locales; do
    [ "$locale" = C ] || locale -a 2>/dev/null | grep -qix "$(echo "$locale" | sed 's/UTF-8/utf8/')" || continue
    expect_like_peer "missing names in $locale" "LC_ALL=$locale $bin md5 -- ${names[*]@Q}" \
      "LC_ALL=$locale md5sum -- ${names[*]@Q}"
    printf 'd41d8cd98f00b204e9800998ecf8427e  %s\n' "${names[@]}" > list
    expect_like_peer "missing listed names in $locale" "LC_ALL=$locale $bin md5 -c list" \
      "LC_ALL=$locale md5sum -c list"
  done
  ;;
descriptors_are_shared)
  # More files than descriptors on every thread: an idle thread waits for a descriptor as a busy
  # one does. (Not under the sanitizers, whose checks need descriptors of their own.)
  [ -z "${ASAN_OPTIONS:-}" ] || exit 77
  head -c 5000000 /dev/urandom | split -b 1000 -a 4 - f
  files=$(ls f* | tr '\n' ' ')
  expect_like_peer "5000 files, 64 descriptors, -j 8" "ulimit -n 64; $bin md5 -j 8 $files" \
    "md5sum $files" upper_digests
  expect_like_peer "5000 files, 1024 descriptors, -j 256" "ulimit -n 1024; $bin md5 -j 256 $files" \
    "md5sum $files" upper_digests
  md5sum $files > list
  expect_like_peer "md5 -c, 64 descriptors, -j 8" "ulimit -n 64; $bin md5 -c -j 8 list" "md5sum -c list"
  # One or two free descriptors for sixteen threads: they wait for each other, none fails. (Not
  # under an emulator, which needs descriptors of its own to start the tool.)
  [ -z "${ANSICRYPT_EMULATED:-}" ] || exit 0
  all=(f*)
  few="${all[*]:0:1000}"
  md5sum $few > few.list
  # The limit that leaves N descriptor numbers free for a command (whatever the test runner keeps
  # open), the list that md5 -c opens taking one of them.
  limit_with_free() {
    local fd=0 free=0
    while [ "$free" -lt "$1" ]; do
      [ -e "/proc/$$/fd/$fd" ] || free=$((free + 1))
      fd=$((fd + 1))
    done
    echo "$fd"
  }
  one=$(limit_with_free 1)
  three=$(limit_with_free 3)
  for round in 1 2 3; do
    expect_like_peer "one free descriptor, -j 16 ($round)" "ulimit -n $one; $bin md5 -j 16 $few" \
      "md5sum $few" upper_digests
    expect_like_peer "md5 -c of a list file, two free, -j 16 ($round)" \
      "ulimit -n $three; $bin md5 -c -j 16 few.list" "md5sum -c few.list"
  done
  ;;
check_streams_its_list)
  command -v python3 >/dev/null || exit 77
  printf 'some data\n' > a
  # Each line is answered once it is read, before the next one comes.
  for jobs in 1 3; do
    python3 - "$bin" "$jobs" <<'PY'
import os, select, subprocess, sys
tool, jobs = sys.argv[1], sys.argv[2]
line = subprocess.run(["md5sum", "a"], capture_output=True, check=True).stdout
p = subprocess.Popen([tool, "md5", "-c", "-j", jobs], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
p.stdin.write(line)
p.stdin.flush()
ready, _, _ = select.select([p.stdout], [], [], 20)
if not ready:
    p.kill()
    sys.exit("FAILED: -j %s: no answer to the first line before the second came" % jobs)
first = os.read(p.stdout.fileno(), 100)
p.stdin.write(line)
p.stdin.close()
rest = p.stdout.read()
if first + rest != b"a: OK\na: OK\n" or p.wait() != 0:
    sys.exit("FAILED: -j %s: %r" % (jobs, first + rest))
PY
  done
  # Memory follows the longest line and the jobs, not the list: 60 MB of misformatted lines.
  if [ -z "${ASAN_OPTIONS:-}" ]; then
    python3 - "$bin" <<'PY'
import resource, subprocess, sys
with open("junk", "wb") as f:
    block = b"not a checksum line at all, but long enough\n" * 20000
    for _ in range(60_000_000 // len(block)):
        f.write(block)
with open("junk", "rb") as f:
    done = subprocess.run([sys.argv[1], "md5", "-c", "-j", "2"], stdin=f, capture_output=True)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
if done.returncode != 1 or b"no properly formatted checksum lines found" not in done.stderr:
    sys.exit("FAILED: %d %r" % (done.returncode, done.stderr[:200]))
print(f"peak resident set: {peak} MB")
sys.exit(0 if peak < 30 else 1)
PY
  fi
  ;;
*)
  fail "unknown case $case_name"
  ;;
esac
