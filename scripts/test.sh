#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: headless widgets, a private session bus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
exec dbus-run-session -- ctest --test-dir build -j"$(nproc)" --output-on-failure "$@"
