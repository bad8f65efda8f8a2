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

# Waits up to SECS for a line matching REGEX in FILE.
e2e_wait_for() {
  local file="$1" regex="$2" secs="$3" i
  for i in $(seq 1 $((secs * 10))); do
    grep -qE "$regex" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

e2e_finish() { exit "$E2E_FAILED"; }
