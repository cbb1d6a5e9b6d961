#!/usr/bin/env bash
# Builds both presets and runs every test: the native unit tests (with
# sanitizers) and fuzz targets, then the Windows unit and system tests under
# Wine, side by side, each in its own sandbox (private network namespace,
# virtual display, Wine prefix). Prints each stage's time at the end.
# Arguments go to the Windows ctest (e.g. -R system).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
# Wine tests mostly wait on the program, so more of them than cores run at once.
windows_jobs=${WEMLOX_TEST_JOBS:-$((jobs * 3))}

times=()
current=""
started=$SECONDS
stage_start=$SECONDS
begin() { current=$1; stage_start=$SECONDS; echo "== $1"; }
end() { times+=("$(printf '  %-34s %5d s' "$current" $((SECONDS - stage_start)))"); current=""; }
template=""
report() {
  local rc=$?
  [ -z "$current" ] || times+=("$(printf '  %-34s %5d s  (failed)' "$current" $((SECONDS - stage_start)))")
  [ -z "$template" ] || rm -rf "$template"
  echo "== stage times"
  printf '%s\n' "${times[@]}"
  printf '  %-34s %5d s\n' "total" $((SECONDS - started))
  exit $rc
}
trap report EXIT

begin "set-up"
bash scripts/setup.sh
export WEMLOX_DEPS=/var/cache/wemlox-deps/current
end

begin "native build"
cmake --preset native >/dev/null
cmake --build --preset native
end

begin "native tests"
ctest --preset native -j "$jobs"
end

# One Wine prefix, prepared while the Windows build runs; each test copies it.
template=$(mktemp -d /tmp/wemlox-wine-template.XXXXXX)
WINEPREFIX=$template bash scripts/sandbox.sh true >/dev/null 2>&1 &
prefix_job=$!

begin "windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows
end

begin "windows tests (${windows_jobs} at a time)"
wait "$prefix_job" || { echo "test: the Wine prefix could not be prepared" >&2; exit 1; }
WEMLOX_WINE_TEMPLATE=$template ctest --preset windows -j "$windows_jobs" "$@"
end
