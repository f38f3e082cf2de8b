#!/usr/bin/env bash
# Installs what is missing, builds the gadget and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build build/release
exec build/release/tallowind
