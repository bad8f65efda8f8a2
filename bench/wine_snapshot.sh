#!/usr/bin/env bash
# The Monitor Watcher's snapshot under Wine: real program windows (each its own process) on two
# monitors, the snapshot against a minimal walk over the same windows reading their rectangles, at
# each window count in turn (windows are added between the counts). snapshot_bench.exe measures the
# walk's runs, then the snapshot's: a change of the machine's load between the two would make the
# ratio, so it runs ROUNDS times with RUNS runs each and the medians of the rounds count. Prints
# the medians, their ratio and the cost per window for each count, and what each call costs (the
# last round at the largest count). Not a test: figures depend on the machine.
#
#   bash bench/wine_snapshot.sh [COUNTS] [RUNS] [ROUNDS]
#        (default "10 50 200", 20 and 7; LAB_TOOLS = cross build)
set -uo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
COUNTS="${1:-10 50 200}"
RUNS="${2:-20}"
ROUNDS="${3:-7}"
: "${LAB_TOOLS:=$REPO/build/win}"
# Opening 200 windows takes minutes: they must outlive it and the runs.
export E2E_LIFE_SECS="${E2E_LIFE_SECS:-1200}"
. "$REPO/tests/e2e/lib/harness.sh"
bench="$(lab_tool snapshot_bench)" || exit 1
# Xvfb admits 256 clients by default and a Wine program with a window holds two: window 127 would
# not open. A lab of its own, with room for a thousand.
Xvfb() { exec Xvfb "$@" -maxclients 1024; }
unset LAB_ROOT
lab_up two || { echo "lab did not start" >&2; exit 1; }
trap 'e2e_cleanup; lab_down' EXIT
e2e_tools testwin,dlgtext || exit 1
E2E_OUT="$LAB_ROOT/bench-snapshot"
mkdir -p "$E2E_OUT"

open=0
summary=()
for count in $COUNTS; do
  while [ "$open" -lt "$count" ]; do
    open=$((open + 1))
    x=$(( (open % 2) * 1920 + (open * 23) % 900 )); y=$(( (open * 17) % 500 ))
    win_open "snap$open" "$x" "$y" 800 500 normal || { echo "window $open did not open" >&2; exit 1; }
  done
  : >"$E2E_OUT/rounds-$count.txt"
  for _ in $(seq 1 "$ROUNDS"); do
    out="$(lab_run 900 "$bench" "$RUNS" | tr -d '\r')"
    awk '/^windows walked/ { walked = $3; snapped = $7 } /^median us:/ { gsub(/,/, ""); snap = $4; bare = $7 }
      END { print snap, bare, (bare > 0 ? snap / bare : 0), walked, snapped }' <<<"$out" >>"$E2E_OUT/rounds-$count.txt"
  done
  echo "== $count windows, rounds (snapshot us, bare walk us, ratio, walked, in the snapshot)"
  cat "$E2E_OUT/rounds-$count.txt"
  summary+=("$(awk -v n="$count" '
    function median(a, k,   i, j, t) { for (i = 2; i <= k; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2 }
    { s[NR] = $1 + 0; b[NR] = $2 + 0; r[NR] = $3 + 0; walked = $4; snapped = $5 }
    END { ms = median(s, NR); mb = median(b, NR); mr = median(r, NR)
      printf "%4d windows (walked %d, in the snapshot %d): snapshot %8.0f us, bare walk %8.0f us, ratio %.2f; per window %.0f against %.0f us\n",
        n, walked, snapped, ms, mb, mr, ms / n, mb / n }' "$E2E_OUT/rounds-$count.txt")")
done
echo "== what each call costs, the last round at $count windows"
grep -E '^  ' <<<"$out"
echo "== summary (medians of $ROUNDS rounds of $RUNS runs; the ratio is the median of the rounds' ratios)"
printf '%s\n' "${summary[@]}"
