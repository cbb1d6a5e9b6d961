#!/usr/bin/env bash
# Runs a command where the program may safely start: a private network
# namespace with only loopback, a virtual X display and a fresh Wine prefix.
# Usage: scripts/sandbox.sh COMMAND [ARGS...]
set -euo pipefail

if [ "${WEMLOX_SANDBOX:-}" != "1" ]; then
  exec unshare --net -- env WEMLOX_SANDBOX=1 bash "$0" "$@"
fi

ip link set lo up
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/wemlox-wine.XXXXXX)
  own_prefix=$WINEPREFIX
fi
export WINEPREFIX
export WINEARCH=win64
own_xdg=$(mktemp -d /tmp/wemlox-xdg.XXXXXX)
export XDG_RUNTIME_DIR=$own_xdg

display=${WEMLOX_DISPLAY:-:$((90 + RANDOM % 500))}
Xvfb "$display" -screen 0 ${WEMLOX_SCREEN:-1920x1080x24} -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
  [ -z "$own_prefix" ] || rm -rf "$own_prefix"
  rm -rf "$own_xdg"
}
trap cleanup EXIT
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "sandbox: the virtual display did not start" >&2; exit 1; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
"$@"
