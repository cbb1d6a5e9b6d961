#!/usr/bin/env bash
# A day of shooting compressed into minutes (tests/soak/soak_main.cpp): the
# real Wemlox.exe under Wine against the card simulator, inside the sandbox
# (private network namespace, virtual display). Not part of CI; the test
# command runs a short day of 100 pictures (one counter wrap, one restart,
# two cards).
#
# The long day brings what a real one does: the card formatted and the
# camera's counter wrapping (names come again with other pictures), Wemlox
# ended in the middle of a burst and started again twice (as a user ends it,
# and killed as by a computer that restarts), the store unwritable for a
# minute, and the card back from a sleep at another address of its range.
#
# With --two-cards a second card in a second camera shoots now and then
# between the first one's bursts and sleeps and wakes meanwhile; its names
# repeat the first card's (and, with --inbox, the inbox's), and the tally
# also checks that the journal puts each picture down to its source.
#
# Usage: scripts/soak.sh [--pictures N] [--seed S] [other options of soak.exe]
# Without options: the long run, 1,000 pictures with a fresh seed (printed,
# so a run can be repeated with --seed). The journals of every start, the
# card's requests and the viewer's starts land in build/soak/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
export WEMLOX_DEPS=/var/cache/wemlox-deps/current
cmake --preset windows >/dev/null
cmake --build --preset windows --target soak Wemlox card_simulator standin_viewer >/dev/null
out=build/soak
rm -rf "$out"
mkdir -p "$out"
# Options given later win, so the caller's --pictures replaces the default.
exec bash scripts/sandbox.sh scripts/wine-run.sh build/windows/soak.exe --pictures 1000 "$@" \
  --out "Z:$(realpath "$out" | tr / '\\')"
