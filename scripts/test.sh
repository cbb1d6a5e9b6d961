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
windows_jobs=${WEMLOX_TEST_JOBS:-$((jobs * 4))}

times=()
current=""
started=$SECONDS
stage_start=$SECONDS
begin() { current=$1; stage_start=$SECONDS; echo "== $1"; }
end() { times+=("$(printf '  %-34s %5d s' "$current" $((SECONDS - stage_start)))"); current=""; }
template=""
running_soak=""
report() {
  local rc=$?
  # A failed build leaves the short day running in its sandbox: it ends first.
  [ -z "$running_soak" ] || wait "$running_soak" || true
  [ -z "$current" ] || times+=("$(printf '  %-34s %5d s  (failed)' "$current" $((SECONDS - stage_start)))")
  [ -z "$template" ] || rm -rf "$template"
  echo "== stage times"
  printf '%s\n' "${times[@]}"
  printf '  %-34s %5d s\n' "total" $((SECONDS - started))
  exit $rc
}
trap report EXIT

begin "set-up for the native build"
bash scripts/setup.sh native
end

# What the Windows build needs (packages, libjpeg-turbo and libcurl) is
# prepared during the native build: downloads and configure checks leave a
# core free. The fuzz targets then run with the machine to themselves.
windows_setup_log=$(mktemp /tmp/wemlox-setup.XXXXXX)
windows_setup_time=$windows_setup_log.time
( start=$SECONDS; bash scripts/setup.sh windows; echo $((SECONDS - start)) >"$windows_setup_time" ) \
  >"$windows_setup_log" 2>&1 &
windows_setup_job=$!
export WEMLOX_DEPS=${WEMLOX_DEPS_ROOT:-/var/cache/wemlox-deps}/current

begin "native build"
cmake --preset native >/dev/null
cmake --build --preset native
end

begin "set-up for the Windows build (rest)"
windows_setup_ok=1
wait "$windows_setup_job" || windows_setup_ok=0
cat "$windows_setup_log"
times+=("$(printf '  %-34s %5s s' "(set-up for Windows, all of it)" "$(cat "$windows_setup_time" 2>/dev/null || echo '?')")")
rm -f "$windows_setup_log" "$windows_setup_time"
[ $windows_setup_ok = 1 ] || exit 1
end

begin "native tests"
ctest --preset native -j "$jobs"
end

# One Wine prefix, prepared while the Windows build runs; each test copies it.
template=$(mktemp -d /tmp/wemlox-wine-template.XXXXXX)
WINEPREFIX=$template bash scripts/sandbox.sh true >/dev/null 2>&1 &
prefix_job=$!
prefix_ready=0
wait_prefix() {
  [ $prefix_ready = 0 ] || return 0
  wait "$prefix_job" || { echo "test: the Wine prefix could not be prepared" >&2; exit 1; }
  prefix_ready=1
}

# The short day of shooting is the longest Windows test and mostly waits on
# its pace: it starts as soon as its programs are built, in a sandbox of its
# own, while the rest builds. (Not when arguments pick the tests.)
early=()
soak_job=""
if [ $# -eq 0 ]; then
  begin "windows build (what the short day needs)"
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target soak
  end
  wait_prefix
  soak_log=build/windows/soak-test.log
  WEMLOX_WINE_TEMPLATE=$template ctest --preset windows -R '^soak$' >"$soak_log" 2>&1 &
  soak_job=$!
  soak_start=$SECONDS
  running_soak=$soak_job
  early=(-E '^soak$')
fi

begin "windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows
end

begin "windows tests (${windows_jobs} at a time)"
wait_prefix
windows_ok=1
WEMLOX_WINE_TEMPLATE=$template ctest --preset windows -j "$windows_jobs" "${early[@]}" "$@" || windows_ok=0
if [ -n "$soak_job" ]; then
  soak_ok=1
  wait "$soak_job" || soak_ok=0
  running_soak=""
  times+=("$(printf '  %-34s %5d s' "(short day, beside the build)" $((SECONDS - soak_start)))")
  cat "$soak_log"
  [ $soak_ok = 1 ] || windows_ok=0
fi
[ $windows_ok = 1 ]
end
