#!/usr/bin/env bash
# Reference for transfer_bench: the Linux curl command fetching the same
# 25 MB file from the card simulator, once built for Linux and once the
# Windows build under Wine. Run inside scripts/sandbox.sh (loopback only).
# Usage: curl_reference.sh NATIVE_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
native=$1 windows=$2
card=$(mktemp -d /tmp/wemlox-curlref.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$card"' EXIT
mkdir -p "$card/DCIM"
head -c $((25 * 1024 * 1024)) /dev/zero | tr '\0' 'b' >"$card/DCIM/BIG.JPG"

median_of_runs() {  # URL -> median seconds of 7 downloads
  for _ in 1 2 3 4 5 6 7; do
    curl -s --noproxy '*' -o /dev/null -w '%{time_total}\n' "$1"
  done | sort -n | sed -n 4p
}
wait_for() {  # URL: until the simulator answers
  for _ in $(seq 100); do curl -s --noproxy '*' -o /dev/null "$1" && return 0; sleep 0.1; done
  return 1
}

"$native/card_simulator" --root "$card" --address 127.0.0.9 --control-port 8089 --lifetime 120 &
wait_for http://127.0.0.9/command.cgi?op=104
echo "Linux curl, 25 MB from the Linux simulator: median $(median_of_runs http://127.0.0.9/DCIM/BIG.JPG) s"
wine "$windows/card_simulator.exe" --root "Z:${card//\//\\}" --address 127.0.0.10 --control-port 8090 --lifetime 120 &
wait_for http://127.0.0.10/command.cgi?op=104
echo "Linux curl, 25 MB from the simulator under Wine: median $(median_of_runs http://127.0.0.10/DCIM/BIG.JPG) s"
