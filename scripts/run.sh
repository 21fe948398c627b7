#!/usr/bin/env bash
# Sets up, builds and starts vkm. Without VKM_COM1 in the environment it starts the
# controller simulator first and points port 1 at it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

if [ -z "${VKM_COM1:-}" ]; then
  coproc SIM { exec build/tests/support/vkm-simulator; }
  trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
  read -r device <&"${SIM[0]}"
  export VKM_COM1="$device"
  echo "No controller given (VKM_COM1): using the simulator on $VKM_COM1"
fi
build/src/app/vkm "$@"
