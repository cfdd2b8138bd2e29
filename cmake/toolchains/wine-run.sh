#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, quietly, in a Wine
# prefix of the build folder.
#   wine-run.sh <prefix-dir> <program.exe> [args...]
#   wine-run.sh <prefix-dir> --init      (only prepare the prefix)
# Exit status is the program's.
#
# Everything that starts or stops the prefix's Wine server happens under one
# lock (<prefix>.lock): the prefix is created once, so parallel runs do not
# race on Wine's first-run setup, and the server never exits while a program
# starts. A server that ends on a timer of its own (wineserver -pN) can: a
# program that meets its exit dies at once, without a line of output, and
# Debian's wineserver script adds -p0, so that a server Wine starts by itself
# ends the moment its last program does. Here the server is started without
# a timer (-p), each program is registered in <prefix>.run/ by its process
# id (which exec keeps) while it runs, and a reaper stops the server under
# the lock once no registered program has run for a minute.
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
lock=$prefix.lock
runs=$prefix.run
reaper=$prefix.reaper
idle_seconds=${ZEMORI_WINE_IDLE_SECONDS:-60}

# --reap: stops the server once no registered program has run for
# idle_seconds; a registration whose process is gone is dropped.
if [[ ${1:-} == --reap ]]; then
  while sleep 5; do
    (
      flock 9
      for entry in "$runs"/*; do
        [[ -e $entry ]] || continue
        kill -0 "${entry##*/}" 2>/dev/null || rm -f "$entry"
      done
      [[ -z $(ls -A "$runs") ]] || exit 0
      (($(date +%s) - $(stat -c %Y "$runs") >= idle_seconds)) || exit 0
      "$wineserver" -k 9>&- || true
      "$wineserver" -w 9>&- || true
      rm -f "$reaper"
      exit 1
    ) 9>"$lock" || exit 0
  done
fi

mkdir -p "$prefix" "$runs"
(
  flock 9
  if [[ ! -f $prefix/.zemori-ready ]]; then
    "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
    "$wineserver" -w || true
    touch "$prefix/.zemori-ready"
  fi
  # The server, Wine's own services and the reaper start in a session of
  # their own with no output: otherwise they inherit the test's output pipes
  # and the test runner waits for them to exit (and every test pays Wine's
  # start-up). wineserver answers 0 only when it started a new server.
  if setsid "$wineserver" -p </dev/null >/dev/null 2>&1 9>&-; then
    setsid "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
  if [[ ! -f $reaper ]] || ! kill -0 "$(cat "$reaper")" 2>/dev/null; then
    setsid "$0" "$prefix" --reap </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$reaper"
  fi
  # Registered before the lock goes: the reaper cannot stop the server
  # between here and the program's start.
  touch "$runs/$$"
) 9>"$lock"

if [[ ${1:-} == --init ]]; then
  rm -f "$runs/$$"
  exit 0
fi
exec "$wine" "$@"
