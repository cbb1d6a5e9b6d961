#!/usr/bin/env bash
# Runs a Windows test executable under Wine; only inside scripts/sandbox.sh,
# where no packet can leave the machine.
if [ "${WEMLOX_SANDBOX:-}" != "1" ]; then
  echo "wine-run: refusing to start outside the sandbox (use scripts/sandbox.sh)" >&2
  exit 2
fi
exec wine "$@"
