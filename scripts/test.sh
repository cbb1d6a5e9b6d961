#!/usr/bin/env bash
# Builds both presets and runs every test: the native unit tests (with
# sanitizers), then the Windows unit and system tests under Wine on a
# virtual display inside a private network namespace.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
export WEMLOX_DEPS=/var/cache/wemlox-deps/current

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

echo "== windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows

echo "== windows tests under Wine (private network namespace, virtual display)"
bash scripts/sandbox.sh ctest --preset windows "$@"
