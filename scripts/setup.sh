#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing), then configures and
# builds into ./build. Safe to run again: it does only what is left to do.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev
          libgtest-dev dbus xvfb xauth python3-gi)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The build folder is build/ unless VKM_BUILD_DIR names another; arguments go to the configure.
build_dir="${VKM_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
