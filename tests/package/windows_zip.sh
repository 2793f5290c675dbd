#!/bin/sh
# The Windows .zip as a user unpacks it: one folder with the .exe, which runs on its own (under
# Wine here), its manual as plain text, the licence, the notices and the runtime libraries'
# licences.
#   windows_zip.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION
set -eu
build=$1 source=$2 work=$3 version=$4
fail() { echo "FAILED: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$build" && cpack -G ZIP -B "$work/out" >/dev/null) || fail "cpack"
zip="$work/out/ansicrypt-$version-windows-x86_64.zip"
[ -f "$zip" ] || fail "no $zip: $(ls "$work/out")"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "unpacking"
folder="$work/unpacked/ansicrypt-$version-windows-x86_64"
listing=$(cd "$folder" && find . -type f | sort)
expected=$(printf '%s\n' ./ansicrypt.exe ./ansicrypt.txt ./CHANGELOG.md ./LICENSE \
  ./THIRD_PARTY_NOTICES.md ./licenses/gcc-runtime.txt ./licenses/mingw-w64-runtime.txt | sort)
[ "$listing" = "$expected" ] || fail "the folder holds: $listing"
cmp -s "$folder/LICENSE" "$source/LICENSE" || fail "LICENSE differs"
# The manual: plain text (no terminal escape, no overstriking), with what Windows changes.
if LC_ALL=C grep -q "$(printf '[\033\010]')" "$folder/ansicrypt.txt"; then
  fail "the manual holds terminal escapes or backspaces"
fi
grep -q "ReplaceFileW" "$folder/ansicrypt.txt" || fail "the manual says nothing of Windows"
grep -q "GCC RUNTIME LIBRARY EXCEPTION\|Runtime Library Exception" "$folder/licenses/gcc-runtime.txt" ||
  fail "the GCC runtime's exception is missing"
# The .exe needs no DLL beside the system's: it runs from the unpacked folder alone.
got=$("$source/tools/wine_run.sh" "$folder/ansicrypt.exe" --version | head -n 1)
[ "$got" = "ansicrypt $version" ] || fail "ansicrypt.exe --version said: $got"
if x86_64-w64-mingw32-objdump -p "$folder/ansicrypt.exe" | grep -i "DLL Name" |
  grep -viE 'KERNEL32|msvcrt|SHELL32|ADVAPI32|USER32|api-ms-win|ucrtbase'; then
  fail "ansicrypt.exe needs a DLL Windows does not have"
fi
echo "ok: $(du -k "$zip" | cut -f1) KiB"
