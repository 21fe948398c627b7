#!/usr/bin/env bash
# Sets up, builds and starts vkm with its main window. Without VKM_COM1 in the environment
# it starts the controller simulator first and points port 1 at it. Without a session bus
# it runs on a private one (other programs then reach vkm only inside it).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${VKM_RUN_SETUP_DONE:-}" ]; then
  scripts/setup.sh
  export VKM_RUN_SETUP_DONE=1
fi

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session --config-file=build/dbus-session.conf -- "$0" "$@"
fi

if [ -z "${VKM_COM1:-}" ]; then
  coproc SIM { exec build/tests/support/vkm-simulator; }
  sim_pid=$SIM_PID
  trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
  read -r device <&"${SIM[0]}"
  export VKM_COM1="$device"
  echo "No controller given (VKM_COM1): using the simulator on $VKM_COM1"
fi
echo "Clients reach vkm with DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS'"

build/src/app/vkm "$@" &
vkm_pid=$!
# The program shows nothing by itself; ask it for the main window as a client would.
build/tests/support/vkm-show-main || echo "Could not open the main window." >&2
wait "$vkm_pid"
