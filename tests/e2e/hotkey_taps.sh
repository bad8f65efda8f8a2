#!/usr/bin/env bash
# Quick presses of a hotkey under Wine, with real key presses through the X server, on three
# monitors side by side: Move Next tapped twice 150 ms apart (Ctrl+Alt held, N tapped) moves the
# window in front two monitors over; tapped four times it wraps round to the second monitor; held
# for 1.5 s (the X server repeats it after its delay, and Wine leaves MOD_NOREPEAT out) it moves
# once. Every real press moves once however soon it follows the last, also while the move before
# it still runs.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin hotkey_taps three --exe --tools testwin
exe="$E2E_EXE"
printf '[Hotkeys]\r\ncbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n' >"$(dirname "$exe")/Tessary.ini"

SECOND="2400 270 3360 810" THIRD="4320 270 5280 810"

# taps COUNT: Ctrl+Alt held, N tapped COUNT times, one press every 150 ms (down 50, up 100).
taps() {
  local args=(keydown ctrl+alt) i
  for i in $(seq 1 "$1"); do
    [ "$i" -gt 1 ] && args+=(sleep 0.1)
    args+=(keydown n sleep 0.05 keyup n)
  done
  xdotool "${args[@]}" keyup alt ctrl
}

lab_layout three
tessary_start "$exe" || e2e_fail "Tessary.exe starts" "no instance window within 20 s"

win_open t2 480 270 960 540 normal || e2e_fail "two taps: test window opens" "no ready line"
win_front t2
taps 2
e2e_eq "two taps 150 ms apart move two monitors over" "$THIRD" "$(win_settled t2)"
win_close t2

win_open t4 480 270 960 540 normal || e2e_fail "four taps: test window opens" "no ready line"
win_front t4
taps 4
e2e_eq "four taps wrap round to the second monitor" "$SECOND" "$(win_settled t4)"
win_close t4

win_open th 480 270 960 540 normal || e2e_fail "held: test window opens" "no ready line"
win_front th
xdotool keydown ctrl+alt+n sleep 1.5 keyup n alt ctrl
e2e_eq "held for 1.5 s moves once" "$SECOND" "$(win_settled th)"
win_close th

tessary_stop || e2e_fail "Tessary.exe ends" "had to be killed"
# What the program saw, for a failure's reader: the presses that moved and those it ignored.
# (TESSARY_KEEP_LOG=1 leaves the log in Debug.txt.)
log="$(dirname "$exe")/Debug.txt"
[ -f "$log" ] && iconv -f UTF-16LE -t UTF-8 "$log" | tr -d '\r' | grep -E 'WMHK|WMH:|MP: captured|MQ:' |
  sed 's/^/   log: /' | tail -40
e2e_finish
