#!/bin/sh
# Runs a Windows program under Wine, in a Wine prefix of its own beside the build folders (made on
# first use), without Wine's debug output. Usage: tools/wine_run.sh PROGRAM.exe [ARGUMENT]...
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${ANSICRYPT_WINEPREFIX:-$here/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
wine=$(command -v wine64 || command -v wine || true)
[ -n "$wine" ] || { echo "wine_run.sh: Wine is missing (apt-get install wine64 wine)" >&2; exit 127; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
