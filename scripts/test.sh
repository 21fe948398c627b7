#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: headless widgets, a private session bus that
# starts the automation server of this build by activation.
#
# `scripts/test.sh --sanitize` (or VKM_SANITIZE=1) runs it built with AddressSanitizer and
# UndefinedBehaviorSanitizer instead, in build-asan/. Other arguments go to CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  VKM_SANITIZE=1
fi
if [ -n "${VKM_SANITIZE:-}" ] && [ "${VKM_SANITIZE}" != 0 ]; then
  build_dir=build-asan
  cmake_args=(-DVKM_SANITIZE=ON)
  # Leak reports are off: Qt, fontconfig and D-Bus keep process-lifetime allocations, and the
  # program ends with _exit. Every other finding ends the test with a stack.
  export ASAN_OPTIONS="detect_leaks=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

VKM_BUILD_DIR="$build_dir" scripts/setup.sh "${cmake_args[@]}"
export QT_QPA_PLATFORM=offscreen
exec dbus-run-session --config-file="$build_dir/dbus-session.conf" -- \
  ctest --test-dir "$build_dir" -j"$(nproc)" --output-on-failure "$@"
