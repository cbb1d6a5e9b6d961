#!/usr/bin/env bash
# Pictures of the bar's menu and of each tab of the settings window at 100 %
# and 200 % (96 and 192 DPI), taken in-process by the Windows tests on a
# virtual display large enough for the 200 % window; PNG files land in
# build/shots/ (copy the ones wanted to docs/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${WEMLOX_SANDBOX:-}" != "1" ]; then
  export WEMLOX_DEPS=/var/cache/wemlox-deps/current
  cmake --preset windows >/dev/null && cmake --build --preset windows --target wemlox_win_tests >/dev/null
  WEMLOX_SCREEN=${WEMLOX_SCREEN:-3840x2160x24} exec bash scripts/sandbox.sh bash "$0" "$@"
fi

out=build/shots
rm -rf "$out"; mkdir -p "$out"
export WEMLOX_SHOTS_DIR
WEMLOX_SHOTS_DIR=$(winepath -w "$(realpath "$out")")
for dpi in 96 192; do
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  wine build/windows/wemlox_win_tests.exe --gtest_filter='UiTest.SaveScreenshots*' >"$out/run-$dpi.log" 2>&1 ||
    { cat "$out/run-$dpi.log"; exit 1; }
done
for bmp in "$out"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
ls "$out"/*.png
