#!/usr/bin/env bash
# Installs the Debian packages that building needs (with "package", making the
# release files too; with "test", testing), and only when something is missing.
# Uses sudo when not run as root. With --list first, only prints the packages
# one a line (scripts/check-test-programs.py reads them).
set -euo pipefail
list_only=false
if [[ ${1:-} == --list ]]; then list_only=true; shift; fi

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libxcb-shape0-dev
                fonts-dejavu-core fonts-liberation)
test_packages=(libgtest-dev libgmock-dev googletest libbenchmark-dev libpixman-1-dev
               clang libclang-rt-dev
               xvfb openbox twm xfwm4 mutter kwin-x11 kwin-style-breeze
               x11-xserver-utils x11-utils xdotool imagemagick faketime
               dbus-x11 at-spi2-core python3 python3-pyatspi python3-xlib python3-pil
               weston qt6-wayland
               mingw-w64 g++-mingw-w64-x86-64-posix wine wine64)

# Installed without their Recommends: KWin's recommend most of Plasma, which
# would nearly double what the test command downloads.
lean_packages=(kwin-x11 kwin-style-breeze)

# Making the release files (scripts/package.sh), and checking them.
package_packages=(dpkg-dev zip mingw-w64 g++-mingw-w64-x86-64-posix)
package_test_packages=(lintian desktop-file-utils appstream)

packages=("${build_packages[@]}")
case "${1:-}" in
  "") ;;
  package) packages+=("${package_packages[@]}") ;;
  test) packages+=("${test_packages[@]}" "${package_packages[@]}" "${package_test_packages[@]}") ;;
  *) echo "install-deps.sh: unknown argument '$1' (expected [--list] and nothing, package or test)" >&2; exit 2 ;;
esac
if $list_only; then printf '%s\n' "${packages[@]}"; exit 0; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
lean=() full=()
for p in "${missing[@]}"; do
  if [[ " ${lean_packages[*]} " == *" $p "* ]]; then lean+=("$p"); else full+=("$p"); fi
done
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
export DEBIAN_FRONTEND=noninteractive
if [[ ${#full[@]} -gt 0 ]]; then "${sudo[@]}" apt-get install -y -qq "${full[@]}"; fi
if [[ ${#lean[@]} -gt 0 ]]; then "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${lean[@]}"; fi
