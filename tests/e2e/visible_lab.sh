#!/usr/bin/env bash
# The visible lab that scripts/run.sh shows on a desktop: an Xephyr window on a user's display (here
# a private Xvfb with openbox's stock configuration, which takes Ctrl+Alt+arrows for itself, as
# desktops do). The window is the layout's bounding box, Wine reports the layout's monitors, a click
# through the outer display lands at the same place inside, and after Ctrl+Shift (Xephyr's grab) a
# Ctrl+Alt+Right typed on the outer display reaches Tessary's hotkey instead of the window manager.
# Runs a lab of its own (the shared one is an Xvfb).
set -uo pipefail
. "$(dirname "$0")/lib/check.sh"
. "$(dirname "$0")/lib/windows.sh"

OUTER_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/tessary-outer.XXXXXX")"
OUTER_PIDS=()
outer_down() {
  local pid
  for pid in "${OUTER_PIDS[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$OUTER_ROOT"
}
trap 'outer_down' EXIT

# The "user's desktop": a display of its own with a window manager that grabs Ctrl+Alt+arrows.
outer_display() {
  local n pid i
  for n in $(seq $((700 + RANDOM % 90)) 799) $(seq 700 799); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 4000x1200x24 -noreset -nolisten tcp >"$OUTER_ROOT/xvfb.log" 2>&1 &
    pid=$!
    for i in $(seq 1 100); do
      if lab_x_answers ":$n"; then
        OUTER_PIDS+=("$pid")
        OUTER=":$n"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    # Lost a race for this number: the next one.
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  done
  return 1
}
outer_up() {
  local i
  outer_display || return 1
  DISPLAY="$OUTER" openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >"$OUTER_ROOT/openbox.log" 2>&1 &
  # Stopped before its display.
  OUTER_PIDS=("$!" "${OUTER_PIDS[@]}")
  for i in $(seq 1 50); do
    DISPLAY="$OUTER" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  return 1
}
outer_up || { e2e_fail "outer display starts" "no Xvfb with openbox"; e2e_finish; }
ox() { DISPLAY="$OUTER" xdotool "$@"; }

# Two monitors of equal size, the second lower: the box is wider and taller than either.
LAYOUT="1280x720+0+0 1280x720+1280+200"
unset LAB_ROOT
if ! LAB_XSERVER=xephyr LAB_HOST_DISPLAY="$OUTER" lab_up "$LAYOUT"; then
  e2e_fail "visible lab starts" "lab_up with LAB_XSERVER=xephyr failed"
  e2e_finish
fi
trap 'e2e_cleanup; lab_down; outer_down' EXIT

xephyr="$(ox search --name '^Xephyr on ' | head -1)"
[ -n "$xephyr" ] || { e2e_fail "Xephyr window on the outer display" "none found"; e2e_finish; }
e2e_eq "the window is the layout's bounding box" "2560x920" \
  "$(DISPLAY="$OUTER" xwininfo -id "$xephyr" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')"
e2e_eq "Wine reports the layout's monitors" \
  "$(printf '%s\n' '0 0 0 1280 720 1 \\.\DISPLAY1' '1 1280 200 2560 920 0 \\.\DISPLAY2')" "$(lab_monitors)"

# shellcheck disable=SC2034 # TESTWIN: for lib/windows.sh
TESTWIN="$(lab_tool testwin)" || { e2e_fail "test tools built" "testwin.exe missing"; e2e_finish; }
E2E_OUT="$LAB_ROOT/visible"
mkdir -p "$E2E_OUT"
exe="$(e2e_private_exe visible)" || { e2e_fail "Tessary.exe exists" "not built"; e2e_finish; }
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
sleep 1
e2e_eq "the pointer is at the same place inside" "x:400 y:250" \
  "$(xdotool getmouselocation | awk '{ print $1, $2 }')"
e2e_eq "a click through the outer display brings w1 to the front" 1 "$(win_field w1 fg)"

# Ctrl+Shift grabs: the title says so, and Ctrl+Alt+Right passes openbox's own binding.
ox keydown Control_L keydown Shift_L keyup Shift_L keyup Control_L
sleep 0.5
e2e_eq "Ctrl+Shift grabs mouse and keyboard" "ctrl+shift releases" \
  "$(ox getwindowname "$xephyr" | grep -o 'ctrl+shift releases')"
before="$(win_rect w1)"
ox key ctrl+alt+Right
for _ in $(seq 1 50); do [ "$(win_rect w1)" != "$before" ] && break; sleep 0.1; done
e2e_eq "grabbed: Ctrl+Alt+Right reaches Tessary, w1 moves to the lower right monitor" \
  "1480 350 1880 650" "$(win_rect w1)"
e2e_eq "the outer desktop stayed where it was" 0 \
  "$(DISPLAY="$OUTER" xprop -root _NET_CURRENT_DESKTOP | awk '{ print $NF }')"
ox keydown Control_L keydown Shift_L keyup Shift_L keyup Control_L
sleep 0.5
e2e_eq "Ctrl+Shift again releases them" "ctrl+shift grabs" \
  "$(ox getwindowname "$xephyr" | grep -o 'ctrl+shift grabs')"

tessary_stop || e2e_fail "Tessary.exe ends" "had to be killed"
win_close w1
win_close w2
e2e_finish
