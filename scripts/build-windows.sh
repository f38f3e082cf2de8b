#!/usr/bin/env bash
# Cross-builds the 64-bit Windows program, tallowind.exe, with MinGW-w64.
# Usage: scripts/build-windows.sh [build-folder]      (default: build-win)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-win}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

cmake -S "$root" -B "$build" "${generator[@]}" \
  -DTW_PLATFORM=win32 \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DTW_BUILD_TESTS=OFF
cmake --build "$build" --target tallowind -j2

exe="$build/tallowind.exe"
echo "$exe ($(stat -c %s "$exe") bytes)"
x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: /  needs /p'
