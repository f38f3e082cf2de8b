#!/usr/bin/env bash
# Cross-builds the program and its tests, then runs them under Wine, in a
# throw-away Wine prefix (tests/support/wine_prefix.py) with a private Xvfb
# (tests/support/xvfb.py) for the tests that need windows. The version probe
# and the end-to-end test check the Release program that
# scripts/build-windows.sh makes, the one users get; the unit tests run in a
# debug build of their own (the "windows-tests" preset), which checks
# invariants.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

scripts/build-windows.sh
cmake --preset windows-tests >/dev/null
cmake --build build-win-tests -j "$jobs"

started=$(date +%s)
status=0
"$python" tests/support/wine_prefix.py "$python" tests/support/xvfb.py \
  ctest --test-dir build-win-tests --output-on-failure --timeout 300 || status=$?
echo "Wine part took $(( $(date +%s) - started )) s"
exit $status
