#!/usr/bin/env bash
# The visible lab that scripts/run.sh shows on a desktop: an Xephyr window on a user's display (here
# a private Xvfb with openbox's stock configuration, which takes Ctrl+Alt+arrows for itself, as
# desktops do). The window is the layout's bounding box, Wine reports the layout's monitors, a click
# through the outer display lands at the same place inside, and after Ctrl+Shift (Xephyr's grab) a
# Ctrl+Alt+Right typed on the outer display reaches Tessary's hotkey instead of the window manager.
# Runs a lab of its own (the shared one is an Xvfb).
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"

OUTER_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/tessary-outer.XXXXXX")"
OUTER_PIDS=()
outer_down() {
  local pid
  for pid in "${OUTER_PIDS[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$OUTER_ROOT"
}
# The lab's Xephyr shows on the outer display: that goes last.
e2e_after_exit 'lab_down; outer_down'

# The "user's desktop": a display of its own with a window manager that grabs Ctrl+Alt+arrows.
x_up_or_ended() { lab_x_answers "$1" || ! kill -0 "$2" 2>/dev/null; }
outer_display() {
  local n pid
  for n in $(seq $((700 + RANDOM % 90)) 799) $(seq 700 799); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 4000x1200x24 -noreset -nolisten tcp >"$OUTER_ROOT/xvfb.log" 2>&1 &
    pid=$!
    e2e_wait_until 10 x_up_or_ended ":$n" "$pid"
    if lab_x_answers ":$n"; then
      OUTER_PIDS+=("$pid")
      OUTER=":$n"
      return 0
    fi
    # Lost a race for this number: the next one.
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  done
  return 1
}
outer_wm() { grep -q 'window id' <<<"$(DISPLAY="$OUTER" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)"; }
outer_up() {
  outer_display || return 1
  DISPLAY="$OUTER" openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >"$OUTER_ROOT/openbox.log" 2>&1 &
  # Stopped before its display.
  OUTER_PIDS=("$!" "${OUTER_PIDS[@]}")
  e2e_wait_until 5 outer_wm
}
ox() { DISPLAY="$OUTER" xdotool "$@"; }

# Two monitors of equal size, the second lower: the box is wider and taller than either.
LAYOUT="1280x720+0+0 1280x720+1280+200"
visible_up() {
  outer_up || { e2e_fail "outer display starts" "no Xvfb with openbox"; e2e_finish; }
  unset LAB_ROOT
  if ! LAB_XSERVER=xephyr LAB_HOST_DISPLAY="$OUTER" lab_up "$LAYOUT"; then
    e2e_fail "visible lab starts" "lab_up with LAB_XSERVER=xephyr failed"
    e2e_finish
  fi
}
e2e_begin visible --up visible_up --exe --tools testwin
exe="$E2E_EXE"

xephyr="$(ox search --name '^Xephyr on ' | head -1)"
[ -n "$xephyr" ] || { e2e_fail "Xephyr window on the outer display" "none found"; e2e_finish; }
e2e_eq "the window is the layout's bounding box" "2560x920" \
  "$(DISPLAY="$OUTER" xwininfo -id "$xephyr" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
e2e_eq "Wine reports the layout's monitors" \
  "$(printf '%s\n' '0 0 0 1280 720 1 \\.\DISPLAY1' '1 1280 200 2560 920 0 \\.\DISPLAY2')" "$(lab_monitors)"

printf '[Hotkeys]\r\ncbMoveLeft=1\r\ncbMoveRight=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\n' \
  >"$(dirname "$exe")/Tessary.ini"
tessary_start "$exe" || e2e_fail "Tessary.exe starts" "no instance window within 20 s"

# Where a point of the inner screen is on the outer one.
read -r OX OY < <(DISPLAY="$OUTER" xwininfo -id "$xephyr" |
  awk '/Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF } END { print x, y }')

# A click through the outer display brings the window behind to the front.
win_open w1 200 150 400 300 normal || e2e_fail "test window w1 opens" "no ready line"
win_open w2 700 150 400 300 normal || e2e_fail "test window w2 opens" "no ready line"
ox mousemove $((OX + 400)) $((OY + 250)) click 1
fg_is() { [ "$(win_field "$1" fg)" = 1 ]; }
e2e_wait_until 5 fg_is w1
e2e_eq "the pointer is at the same place inside" "x:400 y:250" \
  "$(xdotool getmouselocation | awk '{ print $1, $2 }')"
e2e_eq "a click through the outer display brings w1 to the front" 1 "$(win_field w1 fg)"

# Ctrl+Shift grabs: the title says so, and Ctrl+Alt+Right passes openbox's own binding.
title_says() { grep -q "$1" <<<"$(ox getwindowname "$xephyr")"; }
ox keydown Control_L keydown Shift_L keyup Shift_L keyup Control_L
e2e_wait_until 3 title_says 'ctrl+shift releases'
e2e_eq "Ctrl+Shift grabs mouse and keyboard" "ctrl+shift releases" \
  "$(ox getwindowname "$xephyr" | grep -o 'ctrl+shift releases')"
before="$(win_rect w1)"
ox key ctrl+alt+Right
not_at() { ! win_at "$1" "$2"; }
e2e_wait_until 10 not_at w1 "$before"
e2e_eq "grabbed: Ctrl+Alt+Right reaches Tessary, w1 moves to the lower right monitor" \
  "1480 350 1880 650" "$(win_rect w1)"
e2e_eq "the outer desktop stayed where it was" 0 \
  "$(DISPLAY="$OUTER" xprop -root _NET_CURRENT_DESKTOP | awk '{ print $NF }')"
ox keydown Control_L keydown Shift_L keyup Shift_L keyup Control_L
e2e_wait_until 3 title_says 'ctrl+shift grabs'
e2e_eq "Ctrl+Shift again releases them" "ctrl+shift grabs" \
  "$(ox getwindowname "$xephyr" | grep -o 'ctrl+shift grabs')"

tessary_stop || e2e_fail "Tessary.exe ends" "had to be killed"
win_close w1
win_close w2
e2e_finish
