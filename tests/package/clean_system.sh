#!/bin/sh
# The Debian packages on a clean Debian 12: debootstrap --variant=minbase bookworm into a scratch
# folder, install the packages there with apt-get (only what they declare comes in), run the
# tool's selftest, the README's library example through pkg-config, the Python module and the
# SQLite extension (python3 and sqlite3, which the package suggests, installed first, as a user
# would), then purge them and check that nothing they brought is left. Skipped without root,
# debootstrap, or the network to Debian's archive.
#   clean_system.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION
set -eu
build=$1 source=$2 work=$3 version=$4
fail() { echo "FAILED: $*" >&2; exit 1; }
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "debootstrap and chroot need root"
command -v debootstrap >/dev/null || skip "no debootstrap (apt-get install debootstrap)"
case $work in /?*) ;; *) fail "WORK_DIR must be an absolute path: $work" ;; esac
# The chroot's mounts live in a mount namespace of this script's own, private, so that none
# reaches the machine's mount table and all of them end with the script, however it ends.
if [ -z "${ANSICRYPT_CLEAN_SYSTEM_NAMESPACE:-}" ]; then
  unshare --mount --propagation private true 2>/dev/null ||
    skip "no private mount namespace here (unshare needs CAP_SYS_ADMIN)"
  ANSICRYPT_CLEAN_SYSTEM_NAMESPACE=1 exec unshare --mount --propagation private sh "$0" "$@"
fi
# The machine's own Debian mirror, else Debian's.
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
host=$(echo "$mirror" | sed -E 's|^https?://([^/:]+).*|\1|')
getent hosts "$host" >/dev/null || skip "no network to $mirror"
command -v wget >/dev/null && { wget -q -O /dev/null "$mirror/dists/bookworm/Release" || skip "no answer from $mirror"; }

root=$work/root
# Removes the work folder, only once nothing is mounted under it: rm would go through a bind
# mount of /dev into the machine's own device nodes.
cleanup() {
  for m in dev/pts dev proc; do umount "$root/$m" 2>/dev/null || true; done
  if awk -v root="$root" 'index($5, root) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
    echo "FAILED: still mounted under $root; $work is left as it is" >&2
    return 1
  fi
  rm -rf --one-file-system "$work"
}
cleanup || exit 1
mkdir -p "$work"
trap 'cleanup' EXIT
trap 'exit 1' INT TERM HUP
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack"
echo "debootstrap --variant=minbase bookworm from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" > "$work/debootstrap.log" 2>&1 ||
  fail "debootstrap: $(tail -5 "$work/debootstrap.log")"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
  DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update -qq >/dev/null || fail "apt-get update"
in_root apt-get install -y -qq python3 sqlite3 >/dev/null || fail "python3 and sqlite3"

# What is there before the packages come.
before=$work/before
in_root find / -xdev \( -path /proc -o -path /dev -o -path /tmp \) -prune -o -print | sort > "$before"

mkdir "$root/debs"
cp "$work"/out/ansicrypt_"$version"_*.deb "$work"/out/libansicrypt-dev_"$version"_*.deb "$root/debs/"
in_root sh -c 'apt-get install -y -qq /debs/*.deb' > "$work/install.log" 2>&1 ||
  fail "apt-get install: $(tail -5 "$work/install.log")"
owned=$(in_root dpkg -L ansicrypt libansicrypt-dev | sort -u)

# Everything works with only what the packages declared.
in_root ansicrypt selftest > "$work/selftest" || fail "selftest: $(cat "$work/selftest")"
[ "$(in_root ansicrypt --version)" = "ansicrypt $version" ] || fail "--version"
awk '/^```cpp$/ { inside = 1; next } /^```$/ { if (inside) exit } inside' "$source/README.md" > "$root/example.cpp"
[ -s "$root/example.cpp" ] || fail "no C++ example in the README"
in_root sh -c 'cd / && g++ -std=c++20 example.cpp $(pkg-config --cflags --libs ansicrypt) -o example && ./example' \
  > "$work/example" 2>&1 || fail "the README's example through pkg-config: $(tail -5 "$work/example")"
[ "$(in_root sh -c 'cd / && python3 -c "import ansicrypt; print(ansicrypt.__version__)"')" = "$version" ] ||
  fail "import ansicrypt"
extension=$(echo "$owned" | grep '/ansicrypt/ansicrypt\.so$') || fail "no SQLite extension in the package"
[ "$(in_root sqlite3 :memory: ".load ${extension%.so}" "SELECT ansi_md5('abc');")" = \
  "900150983CD24FB0D6963F7D28E17F72" ] || fail "the SQLite extension"

# Purged, they leave nothing of theirs (compiled Python files included).
in_root apt-get purge -y -qq ansicrypt libansicrypt-dev >/dev/null || fail "apt-get purge"
! in_root dpkg-query -W ansicrypt libansicrypt-dev >/dev/null 2>&1 || fail "a package record is left"
for path in $owned; do
  grep -qxF "$path" "$before" && continue  # a folder that was there before
  in_root dpkg-query -S "$path" >/dev/null 2>&1 && continue  # a folder a dependency shares
  [ ! -e "$root$path" ] || fail "left after purge: $path ($(ls -A "$root$path" 2>/dev/null | head -3 | tr '\n' ' '))"
done
echo "packages $version: installed on a clean bookworm with their declared dependencies, used and purged"
