#!/usr/bin/env bash
# Tessary.exe starts under Wine on the two-monitor display, keeps running as the one instance, and
# ends cleanly when its instance window is closed.
set -uo pipefail
. "$(dirname "$0")/lib/check.sh"
. "$(dirname "$0")/lib/windows.sh"
lab_attach_or_up two || { e2e_fail "lab starts" "could not start the Wine lab"; e2e_finish; }
e2e_tools || { e2e_fail "test tools built" "testwin/dlgtext missing"; e2e_finish; }
exe=$(e2e_private_exe exe_starts) || { e2e_fail "Tessary.exe exists" "not built"; e2e_finish; }

out="$LAB_ROOT/exe_starts.txt"
lab_run 60 "$exe" >"$out" 2>&1 &
pid=$!
up=0
for _ in $(seq 1 100); do
  [ "$(instance_count)" = 1 ] && { up=1; break; }
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ "$up" = 1 ] && e2e_pass "Tessary.exe runs with one instance window" ||
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
