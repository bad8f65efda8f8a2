#!/usr/bin/env bash
# Tessary.exe run from a folder others can write to (Downloads) loads no DLL planted beside it. A
# dwmapi.dll left in its folder (tests/e2e/plant: it leaves a marker file when loaded) is loaded by
# an ordinary program started from that folder, so the plant works; Tessary.exe, started from the
# same folder, loads System32's dwmapi.dll when it first needs it (delay-loaded, long after start),
# never the plant, and still moves windows and ends cleanly. Wine loads version.dll for its own
# DLLs before any program code runs and always its own, so only dwmapi.dll can show the difference
# here.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin dll_plant --exe --tools testwin,loadbyname
[ -f "$LAB_TOOLS/planted.dll" ] || { e2e_fail "test tools built" "planted.dll missing"; e2e_finish; }
exe="$E2E_EXE"
dir="$(dirname "$exe")"
win_dir="Z:${dir//\//\\}"
cp "$LAB_TOOLS/planted.dll" "$dir/dwmapi.dll"
cp "${E2E_TOOL[loadbyname]}" "$dir/loadbyname.exe"
marker="$dir/dwmapi.dll.loaded"
# Who loaded the plant, from its marker (UTF-16).
loaded_by() { iconv -f UTF-16LE -t UTF-8 "$marker" 2>/dev/null || echo "(unreadable marker)"; }

# The control: without a restricted search the program's own folder comes first.
e2e_eq "an ordinary program in the folder loads the planted dwmapi.dll" "dwmapi.dll $win_dir\\dwmapi.dll" \
  "$(lab_run 30 "$dir/loadbyname.exe" dwmapi.dll | tr -d '\r')"
[ -f "$marker" ] && e2e_pass "the plant, once loaded, leaves its marker ($(loaded_by))" ||
  e2e_fail "the plant, once loaded, leaves its marker" "no $marker"
rm -f "$marker"

# Tessary.exe looks at the windows (the taskbar test asks DWM) once one is open.
win_open w1 480 270 960 540 normal || e2e_fail "test window opens" "no ready line"
log="$E2E_OUT/tessary.txt"
WINEDEBUG=+loaddll lab_run "$(e2e_life 300)" "$exe" >"$log" 2>&1 &
TESSARY_PID=$!
E2E_PIDS+=("$TESSARY_PID")
e2e_wait_until -i 0.2 30 instance_up_or_ended "$TESSARY_PID"
if [ "$(instance_count)" != 1 ]; then
  e2e_fail "Tessary.exe starts beside the plant" "no instance window within 20 s: $(grep -m3 -iE 'unhandled|dwmapi' "$log")"
  e2e_finish
fi
e2e_pass "Tessary.exe starts beside the plant"
win_front w1
tessary_mf "$exe" -mf right
e2e_eq "it moves the window in front to the other monitor" "2400 270 3360 810, exit 0" "$(win_settled w1), exit $MF_RC"
# Wine's trace of every module loaded: 'Loaded L"C:\\windows\\system32\\dwmapi.dll" at ...'.
dwm_path() { sed -nE 's/.*Loaded L"([^"]*\\dwmapi\.dll)" at .*/\1/Ip' "$log" | sed 's/\\\\/\\/g' | tr 'A-Z' 'a-z' | sort -u; }
e2e_wait_for "$log" 'Loaded L"[^"]*dwmapi\.dll"' 30
e2e_eq "it loads dwmapi.dll from System32" 'c:\windows\system32\dwmapi.dll' "$(dwm_path)"
[ ! -e "$marker" ] && e2e_pass "it does not load the planted dwmapi.dll" ||
  e2e_fail "it does not load the planted dwmapi.dll" "the plant was loaded by $(loaded_by)"

tessary_stop && e2e_pass "it ends cleanly when its instance window closes" ||
  e2e_fail "it ends cleanly when its instance window closes" "had to be killed"
if grep -qiE 'unhandled|page fault|backtrace' "$log"; then
  e2e_fail "it runs without a crash report" "$(grep -m3 -iE 'unhandled|page fault|backtrace' "$log")"
else
  e2e_pass "it runs without a crash report"
fi
win_close w1
e2e_finish
