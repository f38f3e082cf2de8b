#!/usr/bin/env bash
# Installs the Debian packages that building needs (with "package", making the
# release files too; with "test", testing), and only when something is missing.
# Works on Debian 12 and 13: every name below exists on both, except the
# optional ones, which are installed where the release offers them. Uses sudo
# when not run as root. With --list first, only prints the packages one a
# line, the optional ones where offered (scripts/check-test-programs.py reads
# them).
set -euo pipefail
list_only=false
if [[ ${1:-} == --list ]]; then list_only=true; shift; fi

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libxcb-shape0-dev
                fonts-dejavu-core fonts-liberation)
test_packages=(libgtest-dev libgmock-dev googletest libbenchmark-dev libpixman-1-dev
               clang libclang-rt-dev
               xvfb openbox twm xfwm4 mutter kwin-x11 kwin-style-breeze
               i3-wm awesome fluxbox icewm jwm fvwm wmaker bspwm dwm xmonad herbstluftwm spectrwm
               marco mate-settings-daemon-common picom
               x11-xserver-utils x11-utils xdotool imagemagick faketime
               dbus-x11 at-spi2-core python3 python3-pyatspi python3-xlib python3-pil
               weston qt6-wayland
               mingw-w64 g++-mingw-w64-x86-64-posix wine wine64)

# Installed without their Recommends: KWin's recommend most of Plasma, which
# would nearly double what the test command downloads; the light managers'
# bring status bars, launchers, terminals and (xmonad's) the Haskell
# libraries with their compiler, none of which the tests start or want
# running beside the manager.
lean_packages=(kwin-x11 kwin-style-breeze kglobalacceld
               i3-wm awesome fluxbox jwm fvwm bspwm dwm xmonad herbstluftwm spectrwm)

# Only some releases have these: Plasma 6's shortcut daemon, which KWin 6
# (Debian 13) needs for Alt+F4 and cannot start itself; KWin 5 has its own.
optional_test_packages=(kglobalacceld)

# Making the release files (scripts/package.sh), and checking them.
package_packages=(dpkg-dev zip mingw-w64 g++-mingw-w64-x86-64-posix)
package_test_packages=(lintian desktop-file-utils appstream debootstrap)

packages=("${build_packages[@]}")
optional=()
case "${1:-}" in
  "") ;;
  package) packages+=("${package_packages[@]}") ;;
  test) packages+=("${test_packages[@]}" "${package_packages[@]}" "${package_test_packages[@]}")
        optional=("${optional_test_packages[@]}") ;;
  *) echo "install-deps.sh: unknown argument '$1' (expected [--list] and nothing, package or test)" >&2; exit 2 ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
offered() { [[ -n $(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: *//p' | grep -v '(none)') ]]; }
# The optional packages this release offers, by the package lists at hand.
add_offered() {
  for p in "${optional[@]}"; do
    if installed "$p" || offered "$p"; then
      [[ " ${packages[*]} " == *" $p "* ]] || packages+=("$p")
    fi
  done
}
add_offered
if $list_only; then printf '%s\n' "${packages[@]}"; exit 0; fi

missing() {
  missing=()
  for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
}
missing
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
"${sudo[@]}" apt-get update -qq
# A bare machine had no package lists before: what it offers shows now.
add_offered
missing
lean=() full=()
for p in "${missing[@]}"; do
  if [[ " ${lean_packages[*]} " == *" $p "* ]]; then lean+=("$p"); else full+=("$p"); fi
done
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [[ ${#full[@]} -gt 0 ]]; then "${sudo[@]}" apt-get install -y -qq "${full[@]}"; fi
if [[ ${#lean[@]} -gt 0 ]]; then "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${lean[@]}"; fi
