#!/usr/bin/env bash
# The Monitor Watcher's memory of monitor arrangements, with the real Tessary.exe under Wine:
#  - away: the second monitor is gone for 45 s; meanwhile the main window, shown by a later start,
#    follows the programs brought in front; when the monitor comes back its programs go back exactly;
#  - undock: work on one monitor (snapshots go on, a window is moved), dock again by a display change
#    alone (no device arrival): back exactly;
#  - desks: docked at another desk (a 2560x1440 monitor in the second place) nothing of the first
#    desk lands on it; back at the first desk they go back, and a program the user moved on the
#    primary, or one the first desk never saw, stays; the "Restore Report" page, from the view
#    menu and from the tray menu, shows the newest report of the log (pictures of the page and of
#    the tray menu go to E2E_SHOT_DIR when set);
#  - report: the restore report in Debug.txt names a program put back, a minimized one and one that
#    does not respond.
# Arguments pick scenarios: bash tests/e2e/arrangements.sh desks report
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
# A hung window would outlive the script by its own time-out: woken first.
e2e_on_exit 'tw --wake report-h >/dev/null 2>&1'
e2e_begin arrangements --tools testwin,dlgtext,uiprobe,devchange
SHOTS="${E2E_SHOT_DIR:-$E2E_OUT}"
mkdir -p "$SHOTS"

INI='[Main]\r\nseDelay=1000\r\n[Hidden]\r\nTopProgramsIntervalMS=500\r\n'
TWO='2 monitors: 1920x1080 at (0, 0) primary; 1920x1080 at (1920, 0)'
MIXED='2 monitors: 1920x1080 at (0, 0) primary; 2560x1440 at (1920, 0)'

# A program under another executable name, so that the main window's program label changes.
other_exe="$E2E_OUT/otherwin.exe"
cp "${E2E_TOOL[testwin]}" "$other_exe"
win_open_as() {
  local exe="$1" out="$E2E_OUT/win-$2.txt"; shift
  lab_run "$(e2e_life 150)" "$exe" --open "$@" normal >"$out" 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_for "$out" '^ready' 30
}

# has TEXT REGEX: 1 when a line of TEXT matches the extended REGEX, else 0; re TEXT: TEXT as a regex.
has() { grep -qE "$2" <<<"$1" && echo 1 || echo 0; }
re() { sed 's/[][().*^$+?{}|\\]/\\&/g' <<<"$1"; }
# "[l, t, r, b]" of "l t r b", as the report writes a rectangle.
brackets() { sed -E 's/^([-0-9]+) ([-0-9]+) ([-0-9]+) ([-0-9]+)$/[\1, \2, \3, \4]/' <<<"$1"; }


# shows EXE TITLE: "1 1" once the main window's labels show that program (polled up to 10 s).
shows() {
  e2e_wait_until -i 0.2 10 shows_now "$1" "$2"
  echo "$SHOWS"
}
shows_now() { SHOWS="$(ui_shown "$(probe --list "$MAIN")" "$1" "Title: $2")"; [ "$SHOWS" = "1 1" ]; }


# main_hides SECS: "hidden" once the main window is hidden (a cycle ends so unless a program could
# not go back), within SECS; "never" otherwise.
main_hides() {
  e2e_wait_until -i 0.25 "$1" main_hidden && { echo hidden; return 0; }
  echo never
  return 1
}
main_hidden() { [ "$(main_visible)" = 0 ]; }

# cycle_runs SECS: the main window shows (the countdown after a monitor's arrival) and hides again
# within SECS; "shown hidden" when it did.
cycle_runs() {
  local shown=never
  probe --wait "$MAIN" "$1" >/dev/null && shown=shown
  echo "$shown $([ "$shown" = shown ] && main_hides "$1" || echo never)"
}

# The user drags a window: the system's own placement from outside, as testwin --place does it.
user_moves() { tw --place "$@" >/dev/null || e2e_fail "window $1 moved by the user" "testwin --place failed"; }

# ------------------------------------------------------------------ away: 45 s on one monitor
scenario_away() {
  watcher_start away "$INI" || return
  watcher_programs away
  a0="$(win_rect away-a)"; b0="$(win_rect away-b)"; c0="$(win_rect away-c)"
  probe --close "$MAIN" >/dev/null  # hidden, as it is between uses
  monitor_sleeps away
  t_away=$SECONDS
  e2e_eq "away: programs a and b pushed onto the primary" "0 0" "$(win_field away-a mon) $(win_field away-b mon)"
  lab_run 30 "$exe" >/dev/null 2>&1
  e2e_eq "away: a later start shows the main window" 1 "$(probe --wait "$MAIN" 10 >/dev/null; main_visible)"
  win_open_as "$other_exe" away-new 300 600 700 400 || e2e_fail "away: a new program opens" "no ready line"
  new0="$(win_rect away-new)"
  e2e_eq "away: the main window follows a program started meanwhile" "1 1" "$(shows otherwin.exe away-new)"
  win_front away-c
  e2e_eq "away: the main window follows the next program brought in front" "1 1" "$(shows testwin.exe away-c)"
  # The monitor stays away for 45 s; near the end the main window must still follow.
  while [ $((SECONDS - t_away)) -lt 40 ]; do sleep 1; done
  win_front away-new
  e2e_eq "away: after 40 s the main window still follows the program in front" "1 1" "$(shows otherwin.exe away-new)"
  while [ $((SECONDS - t_away)) -lt 45 ]; do sleep 1; done
  monitor_wakes away
  took="$(wait_rect away-a "$a0" 20)"
  e2e_eq "away: program a back at its exact rectangle (${took} s)" "$a0" "$(win_rect away-a)"
  e2e_eq "away: maximized program b back, maximized, on monitor 2" "$b0 max 1 mon 1" \
    "$(win_rect away-b) max $(win_field away-b max) mon $(win_field away-b mon)"
  e2e_eq "away: program c on the primary untouched" "$c0" "$(win_rect away-c)"
  e2e_eq "away: the program started while the monitor was away stays where it is" "$new0" "$(win_rect away-new)"
  e2e_cleanup
}

# ------------------------------------------------------------------ undock, work, dock again
scenario_undock() {
  watcher_start undock "$INI" || return
  watcher_programs undock
  a0="$(win_rect undock-a)"; b0="$(win_rect undock-b)"; c0="$(win_rect undock-c)"
  monitor_sleeps undock
  # Working on one monitor: several snapshots of the one-monitor arrangement (seen only in the
  # log, which Save would end the run of), a window dragged.
  sleep 2
  user_moves undock-a 700 400 960 540
  win_front undock-c
  sleep 2 # snapshots of the drag
  e2e_eq "undock: the dragged window stays where the user put it while undocked" "700 400 1660 940" "$(win_rect undock-a)"
  lab_hotplug two >/dev/null 2>&1 || e2e_fail "undock: hot-plug back to two monitors" "lab_hotplug two failed"
  took="$(wait_rect undock-a "$a0" 20)"
  e2e_eq "undock: docked by a display change alone, program a back exactly (${took} s)" "$a0" "$(win_rect undock-a)"
  e2e_eq "undock: maximized program b back, maximized, on monitor 2" "$b0 max 1 mon 1" \
    "$(win_rect undock-b) max $(win_field undock-b max) mon $(win_field undock-b mon)"
  e2e_eq "undock: program c on the primary untouched" "$c0" "$(win_rect undock-c)"
  e2e_cleanup
}

# ------------------------------------------------------------------ another desk, then the first again
scenario_desks() {
  watcher_start desks "$INI" || return
  watcher_programs desks
  a0="$(win_rect desks-a)"; b0="$(win_rect desks-b)"
  monitor_sleeps desks
  pa="$(win_rect desks-a)"; pb="$(win_rect desks-b)"
  probe --close "$MAIN" >/dev/null
  # The other desk: its own monitor, larger, where the first desk's second one was.
  lab_hotplug mixed >/dev/null 2>&1 || e2e_fail "desks: hot-plug to the other desk" "lab_hotplug mixed failed"
  devchange arrival
  e2e_eq "desks: the arrival at the other desk runs a cycle (the main window shows and hides)" "shown hidden" \
    "$(cycle_runs 20)"
  e2e_eq "desks: nothing from the first desk lands on the other desk's monitor" "$pa mon 0|$pb mon 0" \
    "$(win_rect desks-a) mon $(win_field desks-a mon)|$(win_rect desks-b) mon $(win_field desks-b mon)"
  # Work at the other desk: a program on its monitor; program c dragged on the primary.
  win_open desks-d 2200 200 1280 720 normal || e2e_fail "desks: a program opens at the other desk" "no ready line"
  user_moves desks-c 600 300 800 500
  sleep 2 # snapshots of the other desk
  # Undocked again, then back at the first desk.
  d="$(win_rect desks-d)"
  devchange removal
  lab_hotplug single >/dev/null 2>&1 || e2e_fail "desks: undocked again" "lab_hotplug single failed"
  read -r l t r b <<<"$d"
  user_moves desks-d $((l - 1920)) "$t" $((r - l)) $((b - t))
  pd="$(win_rect desks-d)"
  sleep 2 # snapshots of the undocked arrangement
  monitor_wakes desks
  took="$(wait_rect desks-a "$a0" 20)"
  e2e_eq "desks: back at the first desk, program a back exactly (${took} s)" "$a0" "$(win_rect desks-a)"
  e2e_eq "desks: maximized program b back, maximized, on monitor 2" "$b0 max 1 mon 1" \
    "$(win_rect desks-b) max $(win_field desks-b max) mon $(win_field desks-b mon)"
  e2e_eq "desks: program c, moved on the primary, left where the user put it" "600 300 1400 800" "$(win_rect desks-c)"
  e2e_eq "desks: the program the first desk never saw stays where it is" "$pd" "$(win_rect desks-d)"
  # The arrival's cycle has ended before the log is read.
  main_hides 20 >/dev/null
  saved_log desks
  log="$(cat "$E2E_OUT/log-desks.txt" 2>/dev/null)"
  e2e_eq "desks: the log names the other desk new and the first remembered" "1 1" \
    "$(has "$log" "^WA: arrangement $(re "$MIXED") new(,|$)") $(has "$log" "^WA: arrangement $(re "$TWO") remembered, [0-9]+ programs")"
  e2e_eq "desks: the report gives program c's outcome" 1 \
    "$(grep -cxF 'RR: testwin.exe "desks-c" from [600, 300, 1400, 800] to [300, 200, 1100, 700]: left where the user put it' <<<"$log")"
  # The report's page, from both menus, shows the newest report.
  report_views desks "$(grep '^RR: ' <<<"$log" | awk '/^RR: arrangement / { n = 0 } { sub(/^RR: /, ""); line[++n] = $0 }
    END { for (i = 1; i <= n; i++) print line[i] }')"
  e2e_cleanup
}

# ------------------------------------------------------------------ the restore report
scenario_report() {
  watcher_start report "$INI" || return
  win_open report-a 2400 270 960 540 normal || e2e_fail "report: window a opens" "no ready line"
  win_open report-m 2200 150 800 600 normal || e2e_fail "report: window m opens" "no ready line"
  win_open report-h 2600 400 700 400 normal || e2e_fail "report: window h opens" "no ready line"
  sleep 2 # snapshots that see them (every 500 ms, shown only in the log)
  a0="$(win_rect report-a)"; m0="$(win_rect report-m)"; h0="$(win_rect report-h)"
  monitor_sleeps report a m h
  pa="$(win_rect report-a)"; ph="$(win_rect report-h)"
  # While the monitor is away the user minimizes one program, and another stops responding.
  xdotool search --name '^report-m$' 2>/dev/null | head -1 | xargs -r xdotool windowminimize
  minimized() { [ "$(win_field "$1" min)" = 1 ]; }
  e2e_wait_until -i 0.2 10 minimized report-m
  e2e_eq "report: program m minimized" 1 "$(win_field report-m min)"
  tw --hang report-h 90 >/dev/null &
  # The hang starts in the window's own thread; nothing outside shows it until it is 5 s old.
  sleep 1
  monitor_wakes report
  took="$(wait_rect report-a "$a0" 20)"
  e2e_eq "report: program a back (${took} s)" "$a0" "$(win_rect report-a)"
  e2e_eq "report: the program that does not respond stays where it was pushed" "$ph" "$(win_rect report-h)"
  tw --wake report-h >/dev/null
  main_hides 20 >/dev/null
  saved_log report
  log="$(cat "$E2E_OUT/log-report.txt" 2>/dev/null)"
  # The wake's report: a later cycle (the lab's display change and the arrival can each start
  # one) writes a report of its own after it.
  rr="$(grep '^RR: ' <<<"$log" | awk '/^RR: arrangement/ { n++ } n == 1')"
  e2e_eq "report: it opens with the arrangement, remembered" "RR: arrangement $TWO, remembered" "$(head -1 <<<"$rr")"
  e2e_eq "report: program a put back" 1 \
    "$(grep -cxF "RR: testwin.exe \"report-a\" from $(brackets "$pa") to $(brackets "$a0"): put back" <<<"$rr")"
  e2e_eq "report: minimized program m skipped" 1 \
    "$(grep -cE "^RR: testwin\.exe \"report-m\" from \[[^]]*\] to $(re "$(brackets "$m0")"): skipped \(minimized\)$" <<<"$rr")"
  e2e_eq "report: program h that did not respond skipped" 1 \
    "$(grep -cxF "RR: testwin.exe \"report-h\" from $(brackets "$ph") to $(brackets "$h0"): skipped (not responding)" <<<"$rr")"
  [ -n "$rr" ] && sed 's/^/INFO: /' <<<"$rr"
  e2e_cleanup
}

# report_views NAME LINES: the report's page, from the view menu and from the tray menu, shows every
# line of the newest report; pictures of the page and of the tray menu go to SHOTS.
report_views() {
  local p="$1" want="$2" listing win l t r b menu
  [ -n "$want" ] || { e2e_fail "$p: the report page" "no report in the log"; return; }
  [ "$(main_visible)" = 1 ] || { lab_run 30 "$exe" >/dev/null 2>&1; probe --wait "$MAIN" 10 >/dev/null; }
  ui_view_page "Restore Report" || e2e_fail "$p: the view menu opens" "no menu"
  listing="$(report_page)"
  e2e_eq "$p: the view menu's \"Restore Report\" shows the report with its Copy button" "1 1" \
    "$(shows_lines "$listing" "$want") $(ui_shown "$listing" Copy)"
  # The client area: the window manager's title bar would be cut by a margin.
  IFS=, read -r l t <<<"$(ui_field "$(ui_header "$listing")" clientat)"
  IFS=, read -r r b <<<"$(ui_field "$(ui_header "$listing")" client)"
  import -window root -display "$DISPLAY" "$E2E_OUT/page-full.png" &&
    convert "$E2E_OUT/page-full.png" -crop "${r}x${b}+$l+$t" +repage "$SHOTS/restore-report.png" ||
    e2e_fail "$p: picture of the page" "no screenshot"

  # From the tray, with another page in view and the main window closed (hidden).
  ui_view_page Status || e2e_fail "$p: the view menu opens again" "no menu"
  probe --close "$MAIN" >/dev/null
  main_hides 5 >/dev/null
  win="$(wine_tray_window)"
  [ -n "$win" ] || { e2e_fail "$p: the tray menu" "no Wine System Tray window"; return; }
  read -r l t r b < <(xwininfo -id "$win" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 } END { print x, y, x + w, y + h }')
  # The first icon's middle: Wine gives each icon the small-icon size and a 2-pixel border.
  xdotool mousemove $((l + 10)) $(((t + b) / 2)) sleep 0.2 click 3
  menu="$(wait_menus 1 | head -1)"
  [ -n "$menu" ] || { e2e_fail "$p: a right click on the tray icon opens its menu" "no menu"; return; }
  read -r ml mt mr mb <<<"$menu"
  [ "$ml" -lt "$l" ] && l=$ml; [ "$mt" -lt "$t" ] && t=$mt; [ "$mr" -gt "$r" ] && r=$mr; [ "$mb" -gt "$b" ] && b=$mb
  l=$((l > 12 ? l - 12 : 0)) t=$((t > 12 ? t - 12 : 0))
  import -window root -display "$DISPLAY" "$E2E_OUT/tray-full.png" &&
    convert "$E2E_OUT/tray-full.png" -crop "$((r + 12 - l))x$((b + 12 - t))+$l+$t" +repage "$SHOTS/tray-menu.png" ||
    e2e_fail "$p: picture of the tray menu" "no screenshot"
  menu_click "Restore Report" || e2e_fail "$p: the tray menu's item" "no menu"
  listing="$(report_page)"
  e2e_eq "$p: the tray menu's \"Restore Report\" shows the main window with the report" "1 1" \
    "$(ui_field "$(ui_header "$listing")" visible) $(shows_lines "$listing" "$want")"
}

# shows_lines LISTING LINES: 1 when a shown memo holds LINES and nothing else.
shows_lines() {
  local text
  text="$(awk "$UI_AWK_READ"'END { for (i = 1; i <= n; i++) if (kind[i] == "memo" && vis[i] == 1) print txt[i] }' <<<"$1")"
  if [ -n "$text" ] && [ "$text" = "$(awk 'NR > 1 { printf "\\r\\n" } { printf "%s", $0 }' <<<"$2")" ]; then echo 1; else
    printf 'page: %s\nwant: %s\n' "$text" "$(awk 'NR > 1 { printf "\\r\\n" } { printf "%s", $0 }' <<<"$2")" >>"$E2E_OUT/report-page.txt"
    echo 0
  fi
}

# The main window's listing once its report page is in view (up to 3 s); the last listing else.
report_page() {
  e2e_wait_until -i 0.2 6 report_shown
  echo "$LISTING"
}
report_shown() {
  LISTING="$(probe --list "$MAIN")"
  [ "$(ui_shown "$LISTING" Copy)" = 1 ] && [ "$(ui_field "$(ui_header "$LISTING")" visible)" = 1 ]
}

lab_layout two
# Arguments pick scenarios (away undock desks report); all of them by default.
[ $# -gt 0 ] || set -- away undock desks report
for s in "$@"; do "scenario_$s"; done

if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt 2>/dev/null; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
e2e_finish
