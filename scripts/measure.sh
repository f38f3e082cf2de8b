#!/usr/bin/env bash
# Measures the Linux program's start-up, idle CPU and memory: see
# scripts/measure.py, which takes the same arguments.
# Usage: scripts/measure.sh [--scale S] [path-to-tallowind] [idle-seconds (default 60)]
. "$(dirname "$0")/common.sh"
exec "$python" "$(dirname "$0")/measure.py" "$@"
