#!/usr/bin/env bash
# Runs a command with a warm Wine (a throw-away prefix under build/) and an X display, then
# stops Wine. Wine's background services are started detached from our pipes, so that a
# caller reading our output (ctest) does not wait for them.
# Usage: scripts/wine-env.sh COMMAND [ARG...]
set -uo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$PWD/build/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"

xvfb_pid=
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  for n in $(seq 91 120); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi

wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 </dev/null

"$@"
status=$?

wineserver -k >/dev/null 2>&1 </dev/null
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
exit $status
