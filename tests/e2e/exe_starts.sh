#!/usr/bin/env bash
# Tessary.exe starts under Wine on the two-monitor display, keeps running as the one instance, and
# ends cleanly when its instance window is closed.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin exe_starts --exe --tools testwin
exe="$E2E_EXE"

out="$E2E_OUT/exe_starts.txt"
lab_run 60 "$exe" >"$out" 2>&1 &
pid=$!
e2e_wait_until -i 0.2 30 instance_up_or_ended "$pid"
[ "$(instance_count)" = 1 ] && e2e_pass "Tessary.exe runs with one instance window" ||
  e2e_fail "Tessary.exe runs with one instance window" "no instance window appeared"

tw --close-class "$INSTANCE_CLASS" >/dev/null
t0=$SECONDS
wait "$pid"
rc=$?
e2e_eq "Tessary.exe ends with code 0 when its instance window closes (took $((SECONDS - t0)) s)" 0 "$rc"
# Wine reports unhandled exceptions and crashes on the console even with WINEDEBUG=-all.
if grep -qiE 'unhandled|page fault|backtrace' "$out"; then
  e2e_fail "Tessary.exe runs without a crash report" "$(head -c 400 "$out")"
else
  e2e_pass "Tessary.exe runs without a crash report"
fi
e2e_finish
