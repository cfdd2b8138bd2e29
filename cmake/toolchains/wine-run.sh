#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, quietly, in a Wine
# prefix of the build folder.
#   wine-run.sh <prefix-dir> <program.exe> [args...]
#   wine-run.sh <prefix-dir> --init      (only prepare the prefix)
# The prefix is created once, under a lock, so parallel test runs do not race
# on Wine's first-run setup. Exit status is the program's.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installer dialogs, no window system.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

wine=${ZEMORI_WINE:-}
if [[ -z $wine ]]; then
  for candidate in wine64 wine /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then wine=$(command -v "$candidate"); break; fi
  done
fi
[[ -n $wine ]] || { echo "wine-run.sh: no wine found" >&2; exit 127; }
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
command -v wineserver >/dev/null 2>&1 && wineserver=$(command -v wineserver)

mkdir -p "$prefix"
(
  flock 9
  if [[ ! -f $prefix/.zemori-ready ]]; then
    "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
    "$wineserver" -w || true
    touch "$prefix/.zemori-ready"
  fi
  # One server that outlasts the test for five minutes (a shorter life let it
  # exit while a long test kept the other runner slot busy, and a test
  # started as it went failed without a line of output), and Wine's own services,
  # started in a session of their own with no output: otherwise they inherit
  # the test's output pipes and the test runner waits for them to exit (and
  # every test pays Wine's start-up). wineserver -p answers 0 only when it
  # started a new server.
  if setsid "$wineserver" -p300 </dev/null >/dev/null 2>&1 9>&-; then
    setsid "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"

[[ ${1:-} == --init ]] && exit 0
exec "$wine" "$@"
