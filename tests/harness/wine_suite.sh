#!/usr/bin/env bash
# Runs the Windows test suite under Wine on the current X display, with the X pointer held by
# x11-hold-pointer for as long as it runs (see tests/harness/driver_win32.cpp for why).
# Usage (under xvfb-run): wine_suite.sh X11_HOLD_POINTER VORLA_TESTS_EXE [ARGS...]
set -euo pipefail
holder=$1
suite=$2
shift 2

exec {held}< <(exec "$holder")
holder_pid=$!
trap 'kill "$holder_pid" 2>/dev/null || true' EXIT
if ! read -r -t 10 -u "$held" answer || [ "$answer" != held ]; then
    echo "wine_suite.sh: could not hold the X pointer" >&2
    exit 1
fi

wine "$suite" "$@"
