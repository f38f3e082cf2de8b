#!/usr/bin/env bash
# Cross-builds the program and its tests, then runs them under Wine in a
# throw-away Wine prefix, with a private Xvfb for the tests that need windows.
# The version probe and the end-to-end test check the Release program that
# scripts/build-windows.sh makes, the one users get; the unit tests run in a
# build of their own.
# Usage: scripts/test-windows.sh [build-folder]        (default: build-win-tests)
# TW_BUILD_TYPE picks the tests' build type (default Debug, which checks invariants).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-win-tests}
shipped=$root/build-win
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

"$root/scripts/build-windows.sh" "$shipped"
cmake -S "$root" -B "$build" "${generator[@]}" \
  -DTW_PLATFORM=win32 \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE="${TW_BUILD_TYPE:-Debug}" \
  -DTW_BUILD_TESTS=ON \
  -DTW_TESTED_PROGRAM="$shipped/tallowind.exe"
cmake --build "$build" -j2

started=$(date +%s)
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tw-wine.XXXXXX")
xvfb_pid=
cleanup() {
  # Only what this script started: its own prefix's wineserver and its Xvfb.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$prefix"
}
trap cleanup EXIT

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# Wine gives Windows file names their Unix names in the locale's character
# set; without a UTF-8 locale (a bare machine, a cron job) a name such as
# "Grüße €" has none, and the file tests would fail for the machine's sake.
export LC_ALL=C.UTF-8
# No Mono or Gecko: nothing here needs them, and asking for them stalls wineboot.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset WAYLAND_DISPLAY
wineboot -i >/dev/null 2>&1
wineserver -w

if command -v Xvfb >/dev/null; then
  display=90
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
  done
  export DISPLAY=":$display"
else
  echo "no Xvfb: the tests that need windows will skip" >&2
  unset DISPLAY
fi

status=0
ctest --test-dir "$build" --output-on-failure --timeout 300 || status=$?
echo "Wine part took $(( $(date +%s) - started )) s"
exit $status
