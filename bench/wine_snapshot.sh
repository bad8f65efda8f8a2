#!/usr/bin/env bash
# The Monitor Watcher's snapshot under Wine: 50 real program windows (each its own process) on two
# monitors, the snapshot against a minimal walk over the same windows reading their rectangles.
# Prints both medians and their ratio. Not a test: figures depend on the machine.
#
#   bash bench/wine_snapshot.sh [WINDOWS] [RUNS]    (default 50 and 200; LAB_TOOLS = cross build)
set -uo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
WINDOWS="${1:-50}"
RUNS="${2:-200}"
: "${LAB_TOOLS:=$REPO/build/win}"
. "$REPO/tests/e2e/lib/check.sh"
. "$REPO/tests/e2e/lib/windows.sh"
bench="$(lab_tool snapshot_bench)" || exit 1
lab_attach_or_up two || { echo "lab did not start" >&2; exit 1; }
trap 'e2e_cleanup; lab_down' EXIT
e2e_tools || exit 1
E2E_OUT="$LAB_ROOT/bench-snapshot"
mkdir -p "$E2E_OUT"

for i in $(seq 1 "$WINDOWS"); do
  x=$(( (i % 2) * 1920 + (i * 23) % 900 )); y=$(( (i * 17) % 500 ))
  win_open "snap$i" "$x" "$y" 800 500 normal || { echo "window $i did not open" >&2; exit 1; }
done
lab_run 300 "$bench" "$RUNS" | tr -d '\r'
