#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (build/fuzz) and runs each, one after the
# other, for the given seconds (default 60) on a working copy of its seed corpus
# (build/fuzz/corpus/<target>; the seeds in tests/fuzz/corpus never grow by themselves).
# Prints "PASS: fuzz/<target> ..." with the executions run, or "FAIL: ..." for a crash, a broken
# property or a failed build; a crashing input is kept under build/fuzz/crashes/.
# Exits non-zero when anything failed.
#   scripts/fuzz.sh [seconds] [target...]
set -uo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_PER_TARGET="${1:-60}"
shift || true
DIR="$REPO/build/fuzz"
CRASHES="$DIR/crashes"
LOGS="$DIR/logs"

case "$SECONDS_PER_TARGET" in
  '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [seconds] [target...]" >&2; exit 2 ;;
esac

if ! command -v clang++ >/dev/null; then
  echo "FAIL: fuzz build: clang++ is not installed (scripts/setup.sh installs it)"
  exit 1
fi

mkdir -p "$LOGS" "$CRASHES"
if ! { nice cmake -S "$REPO" -B "$DIR" -DTESSARY_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ &&
       nice cmake --build "$DIR" -j2 --target fuzz_targets; } >"$LOGS/build.log" 2>&1; then
  echo "FAIL: fuzz build failed; log $LOGS/build.log"
  grep -E 'error' "$LOGS/build.log" | head -20 | sed 's/^/   | /'
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$REPO"/tests/fuzz/*.cpp; do
    targets+=("$(basename "$src" .cpp)")
  done
fi

failed=0
for t in "${targets[@]}"; do
  bin="$DIR/fuzz_$t"
  if [ ! -x "$bin" ]; then
    echo "FAIL: fuzz/$t was not built"
    failed=1
    continue
  fi
  work="$DIR/corpus/$t"
  mkdir -p "$work"
  [ -d "$REPO/tests/fuzz/corpus/$t" ] && cp -n "$REPO/tests/fuzz/corpus/$t"/* "$work"/ 2>/dev/null
  log="$LOGS/$t.log"
  # One input running for seconds is a fault too (-timeout); the run ends at the first failure.
  nice "$bin" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$CRASHES/$t-" "$work" >"$log" 2>&1 </dev/null
  rc=$?
  execs="$(sed -n 's/^stat::number_of_executed_units: *\([0-9][0-9]*\).*/\1/p' "$log" | tail -1)"
  corpus="$(find "$work" -type f | wc -l)"
  if [ "$rc" -eq 0 ] && [ -n "$execs" ]; then
    echo "PASS: fuzz/$t: $execs executions in ${SECONDS_PER_TARGET}s, corpus $corpus inputs"
  else
    failed=1
    artifact="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)"
    echo "FAIL: fuzz/$t (exit $rc, ${execs:-no} executions): input ${artifact:-not saved}; log $log"
    grep -E 'property failed|ERROR: |SUMMARY: |runtime error' "$log" | head -6 | sed 's/^/   | /'
    grep -A2 'property failed' "$log" | tail -2 | cut -c1-300 | sed 's/^/   | /'
  fi
done
exit "$failed"
