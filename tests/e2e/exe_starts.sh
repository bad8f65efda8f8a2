#!/usr/bin/env bash
# Tessary.exe starts under Wine on the two-monitor display and ends cleanly by itself.
set -uo pipefail
. "$(dirname "$0")/lib/check.sh"
exe="${TESSARY_EXE:-$LAB_TOOLS/Tessary.exe}"
[ -f "$exe" ] || { e2e_fail "Tessary.exe exists" "$exe not built"; e2e_finish; }
lab_attach_or_up two || { e2e_fail "lab starts" "could not start the Wine lab"; e2e_finish; }

out="$LAB_ROOT/exe_starts.txt"
t0=$SECONDS
lab_run 30 "$exe" >"$out" 2>&1
rc=$?
[ "$rc" -eq 124 ] && e2e_fail "Tessary.exe ends within 30 s" "still running after 30 s" ||
  e2e_eq "Tessary.exe exits with code 0 (ran $((SECONDS - t0)) s)" 0 "$rc"
# Wine reports unhandled exceptions and crashes on the console even with WINEDEBUG=-all.
if grep -qiE 'unhandled|page fault|backtrace' "$out"; then
  e2e_fail "Tessary.exe runs without a crash report" "$(head -c 400 "$out")"
else
  e2e_pass "Tessary.exe runs without a crash report"
fi
e2e_finish
