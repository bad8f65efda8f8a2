# End-to-end checks: each check prints one "PASS: name" or "FAIL: name: why" line (the test runner
# counts them); e2e_finish exits non-zero when any failed.
E2E_FAILED=0
E2E_REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
. "$E2E_REPO/scripts/lab/lib.sh"

e2e_pass() { echo "PASS: $1"; }
e2e_fail() { echo "FAIL: $1: $2"; E2E_FAILED=1; }

# e2e_eq NAME EXPECTED ACTUAL
e2e_eq() {
  if [ "$2" = "$3" ]; then e2e_pass "$1"; else
    e2e_fail "$1" "expected [$(echo "$2" | paste -sd'|')] got [$(echo "$3" | paste -sd'|')]"
  fi
}

# e2e_wait_until [-i STEP] SECS CMD...: runs CMD every STEP seconds (default 0.1) until it succeeds
# (returns 0) or SECS seconds have passed (returns 1).
e2e_wait_until() {
  local step=0.1 end
  if [ "$1" = -i ]; then step="$2"; shift 2; fi
  end=$(($(date +%s%N) + $(awk -v s="$1" 'BEGIN { printf "%d", s * 1000000000 }')))
  shift
  while :; do
    "$@" && return 0
    [ "$(date +%s%N)" -lt "$end" ] || break
    sleep "$step"
  done
  return 1
}

# Waits up to SECS for a line matching REGEX in FILE.
e2e_wait_for() { e2e_wait_until "$3" grep -qE "$2" "$1" 2>/dev/null; }

e2e_finish() { exit "$E2E_FAILED"; }
