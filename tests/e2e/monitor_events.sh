#!/usr/bin/env bash
# The display event window of the real Tessary.exe under Wine: a monitor device-interface arrival
# and removal sent the way Windows sends them (devchange.exe, from another process) and a monitor
# leaving and coming back (lab_hotplug) end up in the log, which the debug window's Save button
# writes to Debug.txt.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin monitor_events --exe --tools testwin,dlgtext,uiprobe,devchange
exe="$E2E_EXE"
NAME='\\?\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}'

devchange() { lab_run 30 "${E2E_TOOL[devchange]}" "$@" | tr -d '\r'; }

# Nobody to send to yet.
lab_run 30 "${E2E_TOOL[devchange]}" arrival >/dev/null 2>&1
e2e_eq "devchange without the program: no window found" "1" "$?"

# The watcher off: its restore cycles would show and hide the main window under the clicks below.
printf '[Main]\r\ncbWatcherOnStart=0\r\n' >"$(dirname "$exe")/Tessary.ini"
tessary_start "$exe" || { e2e_fail "Tessary.exe starts" "no instance window within 20 s"; e2e_finish; }
probe --wait "$MAIN" 20 >/dev/null || e2e_fail "the main window shows" "no visible $MAIN within 20 s"

out="$(devchange arrival "$NAME")"
rc=$?
echo "$out" >"$E2E_OUT/devchange-arrival.txt"
e2e_eq "arrival sent to the hidden window \"frmMonitorEvent\" (class Tessary.FrmMonitorEvent), answered TRUE" \
  "0 class=Tessary.FrmMonitorEvent size=$((28 + 2 * (${#NAME} + 1))) result=1" \
  "$rc $(grep -o 'class=[^ ]*' <<<"$out") $(grep -o 'size=[0-9]*' <<<"$out") $(grep -o '^result=.*' <<<"$out")"
out="$(devchange removal)"
rc=$?
echo "$out" >"$E2E_OUT/devchange-removal.txt"
e2e_eq "removal sent with the default name, answered TRUE" "0 DBT_DEVICEREMOVECOMPLETE result=1" \
  "$rc $(grep -o 'DBT_[A-Z]*' <<<"$out") $(grep -o '^result=.*' <<<"$out")"

# The second monitor goes away and comes back; the primary keeps its size.
lab_hotplug single >/dev/null 2>&1 || e2e_fail "hot-plug: one monitor" "lab_hotplug single failed"
# Each change shows only in the program's log, and saving it between them would end their fold.
sleep 0.5
lab_hotplug two >/dev/null 2>&1 || e2e_fail "hot-plug: two monitors" "lab_hotplug two failed"
sleep 0.5 # as above
# The monitor wakes up: a line of its own also ends the fold of the two display-change lines.
devchange arrival "$NAME" >"$E2E_OUT/devchange-arrival2.txt"

# The log, through the debug window's Save button.
log=""
ui_click "$MAIN" "Debug" || e2e_fail "click Debug" "no visible button \"Debug\""
if probe --wait "$DEBUG" 10 >/dev/null; then
  rm -f "$E2E_OUT/Debug.txt"
  ui_click "$DEBUG" "Save" || e2e_fail "click Save" "no visible button \"Save\" on the debug window"
  box="$(dlgtext --read-and-close Tessary.exe 10 | sed -n 's/^text: //p')"
  e2e_eq "Save: the message box" "Debug.txt Created" "$box"
  log="$(iconv -f UTF-16LE -t UTF-8 "$E2E_OUT/Debug.txt" 2>/dev/null | tr -d '\r' | tac)"  # oldest first
  echo "$log" >"$E2E_OUT/log.txt"
  probe --close "$DEBUG" >/dev/null
else
  e2e_fail "the debug window opens" "no visible $DEBUG within 10 s"
fi

# The lines of the event window, in the order they were written, without the time in front.
events="$(grep -oE '(FC|WM_DC|WP): .*' <<<"$log")"
e2e_eq "created before the main window: its first lines" \
  "FC: TFrmMonitorEvent|FC: Starting MonitorNum=TL [0, 0] WDxHT [1920 x 1080]" \
  "$(grep -E '^FC: ' <<<"$events" | head -2 | paste -sd'|')"
pieces='WM_DC: device=\\?\DISPLAY|WM_DC: device=DEL4071|WM_DC: device=5&1a2b3c4d&0&UID4352|WM_DC: device={e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}'
e2e_eq "arrival, removal, arrival: the name piece by piece, then the event" \
  "$pieces|WP: DEVICEARRIVAL|$pieces|WP: DEVICEREMOVALCOMPLETE|$pieces|WP: DEVICEARRIVAL" \
  "$(grep -E '^(WM_DC: |WP: DEVICE)' <<<"$events" | paste -sd'|')"
# Two display changes; identical consecutive lines fold into one with a repeat count, unless
# another line (the main window's, say) came between them.
changes="$(awk '/^WP: DEVICEREMOVALCOMPLETE/ { on = 1; next } /^WP: DEVICEARRIVAL/ { on = 0 } on && /^WP: Display/' <<<"$events")"
e2e_eq "hot-plug: both display changes logged between the removal and the arrival, the primary's size and depth" \
  "2 x WP: Display Change 1920x1080 32" \
  "$(awk '{ n += (sub(/ \[REPEAT x1\]$/, "") ? 2 : 1); line = $0 } END { print n " x " line }' <<<"$changes")"
e2e_eq "the nearest monitor kept its bounds: no resolution listener informed" "0" \
  "$(grep -c '^WP: informed resolution listeners' <<<"$events")"

tessary_stop || e2e_fail "the instance ends when its window closes" "had to be killed"
if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
e2e_finish
