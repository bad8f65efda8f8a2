#!/usr/bin/env bash
# The main window as a user meets it under Wine: its frame and every control of its design, laid
# out without overlaps at 100 % and 150 % scaling; a real mouse click on "Move Right" moves the
# program in front and leaves it in front; "Debug" opens the log and "Save" writes Debug.txt;
# closing only hides the window and a later start shows it again.
# Screenshots go to E2E_SHOT_DIR when set.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_on_exit ui_dpi_restore
e2e_begin main_window --exe --tools testwin,dlgtext,uiprobe
exe="$E2E_EXE"
SHOTS="${E2E_SHOT_DIR:-$E2E_OUT}"
mkdir -p "$SHOTS"
# main_lists TEXT: the main window's listing has TEXT (a control's or the log's).
main_lists() { grep -qF "$1" <<<"$(probe --list "$MAIN")"; }

# The controls of the design: class, kind, shown on the status view, check state, exact text.
# Kinds: push, check, radio, group, owner (owner-drawn), edit, memo (multi-line), -.
DESIGN='
Button          group  1 -  Foreground Program
Button          push   1 -  Move Left
Button          push   1 -  Move Right
Button          push   0 -  Move Up
Button          push   0 -  Move Down
Button          push   1 -  Debug
Button          push   0 -  Focus Next
Button          push   0 -  E
Static          -      1 -  testwin.exe
Static          -      1 -  Title: w1
Static          -      1 -  UAC: Normal
Button          check  0 0  Close this window after clicking Move Left/Right
Button          check  0 1  Enabled when starting the program
Edit            edit   0 -  2000
Static          -      0 -  Sleep (MS) before moving programs
Button          radio  0 1  Monitor Power State
Button          radio  0 0  Resolution Change
Static          -      0 -  Monitor Power State is the prefered method to detect when a monitor restores from sleep or power off.\r\n\r\nResolution Change is a backup method. This will only work if the monitors have different resolutions or scaling.
Button          push   0 -  Reset All
Button          push   0 -  Save
Static          -      0 -  This window is used to move the foreground program to another monitor.\r\n\r\nIt is recommended to pin Tessary to the Taskbar to quickly open this window. This program is designed to work in the background until needed.\r\n
Static          -      0 -  When enabled, the program will automatically detect when the monitors change from sleep or power off. Programs will be moved back to their original monitors after a brief sleep period.\r\n\r\nThis feature can be temporarily disabled by turning on the Scroll Lock on your keyboard. Also, the System Tray icon menu can be used to enable/disable this feature.\r\n\r\n
Button          check  0 0  Move Left/Up
Button          check  0 0  Move Right/Down
Button          check  0 0  Move Next
Button          push   0 -  Set
Button          push   0 -  Set
Button          push   0 -  Set
Static          -      0 -  [none]
Static          -      0 -  [none]
Static          -      0 -  [none]
Button          push   0 -  Reset All
Button          push   0 -  Save
Button          push   0 -  Copy
'
# The other controls (no text, or a text that changes), by class and kind: how many of them, and how
# many shown on the status view: glyph buttons, pictures, the status line, the log and the restore
# report, the spin edit's arrows, the tab controls.
OTHERS='
Button  owner  2 2
Static  owner  3 2
Static  -      1 1
Edit    memo   2 1
msctls_updown32 - 1 0
SysTabControl32 - 2 0
'
# Shown (0/1) and tabs of each tab control, sorted.
TABS='0:  Getting Started  |  Monitor Watcher  
0:  Move Options  |  Monitor Watcher  |  Watcher Trigger  '

# check_frame NAME DPI CLIENT_W CLIENT_H: the window's frame, styles, caption and client size.
check_frame() {
  local list="$1" tag="$2" dpi="$3" w="$4" h="$5" hdr
  hdr="$(ui_header "$list")"
  e2e_eq "$tag: visible, caption, client size at its dpi" "1 Tessary ${w}x$h $dpi" \
    "$(ui_field "$hdr" visible) $(ui_field "$hdr" text) $(ui_field "$hdr" client | tr , x) $(ui_field "$hdr" dpi)"
}

# check_fit NAME CLASS: every label and button text of the window fits its control, in Tahoma.
check_fit() {
  local fit
  fit="$(probe --fit "$2")"
  e2e_eq "$1: every text fits its control (face, clipped texts)" "face=Tahoma" \
    "$(sed -n 's/^FIT [0-9]* //p; /^CLIPPED/p' <<<"$fit")"
}

# check_hotkey_page NAME: the "Global Hotkeys" page through the view menu: its rows shown, laid
# out cleanly, every text fitting.
check_hotkey_page() {
  local list
  ui_view_page "Global Hotkeys" || { e2e_fail "$1: hotkey page" "no popup menu within 3 s"; return; }
  list="$(probe --list "$MAIN")"
  e2e_eq "$1: hotkey page shows its rows, no overlaps" "1 1 1 1 1 0" \
    "$(ui_shown "$list" "Move Left/Up" "Move Right/Down" "Move Next" "Set" "[none]" "Close this window after clicking Move Left/Right" | paste -sd' ')$(ui_layout_faults "$list" | sed 's/^/ | /')"
  check_fit "$1: hotkey page" "$MAIN"
  ui_shot_window "$list" "$SHOTS/main-window-hotkeys-$2.png" 12
}

# 1. --- the window and its controls at 100 %
# Over the bare desktop near the bottom-left: Wine's desktop window then counts as a taskbar and the
# window opens above the cursor, clamped to the left edge (away from the test window's middle).
xdotool mousemove 300 1070
win_open w1 480 270 960 540 normal || e2e_fail "test window opens" "no ready line"
tessary_start "$exe" || e2e_fail "Tessary.exe starts as the running instance" "no instance window within 20 s"
probe --wait "$MAIN" 20 >/dev/null || e2e_fail "the main window shows" "no visible $MAIN within 20 s"
# The first status line goes into the log 900 ms after the start.
e2e_wait_until -i 0.2 5 main_lists "Version: "
list="$(probe --list "$MAIN")"
echo "$list" >"$E2E_OUT/list-100.txt"
hdr="$(ui_header "$list")"
style=$((0x$(ui_field "$hdr" style))) ex=$((0x$(ui_field "$hdr" ex))) cs=$((0x$(ui_field "$hdr" classstyle)))
# Styles: WS_SYSMENU|WS_THICKFRAME and what the platform adds to any shown top-level window
# (WS_VISIBLE, WS_CLIPSIBLINGS); no caption bar.
e2e_eq "style is WS_SYSMENU|WS_THICKFRAME (shown: +WS_VISIBLE, WS_CLIPSIBLINGS)" 000C0000 \
  "$(printf %08X $((style & ~0x14000000)))"
# Extended: WS_EX_TOPMOST|WS_EX_APPWINDOW|WS_EX_NOACTIVATE, and WS_EX_WINDOWEDGE that a sizing
# border brings; class style CS_SAVEBITS.
e2e_eq "ex style has TOPMOST, APPWINDOW, NOACTIVATE (nothing but WINDOWEDGE besides); class has CS_SAVEBITS" \
  "08040008 800" "$(printf %08X $((ex & ~0x100))) $(printf %X $((cs & 0x800)))"
check_frame "$list" "100 %" 96 618 275
e2e_eq "every control of the design and no other: class, kind, text, shown on the status view, check state" "" \
  "$(ui_design_diff "$list" "$DESIGN" "$OTHERS")"
e2e_eq "tab controls of the settings and welcome pages, hidden with their view" "$TABS" \
  "$(ui_tabs "$list")"
e2e_eq "100 %: no shown control overlaps another or leaves the client area" "" "$(ui_layout_faults "$list")"
check_fit "100 %" "$MAIN"
e2e_eq "showing the window left the test window in front" "FG class=TessaryE2ETestWin title=w1 exe=testwin.exe" \
  "$(probe --fg)"

# 2. --- what it looks like
shot100="$SHOTS/main-window-100.png"
ui_shot_window "$list" "$shot100" 12 || e2e_fail "100 %: screenshot" "import failed"

# 3. --- a real click on "Move Right": the program in front moves, stays in front
e2e_eq "Wine's monitors are the X screen's" "0 0 0 1920 1080|1 1920 0 3840 1080" \
  "$(lab_monitors | awk '{ print $1, $2, $3, $4, $5 }' | paste -sd'|')"
win_front w1
ui_click "$MAIN" "Move Right" || e2e_fail "click Move Right" "no visible button \"Move Right\""
e2e_wait_until 10 win_at w1 "2400 270 3360 810"
e2e_eq "Move Right: the test window on the right monitor, same relative place" "2400 270 3360 810" "$(win_rect w1)"
e2e_eq "Move Right: the test window is still the foreground, the main window not active" \
  "FG class=TessaryE2ETestWin title=w1 exe=testwin.exe|ACTIVE none" "$(probe --fg)|$(probe --active "$MAIN")"
moving_said() { GOT="$(probe --list "$MAIN" | grep -E '^CHILD class=(Static|Edit) ' | grep -cF 'Moving [testwin.exe] Right ')"; [ "$GOT" -gt 0 ]; }
GOT=0
e2e_wait_until 6 moving_said
got="$GOT"
e2e_eq "Move Right: the status line or log says so" "1" "$([ "$got" -gt 0 ] && echo 1 || echo 0)"
ui_shot_window "$(probe --list "$MAIN")" "$SHOTS/main-window-moved.png" 6

# The settings page through the view menu.
ui_view_page "Default Config" || e2e_fail "view menu" "no popup menu within 3 s"
list="$(probe --list "$MAIN")"
echo "$list" >"$E2E_OUT/list-config.txt"
e2e_eq "view menu: \"Default Config\" shows the settings with their first page" "1 1 1 1 0" "$(ui_shown "$list" \
  "Close this window after clicking Move Left/Right" "Reset All" "Save" "Move Right" "Enabled when starting the program")"
e2e_eq "settings view: no shown control overlaps another or leaves the client area" "" "$(ui_layout_faults "$list")"
ui_shot_window "$list" "$SHOTS/main-window-config.png" 12
page_shows() { [ "$(ui_shown "$(probe --list "$MAIN")" "$1")" = 1 ]; }
# The other settings pages, by real clicks on their tabs: each shows its own controls only, laid out
# cleanly. The last text of each row belongs to another page.
while IFS='|' read -r tab a b c other; do
  xy="$(probe --tab-center "$MAIN" "$tab")" || { e2e_fail "settings page \"$tab\"" "no such tab shown"; continue; }
  # shellcheck disable=SC2086
  xdotool mousemove $xy sleep 0.2 click 1
  e2e_wait_until 3 page_shows "$a"
  list="$(probe --list "$MAIN")"
  e2e_eq "settings page \"$tab\": its controls shown, no overlaps" "1 1 1 0" \
    "$(ui_shown "$list" "$a" "$b" "$c" "$other")$(ui_layout_faults "$list" | sed 's/^/ | /')"
  ui_shot_window "$list" "$SHOTS/main-window-config-$(xargs <<<"$tab" | tr ' ' '-').png" 12
done <<'PAGES'
  Monitor Watcher  |Enabled when starting the program|2000|Sleep (MS) before moving programs|Close this window after clicking Move Left/Right
  Watcher Trigger  |Monitor Power State|Resolution Change|Monitor Power State is the prefered method to detect when a monitor restores from sleep or power off.\r\n\r\nResolution Change is a backup method. This will only work if the monitors have different resolutions or scaling.|Enabled when starting the program
PAGES
check_hotkey_page "100 %" 100
fg_is_w1() { grep -q 'title=w1 ' <<<"$(probe --fg)"; }
e2e_wait_until 4 fg_is_w1
e2e_eq "view menu: the test window is in front again afterwards" "FG class=TessaryE2ETestWin title=w1 exe=testwin.exe" \
  "$(probe --fg)"

# 4. --- Debug window, Save
ui_click "$MAIN" "Debug" || e2e_fail "click Debug" "no visible button \"Debug\""
if probe --wait "$DEBUG" 10 >/dev/null; then
  dlist="$(probe --list "$DEBUG")"
  echo "$dlist" >"$E2E_OUT/list-debug.txt"
  rows="$(awk '/^CHILD class=ListBox /{ lb = 1; next } /^CHILD/ { lb = 0 } lb && /^ITEM /' <<<"$dlist")"
  e2e_eq "Debug: the debug window shows the log" "1" "$(grep -cm1 ' TFrmMain Create$' <<<"$rows")"
  check_fit "Debug" "$DEBUG"
  ui_shot_window "$dlist" "$SHOTS/debug-window.png" 12
  rm -f "$E2E_OUT/Debug.txt"
  ui_click "$DEBUG" "Save" || e2e_fail "click Save" "no visible button \"Save\" on the debug window"
  box="$(dlgtext --read-and-close Tessary.exe 10 | sed -n 's/^text: //p')"
  e2e_eq "Save: the message box" "Debug.txt Created" "$box"
  e2e_eq "Save: Debug.txt in the data folder, UTF-16 LE with BOM, holds the log" "fffe 1" \
    "$(head -c2 "$E2E_OUT/Debug.txt" 2>/dev/null | od -An -tx1 | tr -d ' \n') $(iconv -f UTF-16LE -t UTF-8 \
      "$E2E_OUT/Debug.txt" 2>/dev/null | grep -c ' TFrmMain Create.$')"
  probe --close "$DEBUG" >/dev/null
else
  e2e_fail "Debug: the debug window shows the log" "no visible $DEBUG within 10 s"
fi

# 5. --- closing hides; a later start shows the window again
probe --close "$MAIN" >/dev/null
main_hidden() { [ "$(ui_field "$(ui_header "$(probe --list "$MAIN")")" visible)" = 0 ]; }
e2e_wait_until 5 main_hidden
e2e_eq "closed: the window is hidden, the program runs on" "0 running" \
  "$(ui_field "$(ui_header "$(probe --list "$MAIN")")" visible) $(kill -0 "$TESSARY_PID" 2>/dev/null && echo running || echo ended)"
lab_run 30 "$exe" >"$E2E_OUT/second-start.txt" 2>&1
probe --wait "$MAIN" 10 >/dev/null
e2e_eq "a later start without arguments shows it again" "1" "$(ui_field "$(ui_header "$(probe --list "$MAIN")")" visible)"
tessary_stop || e2e_fail "the instance ends when its window closes" "had to be killed"
win_close w1

# 6. --- 150 %
if ui_dpi 144; then
  xdotool mousemove 300 1070
  tessary_start "$exe" || e2e_fail "150 %: Tessary.exe starts" "no instance window within 20 s"
  probe --wait "$MAIN" 20 >/dev/null || e2e_fail "150 %: the main window shows" "no visible $MAIN within 20 s"
  e2e_wait_until -i 0.2 5 main_lists "Version: "
  list="$(probe --list "$MAIN")"
  echo "$list" >"$E2E_OUT/list-150.txt"
  check_frame "$list" "150 %" 144 927 413
  e2e_eq "150 %: no shown control overlaps another or leaves the client area" "" "$(ui_layout_faults "$list")"
  check_fit "150 %" "$MAIN"
  ui_shot_window "$list" "$SHOTS/main-window-150.png" 12 || e2e_fail "150 %: screenshot" "import failed"
  check_hotkey_page "150 %" 150
  tessary_stop
else
  e2e_fail "150 %: scaling set" "wine reg add LogPixels failed"
fi
ui_dpi_restore

# With E2E_MEASURE=1: how long a start takes until the main window shows (five starts, median).
if [ "${E2E_MEASURE:-0}" = 1 ]; then
  times=()
  for run in 1 2 3 4 5; do
    lab_run 60 "${E2E_TOOL[uiprobe]}" --wait "$MAIN" 30 >"$E2E_OUT/wait-$run.txt" 2>&1 &
    waiter=$!
    e2e_wait_for "$E2E_OUT/wait-$run.txt" '^WAITING' 20
    t0=$(date +%s%3N)
    # Started as tessary_start does, without its polling, which would compete for the processor.
    lab_run 300 "$exe" >"$E2E_OUT/first-instance.txt" 2>&1 &
    TESSARY_PID=$!
    E2E_PIDS+=("$TESSARY_PID")
    wait "$waiter"
    seen="$(tr -d '\r' <"$E2E_OUT/wait-$run.txt" | sed -n 's/^VISIBLE at=//p')"
    [ -n "$seen" ] && times+=($((seen - t0)))
    tessary_stop
  done
  echo "INFO: start to visible main window (ms): ${times[*]}; median $(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)"
fi

if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
e2e_finish
