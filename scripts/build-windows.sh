#!/usr/bin/env bash
# Cross-builds the 64-bit Windows program, build-win/tallowind.exe, with
# MinGW-w64 (the "windows" preset of CMakePresets.json).
# Usage: scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

cmake --preset windows >/dev/null
cmake --build build-win --target tallowind -j "$jobs"

exe=build-win/tallowind.exe
echo "$exe ($(stat -c %s "$exe") bytes)"
x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: /  needs /p'
