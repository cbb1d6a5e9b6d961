#!/usr/bin/env bash
# The main job, as a user would see it: Wemlox under Wine on a virtual display,
# inside a private network namespace, with settings that point at a card on
# loopback. Screenshots and the journal land in build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${WEMLOX_SANDBOX:-}" != "1" ]; then
  bash scripts/setup.sh
  export WEMLOX_DEPS=/var/cache/wemlox-deps/current
  cmake --preset native >/dev/null && cmake --build --preset native --target make_settings >/dev/null
  cmake --preset windows >/dev/null && cmake --build --preset windows --target Wemlox wemlox_drive standin_viewer >/dev/null
  exec bash scripts/sandbox.sh bash "$0" "$@"
fi

out=build/demo
rm -rf "$out"; mkdir -p "$out"
bin=build/windows
user_dir="$WINEPREFIX/drive_c/users/$(whoami)"
settings_dir="$user_dir/AppData/Roaming/Wemlox"
mkdir -p "$settings_dir"
build/native/make_settings "$settings_dir/Wemlox.ini" \
  TFA.Url=127.0.0.1 TFA.UrlLastConnect=127.0.0.1 ${WEMLOX_DEMO_SETTINGS:-}

echo "Starting Wemlox (settings: $settings_dir/Wemlox.ini)"
wine "$bin/Wemlox.exe" &
wemlox=$!
wine "$bin/wemlox_drive.exe" wait-bar 30000
import -window root "$out/bar-closed.png"
wine "$bin/wemlox_drive.exe" click 8
sleep 1
import -window root "$out/bar-journal.png"
wine "$bin/wemlox_drive.exe" journal > "$out/journal.txt"
wine "$bin/wemlox_drive.exe" close
wait "$wemlox" || true

echo "Journal:"; tr '\r' '\n' < "$out/journal.txt" | sed '/^$/d'
echo "Screenshots: $out/bar-closed.png $out/bar-journal.png"
echo "Picture store: $user_dir/Wemlox"; (cd "$user_dir/Wemlox" && find . | sort)
