#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing) needs,
# and only when something is missing. Uses sudo when not run as root.
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libxcb-shape0-dev
                fonts-dejavu-core fonts-liberation)
test_packages=(libgtest-dev libgmock-dev googletest libbenchmark-dev libpixman-1-dev
               clang libclang-rt-14-dev
               xvfb openbox x11-xserver-utils x11-utils xdotool imagemagick faketime
               dbus-x11 at-spi2-core python3 python3-pyatspi python3-xlib python3-pil
               weston qt6-wayland
               mingw-w64 g++-mingw-w64-x86-64-posix wine wine64)

packages=("${build_packages[@]}")
if [[ "${1:-}" == "test" ]]; then packages+=("${test_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
