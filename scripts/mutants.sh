#!/usr/bin/env bash
# A mutation pass over the product's guards, to run before a release (not in
# CI): installs what the tests need, then scripts/mutants.py, which says what
# it does and takes the same arguments.
# Usage: scripts/mutants.sh [text]     (only mutations whose name holds text)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" test
. "$root/scripts/common.sh"
exec "$python" "$root/scripts/mutants.py" "$@"
