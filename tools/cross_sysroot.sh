#!/bin/sh
# Prepares what the cross builds need on a Debian machine: the cross compiler and qemu-user for
# ARCH (arm64 or s390x), and the target's OpenSSL, GoogleTest and Python (the interpreter, its
# standard library and headers, run under qemu for the Python module's tests; pybind11's headers
# and CMake files) unpacked into DIR. The packages
# come from Debian's archive for ARCH (dpkg --add-architecture) but are unpacked rather than
# installed: multiarch installation needs the same version of libssl-dev on both architectures,
# and a mirror may carry security updates for some architectures only.
# Usage: tools/cross_sysroot.sh ARCH DIR
set -eu
arch=$1
dir=$2
case $arch in
  arm64) triplet=aarch64-linux-gnu ;;
  s390x) triplet=s390x-linux-gnu ;;
  *) echo "cross_sysroot.sh: unknown architecture $arch (arm64 or s390x)" >&2; exit 2 ;;
esac
sh "$(dirname "$0")/deps.sh" "g++-$triplet" qemu-user-static
python="python3.11-minimal libpython3.11-minimal libpython3.11-stdlib libpython3.11-dev libexpat1
  zlib1g libffi8 libbz2-1.0 liblzma5 libuuid1 libcrypt1 libsqlite3-0 libtinfo6 libncursesw6
  libreadline8"
packages="libssl-dev:$arch libssl3:$arch libgtest-dev:$arch libgmock-dev:$arch pybind11-dev"
for package in $python; do packages="$packages $package:$arch"; done
# A folder made for another list of packages is made again.
[ -f "$dir/.complete" ] && [ "$(cat "$dir/.complete")" = "$packages" ] && exit 0
# Only a folder this script made (or none, or an empty one) is replaced.
if [ -d "$dir" ] && [ -n "$(ls -A "$dir")" ] && [ ! -f "$dir/.cross_sysroot" ]; then
  echo "cross_sysroot.sh: $dir holds other files; give an empty or new folder" >&2
  exit 2
fi
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
  $sudo dpkg --add-architecture "$arch"
  $sudo apt-get update -qq
fi
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
chmod 755 "$download"  # apt's unprivileged downloader writes into it
# shellcheck disable=SC2086
if ! (cd "$download" && apt-get download -qq $packages); then
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  (cd "$download" && apt-get download -qq $packages)
fi
rm -rf "$dir"
mkdir -p "$dir"
touch "$dir/.cross_sysroot"
for deb in "$download"/*.deb; do dpkg-deb -x "$deb" "$dir"; done
echo "$packages" > "$dir/.complete"
echo "cross_sysroot.sh: $arch libraries in $dir"
