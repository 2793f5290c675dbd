#!/bin/sh
# Installs the Debian packages that building, testing and benchmarking need, when any is missing,
# and any further packages named on the command line (CI adds clang for the fuzzers).
set -eu
packages="cmake ninja-build g++ pkg-config libssl-dev libgtest-dev libgmock-dev libbenchmark-dev openssl python3 python3-dev pybind11-dev python3-pytest libsqlite3-dev sqlite3 help2man groff-base man-db dpkg-dev file acl attr mypy python3-setuptools python3-wheel python3-venv python3-pip postgresql-15 postgresql-server-dev-15 python3-psycopg2 python3-dask python3-distributed python3-pandas lintian $*"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "deps.sh: installing$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
