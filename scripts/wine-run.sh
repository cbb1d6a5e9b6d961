#!/usr/bin/env bash
# Runs a Windows test executable under Wine. Outside scripts/sandbox.sh it
# first enters one of its own, so that tests run side by side (ctest -j)
# each with their own network namespace, display and Wine prefix.
if [ "${WEMLOX_SANDBOX:-}" != "1" ]; then
  exec bash "$(dirname "$0")/sandbox.sh" wine "$@"
fi
exec wine "$@"
