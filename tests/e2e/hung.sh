#!/usr/bin/env bash
# A program in front that has stopped responding never freezes Tessary: with such a program in
# front, "Tessary.exe -mf right" (a later start handing its command line to the running instance)
# and a real click on the main window's move button end by themselves and leave the program where
# it is, and the instance goes on working: its foreground timer still shows the next program in
# front and a real click on a button of the main window is still handled. The same steps move a
# program that responds.
# With E2E_MEASURE=1: which window calls wait for a program that does not respond (hangcalls.exe).
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
# Programs left hung would outlive the script by their own time-out: wake them first.
e2e_on_exit 'for t in stuck probe-hung; do tw --wake "$t" >/dev/null 2>&1; done'
e2e_begin hung --exe --tools testwin,uiprobe,hangcalls
exe="$E2E_EXE"
# A second program under another executable name, so that the main window's program label changes.
other_exe="$E2E_OUT/otherwin.exe"
cp "${E2E_TOOL[testwin]}" "$other_exe"

# win_open_as EXE TITLE L T W H: like win_open, with another copy of the test window program.
win_open_as() {
  local exe="$1" out="$E2E_OUT/win-$2.txt"; shift
  lab_run 150 "$exe" --open "$@" normal >"$out" 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_for "$out" '^ready' 30
}

# shows EXE TITLE: "1 1" once the main window's labels show that program (polled up to 6 s).
shows() {
  e2e_wait_until -i 0.2 6 shows_now "$1" "$2"
  echo "$SHOWS"
}
shows_now() { SHOWS="$(ui_shown "$(probe --list "$MAIN")" "$1" "Title: $2")"; [ "$SHOWS" = "1 1" ]; }

# mf_check NAME TITLE WANT_RECT: a later start with -mf right ends by itself (not by lab_run's
# time-out) and leaves the window at WANT_RECT.
mf_check() {
  tessary_mf "$exe" -mf right
  e2e_eq "$1 (${MF_MS} ms)" "exit 0, $3" "exit $MF_RC, $(win_rect "$2")"
}

lab_layout two
# Over the bare desktop near the bottom-left, as main_window.sh: the window opens there, clear of
# the test windows.
xdotool mousemove 300 1070
tessary_start "$exe" || e2e_fail "Tessary.exe starts as the running instance" "no instance window within 20 s"
probe --wait "$MAIN" 20 >/dev/null || e2e_fail "the main window shows" "no visible $MAIN within 20 s"

# 1. --- a program that responds is moved
win_open stuck 480 270 960 540 normal || e2e_fail "test window opens" "no ready line"
mf_check "responding: -mf right moves it" stuck "2400 270 3360 810"
win_front stuck
tessary_mf "$exe" -mf left
e2e_eq "responding: -mf left brings it back" "480 270 1440 810" "$(win_rect stuck)"

# 2. --- the same program stops responding, in front
win_front stuck
tw --hang stuck 300 >/dev/null || e2e_fail "the test window stops responding" "testwin --hang failed"
mf_check "not responding: the later start with -mf right ends, nothing moves" stuck "480 270 1440 810"
e2e_eq "not responding: it is still in front" 1 "$(win_field stuck fg)"

# Only a thread that is free runs its timers: the next program in front shows on the main window.
win_open_as "$other_exe" other 2400 270 800 500 || e2e_fail "second program opens" "no ready line"
e2e_eq "after it: the main window follows the foreground to the next program" "1 1" "$(shows otherwin.exe other)"
# ... and handles posted input: a real click on "Move Left" moves that program.
ui_click "$MAIN" "Move Left" || e2e_fail "click Move Left" "no visible button \"Move Left\""
e2e_wait_until 6 win_at other "480 270 1280 770"
e2e_eq "after it: a real click on Move Left is handled and moves the program in front" "480 270 1280 770" \
  "$(win_rect other)"

# The main window's button with the program that does not respond in front.
tw --activate stuck >/dev/null || e2e_fail "the stuck window comes to the front" "testwin --activate failed"
e2e_eq "not responding, in front again: the main window shows it" "1 1" "$(shows testwin.exe stuck)"
t0=$(date +%s%N)
ui_click "$MAIN" "Move Right" || e2e_fail "click Move Right" "no visible button \"Move Right\""
# The click is handled once the main window shows the status text; the window stays.
moving_said() { GOT="$(probe --list "$MAIN" | grep -E '^CHILD class=(Static|Edit) ' | grep -cF 'Moving [testwin.exe] Right ')"; [ "$GOT" -gt 0 ]; }
GOT=0
e2e_wait_until 10 moving_said
got="$GOT"
e2e_eq "not responding: a real click on Move Right is handled, nothing moves ($(( ($(date +%s%N) - t0) / 1000000 )) ms)" \
  "1 480 270 1440 810" "$([ "$got" -gt 0 ] && echo 1 || echo 0) $(win_rect stuck)"
win_front other
e2e_eq "after the click: the main window still follows the foreground" "1 1" "$(shows otherwin.exe other)"
tw --activate stuck >/dev/null
tessary_mf "$exe" -mf right
e2e_eq "not responding: a second -mf right ends too, nothing moves" "exit 0, 480 270 1440 810" \
  "exit $MF_RC, $(win_rect stuck)"

# 3. --- responding again: nothing was left waiting for it, and the same steps move it
tw --wake stuck >/dev/null || e2e_fail "the test window responds again" "testwin --wake failed"
e2e_eq "responding again: it was not moved afterwards by a request left waiting" "480 270 1440 810" "$(win_settled stuck)"
win_front stuck
mf_check "responding again: -mf right moves it" stuck "2400 270 3360 810"

tessary_stop || e2e_fail "the instance ends when its window closes" "had to be killed"
win_close stuck
win_close other

# With E2E_MEASURE=1: the calls measured against a window whose thread has not pumped for 6 s.
if [ "${E2E_MEASURE:-0}" = 1 ]; then
  win_open probe-hung 480 270 960 540 normal
  tw --hang probe-hung 120 >/dev/null
  sleep 6 # the length of the hang measured
  lab_run 120 "${E2E_TOOL[hangcalls]}" probe-hung 3000 | tr -d '\r' | sed 's/^/INFO: /'
  tw --wake probe-hung >/dev/null
  win_settled probe-hung >/dev/null
  win_close probe-hung
fi

if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
e2e_finish
