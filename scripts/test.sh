#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: headless widgets, a private session bus that
# starts the automation server of this build by activation.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
exec dbus-run-session --config-file=build/dbus-session.conf -- ctest --test-dir build -j"$(nproc)" --output-on-failure "$@"
