#!/usr/bin/env bash
# The install step of scripts/packages.sh on a machine that lacks two of the
# windows configuration's packages. Stand-ins for dpkg-query, id, sudo and
# apt-get log their calls; nothing else of the system is on PATH.
set -u
library=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin=$work/bin
mkdir "$bin"
for tool in bash env grep sort tr basename; do
  ln -s "$(command -v "$tool")" "$bin/$tool"
done
stand_in() { printf '#!%s\n%s\n' "$(command -v bash)" "$2" >"$bin/$1" && chmod +x "$bin/$1"; }
stand_in dpkg-query 'for p in $MISSING; do [ "${!#}" = "$p" ] && exit 1; done; echo "install ok installed"'
stand_in id 'echo "$FAKE_UID"'
stand_in apt-get 'echo "apt-get $* ($DEBIAN_FRONTEND)" >>"$LOG"'
stand_in sudo 'echo sudo >>"$LOG"; exec "$@"'

failures=0
# check NAME UID: runs zemori_require windows; then compares status and log.
check() {
  local name=$1 status log
  : >"$work/log"
  (export PATH=$bin LOG=$work/log FAKE_UID=$2 && source "$library" && zemori_require windows) \
    >"$work/out" 2>&1
  status=$?
  log=$(<"$work/log")
  if [ "$status" != "$3" ] || [ "$log" != "$4" ]; then
    echo "FAIL $name: status $status, calls:" && echo "$log" && cat "$work/out"
    failures=$((failures + 1))
  fi
}
install='install -y -q --no-install-recommends googletest wine64 (noninteractive)'

MISSING='' check "nothing missing" 0 0 ''
export MISSING='wine64 googletest'
check "as root" 0 0 "apt-get update -q (noninteractive)
apt-get $install"
check "through sudo" 1000 0 "sudo
apt-get update -q (noninteractive)
sudo
apt-get $install"
rm "$bin/sudo"
check "no sudo" 1000 1 ''
grep -qF 'apt-get update && apt-get install -y --no-install-recommends googletest wine64' \
  "$work/out" || { echo "FAIL no sudo: the command to run is not shown" && cat "$work/out" &&
  failures=$((failures + 1)); }
exit $((failures > 0))
