#!/usr/bin/env bash
# Runs a command where the program may safely start: a private network
# namespace with only loopback, a virtual X display and a fresh Wine prefix
# (a copy of WEMLOX_WINE_TEMPLATE when that names a prepared one, which is
# much quicker than preparing a new one). Several may run side by side: each
# has its own namespace, display and prefix.
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
  template=${WEMLOX_WINE_TEMPLATE:-}
  if [ -n "$template" ] && [ -f "$template/system.reg" ]; then
    cp -a "$template/." "$WINEPREFIX/"
  fi
fi
export WINEPREFIX
export WINEARCH=win64
own_xdg=$(mktemp -d /tmp/wemlox-xdg.XXXXXX)
export XDG_RUNTIME_DIR=$own_xdg

# Xvfb picks a free display itself and names it once it accepts clients.
if [ -n "${WEMLOX_DISPLAY:-}" ]; then
  Xvfb "$WEMLOX_DISPLAY" -screen 0 "${WEMLOX_SCREEN:-1920x1080x24}" -nolisten tcp >/dev/null 2>&1 &
else
  Xvfb -displayfd 3 -screen 0 "${WEMLOX_SCREEN:-1920x1080x24}" -nolisten tcp 3>"$own_xdg/display" >/dev/null 2>&1 &
fi
xvfb_pid=$!
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
  [ -z "$own_prefix" ] || rm -rf "$own_prefix"
  rm -rf "$own_xdg"
}
trap cleanup EXIT
for _ in $(seq 1000); do
  if [ -n "${WEMLOX_DISPLAY:-}" ]; then
    DISPLAY=$WEMLOX_DISPLAY xdpyinfo >/dev/null 2>&1 && break
  elif [ -s "$own_xdg/display" ]; then
    break
  fi
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.01
done
export DISPLAY=${WEMLOX_DISPLAY:-:$(head -1 "$own_xdg/display" 2>/dev/null)}
xdpyinfo >/dev/null 2>&1 || { echo "sandbox: the virtual display did not start" >&2; exit 1; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
"$@"
