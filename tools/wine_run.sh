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
# The build starts several programs at once: one of them makes the prefix, the others wait.
mkdir -p "$WINEPREFIX"
(
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1 || true
) 9> "$WINEPREFIX.lock"
exec "$wine" "$@"
