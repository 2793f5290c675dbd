#!/bin/sh
# The Debian packages as lintian sees them: no error and no warning (informational notes are
# allowed), and a copyright file that names every licence of THIRD_PARTY_NOTICES.md.
#   lintian.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -eu
build=$1 source=$2 work=$3
fail() { echo "FAILED: $*" >&2; exit 1; }
command -v lintian >/dev/null || { echo "no lintian: skipped"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack"
# lintian's own complaint about running as root is not about the packages.
status=0
report=$(lintian --fail-on error,warning --no-tag-display-limit "$work"/out/*.deb 2>&1) || status=$?
echo "$report" | grep -v '^running with root' || true
problems=$(echo "$report" | grep -E '^[EW]: ' || true)
[ -z "$problems" ] || fail "lintian: $problems"
[ "$status" -eq 0 ] || fail "lintian ended with status $status"

# Every licence the notices name (the SPDX identifiers in their headings) has its paragraph.
for deb in "$work"/out/*.deb; do
  package=$(dpkg-deb -f "$deb" Package)
  dpkg-deb -x "$deb" "$work/$package"
  copyright="$work/$package/usr/share/doc/$package/copyright"
  [ -f "$copyright" ] || fail "$package has no copyright file"
  # A heading's parenthesis is a licence expression when it holds only identifiers and OR/AND.
  licences=$(grep -E '^## [0-9]+\. .*\(' "$source/THIRD_PARTY_NOTICES.md" |
    sed -E 's/.*\(([^)]*)\).*/\1/' |
    grep -Ex '[A-Za-z0-9.+-]+(( OR | AND )[A-Za-z0-9.+-]+)*' | tr ' ' '\n' | grep -vxE 'OR|AND' |
    sort -u)
  [ -n "$licences" ] || fail "no licence found in THIRD_PARTY_NOTICES.md"
  # ansicrypt's own licence and the RFC's terms are not in the notices' headings.
  for licence in $licences MIT RFC-4648; do
    grep -Eq "^License: $licence(~[a-z0-9]+)?\$" "$copyright" ||
      fail "$package: no licence paragraph for $licence in its copyright file"
  done
  zcat "$work/$package/usr/share/doc/$package/changelog.gz" | head -1 |
    grep -q "^ansicrypt ($(dpkg-deb -f "$deb" Version)) " ||
    fail "$package: its changelog does not start with its version"
done
echo "lintian: no error and no warning on $(ls "$work"/out/*.deb | wc -l) packages"
