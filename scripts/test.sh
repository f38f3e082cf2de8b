#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the unit and Qt
# tests and the end-to-end tests under Xvfb; the unit and Qt tests again under
# ASan+UBSan; a short fuzzing run; the Windows build under Wine; then the
# release files (scripts/package.sh) and their packaging test. The builds are
# the presets of CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
scripts/install-deps.sh test
# Every program the tests start must come from what the line above installs.
"$python" scripts/check-test-programs.py

echo "== Build and test (RelWithDebInfo, with benchmarks)"
cmake --preset test >/dev/null
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" --label-exclude e2e

echo "== Fuzzing the region data decoder and loader"
scripts/fuzz.sh 30

echo "== Windows build under Wine"
scripts/test-windows.sh

echo "== Release files: the Debian package and the Windows zip"
scripts/package.sh
"$python" tests/packaging/test_package.py
