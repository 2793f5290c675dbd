#!/bin/sh
# Builds the Debian packages from a build directory, installs them on this machine with dpkg,
# checks what they hold and that they work (the tool, its man page, the library through CMake and
# pkg-config with the README's example, the Python module, the SQLite extension, CREATE EXTENSION
# in PostgreSQL), then removes them and checks that nothing is left.
#   run.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION
set -eu
build=$1 source=$2 work=$3 version=$4
fail() { echo "FAILED: $*" >&2; exit 1; }
command -v dpkg >/dev/null || { echo "no dpkg: skipped"; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "dpkg -i needs root: skipped"; exit 77; }
if dpkg-query -W -f='${Status}' ansicrypt 2>/dev/null | grep -q "ok installed"; then
  fail "an ansicrypt package is installed already; remove it first"
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work"
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack"
tool_deb=$(ls out/ansicrypt_"$version"_*.deb)
dev_deb=$(ls out/libansicrypt-dev_"$version"_*.deb)
pg_deb=$(ls out/postgresql-*-ansicrypt_"$version"_*.deb 2>/dev/null || true)
pg_package=""
if [ -n "$pg_deb" ]; then
  pg_package=$(dpkg-deb -f "$pg_deb" Package)
  case $(dpkg-deb -f "$pg_deb" Depends) in *postgresql-[0-9]*) ;; *) fail "$pg_deb does not depend on the server" ;; esac
fi

for deb in "$tool_deb" "$dev_deb" $pg_deb; do
  outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' || true)
  [ -z "$outside" ] || fail "$deb holds files outside /usr: $outside"
done
depends=$(dpkg-deb -f "$tool_deb" Depends)
case $depends in *libc6*libstdc++6*|*libstdc++6*libc6*) ;; *) fail "dependencies: $depends" ;; esac

trap 'dpkg -P $pg_package ansicrypt libansicrypt-dev >/dev/null 2>&1 || true' EXIT
dpkg -i "$tool_deb" "$dev_deb" $pg_deb >/dev/null || fail "dpkg -i"
installed=$(dpkg -L ansicrypt libansicrypt-dev $pg_package | sort)

# The tool and its man page.
/usr/bin/ansicrypt selftest >/dev/null || fail "ansicrypt selftest"
[ "$(/usr/bin/ansicrypt --version)" = "ansicrypt $version" ] || fail "--version"
man_page=$(echo "$installed" | grep '/man1/ansicrypt\.1')
# The page is UTF-8: groff reads it through preconv (-k), as man does.
# It is installed compressed, as Debian's policy asks.
case $man_page in *.gz) ;; *) fail "the man page is not compressed: $man_page" ;; esac
warnings=$(zcat "$man_page" | LC_ALL=C.UTF-8 groff -k -ww -man -Tutf8 -z 2>&1)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
lexgrog "$man_page" >/dev/null || fail "lexgrog"

# The README's library example, built against the installed files both ways.
awk '/^```cpp$/ { inside = 1; next } /^```$/ { if (inside) exit } inside' "$source/README.md" > example.cpp
[ -s example.cpp ] || fail "no C++ example in the README"
g++ -std=c++20 example.cpp $(pkg-config --cflags --libs ansicrypt) -o example_pkgconfig || fail "pkg-config build"
./example_pkgconfig || fail "pkg-config example run"
mkdir consumer
cp example.cpp consumer/
cat > consumer/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(consumer CXX)
find_package(ansicrypt CONFIG REQUIRED)
add_executable(example example.cpp)
target_link_libraries(example PRIVATE ansicrypt::ansicrypt)
CMAKE
cmake -S consumer -B consumer/build >/dev/null || fail "CMake configure"
cmake --build consumer/build >/dev/null || fail "CMake build"
consumer/build/example || fail "CMake example run"
[ "$(pkg-config --modversion ansicrypt)" = "$version" ] || fail "pkg-config version"

# The bindings.
if echo "$installed" | grep -q 'dist-packages/ansicrypt'; then
  [ "$(cd / && /usr/bin/python3 -c 'import ansicrypt; print(ansicrypt.__version__)')" = "$version" ] ||
    fail "Python module"
fi
extension=$(echo "$installed" | grep '/ansicrypt/ansicrypt\.so$' || true)
if [ -n "$extension" ] && command -v sqlite3 >/dev/null; then
  [ "$(sqlite3 :memory: ".load ${extension%.so}" "SELECT ansi_md5('abc');")" = "900150983CD24FB0D6963F7D28E17F72" ] ||
    fail "SQLite extension"
fi

if [ -n "$pg_package" ]; then
  (cd "$source/tests/postgres" && /usr/bin/python3 installed_check.py "$version") ||
    fail "CREATE EXTENSION ansicrypt"
fi

# Removal leaves nothing behind.
dpkg -P $pg_package ansicrypt libansicrypt-dev >/dev/null || fail "dpkg -P"
trap - EXIT
! dpkg-query -W $pg_package ansicrypt libansicrypt-dev >/dev/null 2>&1 || fail "a package record is left"
for f in $installed; do
  [ -d "$f" ] || [ ! -e "$f" ] || fail "left after removal: $f"
done
echo "packages $version: built, installed, used and removed"
