#!/usr/bin/env bash
# The Monitor Watcher of the real Tessary.exe under Wine, through sleep and wake the way Windows
# does it: the monitor's device interface is removed (devchange.exe sends what Windows sends;
# Wine never does), the monitor goes (lab_hotplug) and the system pushes its windows onto the
# remaining one (testwin --place); then the monitor comes back and its interface arrives. After
# the countdown every program is back at its exact rectangle.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin watcher --tools testwin,dlgtext,uiprobe,devchange


INI='[Main]\r\nseDelay=1000\r\n[Hidden]\r\nTopProgramsIntervalMS=1000\r\n'

# ------------------------------------------------------------------ the default mode, end to end
lab_layout two
watcher_start wake "$INI" || e2e_finish
watcher_programs wake
a0="$(win_rect wake-a)"; b0="$(win_rect wake-b)"; c0="$(win_rect wake-c)"
e2e_eq "wake: window b maximized on monitor 2" "1 1" "$(win_field wake-b max) $(win_field wake-b mon)"
monitor_sleeps wake
e2e_eq "wake: while asleep both programs sit on the primary" "0 0" "$(win_field wake-a mon) $(win_field wake-b mon)"
lab_shot "$E2E_OUT/asleep.png" >/dev/null 2>&1
monitor_wakes wake
devchange arrival  # a second arrival while the cycle runs
took="$(wait_rect wake-a "$a0" 15)"
e2e_eq "wake: program a back at its exact rectangle" "$a0" "$(win_rect wake-a)"
e2e_eq "wake: maximized program b back, maximized, on monitor 2" "$b0 max 1 mon 1" \
  "$(win_rect wake-b) max $(win_field wake-b max) mon $(win_field wake-b mon)"
e2e_eq "wake: program c on the other monitor untouched" "$c0" "$(win_rect wake-c)"
[ "$took" != never ] && [ "$took" -ge 1 ] && e2e_pass "wake: restored after the 1000 ms countdown (${took} s)" ||
  e2e_fail "wake: restored after the countdown" "took $took s"
main_hidden() { [ "$(main_visible)" = 0 ]; }
e2e_wait_until 5 main_hidden
e2e_eq "wake: the main window hides again once everything is back" "0" \
  "$(probe --list "$MAIN" 2>/dev/null | grep -c '^WINDOW.*visible=1')"
saved_log wake
log="$(cat "$E2E_OUT/log-wake.txt" 2>/dev/null)"
# Snapshots go on while the monitor is away: the cycle's own is the one after HandleMovedPrograms.
cycle="$(awk '/^DC: disconnect/ { on = 1 } /^CHM: HandleMovedPrograms/ { h = 1 } /^GTLP: Starting/ && !h { next } on' <<<"$log" |
  grep -E '^(DC: disconnect|WA: monitors changing: disconnect|WP: DEVICEREMOVALCOMPLETE|WMDisplayChange - event running|CC: connect|CC: disconnect TRIGGER, CHM starting|WP: DEVICEARRIVAL|CHM: Starting|GMI: populated = 2|CHM: HandleMovedPrograms|GTLP: Starting\.|HMP: Restore count=2|CHM: Ending|CHM: Done\.)' | awk '!seen[$0]++' | paste -sd'|')"
e2e_eq "wake: Debug.txt holds the cycle's lines in order" \
  "DC: disconnect|WA: monitors changing: disconnect|WP: DEVICEREMOVALCOMPLETE|WMDisplayChange - event running|CC: connect|CC: disconnect TRIGGER, CHM starting|WP: DEVICEARRIVAL|CHM: Starting|GMI: populated = 2|CHM: HandleMovedPrograms|GTLP: Starting.|HMP: Restore count=2|CHM: Ending|CHM: Done." \
  "$cycle"
e2e_eq "wake: two arrivals in a row give one cycle" "1 1" \
  "$(grep -c '^CHM: Starting' <<<"$log") $(grep -c '^CHM: ignoring, thread still running\.' <<<"$log")"
e2e_eq "wake: one line per program put back" "2" "$(grep -c '^HMP: Moving \[' <<<"$log")"
e2e_cleanup

# ------------------------------------------------------------------ nothing moves when told not to
for case in "off|[Main]\r\ncbWatcherOnStart=0\r\nseDelay=1000\r\n[Hidden]\r\nTopProgramsIntervalMS=1000\r\n" \
  "notrigger|[Main]\r\nrbDevicePowerState=0\r\nrbResolutionChange=0\r\nseDelay=1000\r\n[Hidden]\r\nTopProgramsIntervalMS=1000\r\n"; do
  name="${case%%|*}"
  watcher_start "$name" "${case#*|}" || continue
  watcher_programs "$name"
  monitor_sleeps "$name"
  pushed="$(win_rect "$name-a")"
  monitor_wakes "$name"
  # A restore would come within the 1000 ms countdown and its cycle; nothing shows that none comes.
  sleep 4
  e2e_eq "$name: nothing moves after the wake" "$pushed" "$(win_rect "$name-a")"
  e2e_cleanup
done

# ------------------------------------------------------------------ the delay from the settings file
watcher_start delay '[Main]\r\nseDelay=4000\r\n[Hidden]\r\nTopProgramsIntervalMS=1000\r\n' && {
  watcher_programs delay
  a0="$(win_rect delay-a)"
  monitor_sleeps delay
  monitor_wakes delay
  sleep 2 # the moment the check looks: inside the 4000 ms countdown
  early="$(win_field delay-a mon)"
  # What the user sees meanwhile: the main window in its corner with the countdown.
  lab_shot "$E2E_OUT/countdown.png" 0 >/dev/null 2>&1 && [ -n "${E2E_SHOT_DIR:-}" ] && cp "$E2E_OUT/countdown.png" "$E2E_SHOT_DIR/"
  took="$(wait_rect delay-a "$a0" 15)"
  e2e_eq "delay: 4000 ms honoured (still displaced after 2 s, back later)" "0 back" \
    "$early $([ "$took" != never ] && echo back || echo never)"
  e2e_cleanup
}

# ------------------------------------------------------------------ a hung program on the sleeping monitor
watcher_start hung "$INI" && {
  watcher_programs hung
  a0="$(win_rect hung-a)"
  monitor_sleeps hung
  tw --hang hung-b 60 >/dev/null &
  # The hang starts in the window's own thread; nothing outside shows it until it is 5 s old.
  sleep 1
  monitor_wakes hung
  took="$(wait_rect hung-a "$a0" 20)"
  e2e_eq "hung: the responding program is back although the other does not answer" "$a0" "$(win_rect hung-a)"
  e2e_eq "hung: the main window stays in view (one program could not go back)" "1" \
    "$(probe --list "$MAIN" 2>/dev/null | grep -c '^WINDOW.*visible=1')"
  tw --wake hung-b >/dev/null
  saved_log hung
  log="$(cat "$E2E_OUT/log-hung.txt" 2>/dev/null)"
  # Once per cycle that tried it: a display change and the arrival may each run one.
  n="$(grep -c '^HMP: not responding, skipped testwin.exe' <<<"$log")"
  e2e_eq "hung: the log names it" 1 "$([ "$n" -ge 1 ] && echo 1 || echo "$n")"
  e2e_cleanup
}

if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt 2>/dev/null; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
e2e_finish
