#!/usr/bin/env bash
# Builds the RGNDATA fuzzer with clang's libFuzzer (the "fuzz" preset of
# CMakePresets.json) and runs it for a while.
# Usage: scripts/fuzz.sh [seconds]   (default 30)
# TW_FUZZ_BUILD_DIR chooses another build folder, CXX_FUZZ another clang++;
# extra libFuzzer flags can be passed in TW_FUZZ_FLAGS. Findings (crash-*,
# leak-*, timeout-*) are written to the build folder.
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TW_FUZZ_BUILD_DIR:-$root/build/fuzz}"
cxx="${CXX_FUZZ:-clang++}"
if ! command -v "$cxx" >/dev/null; then
  echo "fuzz.sh: $cxx not found (needs clang and libclang-rt-dev for libFuzzer)" >&2
  exit 2
fi

echo "fuzz.sh: building tallowind_rgndata_fuzz in $build with $cxx"
# A debug build optimised a little: libFuzzer gets through more inputs, and
# the sanitizer build checks the region invariant after every change.
(cd "$root" && cmake --preset fuzz -B "$build" --log-level=WARNING -DCMAKE_CXX_COMPILER="$cxx" >/dev/null)
cmake --build "$build" -j "$(nproc)" --target tallowind_rgndata_fuzz

# libFuzzer adds what it finds to the first corpus folder: work on a copy so
# the committed seeds stay as they are.
corpus="$(mktemp -d "${TMPDIR:-/tmp}/tw-fuzz-corpus-XXXXXX")"
trap 'rm -rf "$corpus"' EXIT
cp "$root"/tests/fuzz/corpus/* "$corpus"/

cd "$build"
# shellcheck disable=SC2086
./tests/fuzz/tallowind_rgndata_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=8192 \
  ${TW_FUZZ_FLAGS:-} "$corpus"
