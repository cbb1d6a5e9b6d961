#!/usr/bin/env bash
# Runs the benchmarks and prints their figures: the native ones (Google
# Benchmark) and the Windows ones under Wine in the sandbox.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
export WEMLOX_DEPS=/var/cache/wemlox-deps/current
cmake --preset native >/dev/null
cmake --build --preset native --target wemlox_benchmarks card_simulator >/dev/null
build/native/wemlox_benchmarks --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
cmake --preset windows >/dev/null
cmake --build --preset windows --target journal_bench startup_bench transfer_bench shot_bench latency_bench pickup_bench backup_bench >/dev/null
bash scripts/sandbox.sh bash -c 'wine build/windows/journal_bench.exe; wine build/windows/startup_bench.exe
  wine build/windows/transfer_bench.exe
  bash tests/bench/curl_reference.sh build/native build/windows
  wine build/windows/shot_bench.exe
  wine build/windows/latency_bench.exe
  wine build/windows/pickup_bench.exe
  wine build/windows/backup_bench.exe'
