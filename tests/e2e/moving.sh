#!/usr/bin/env bash
# Tessary.exe -mf moves the foreground window to the neighbouring monitor with the same place and
# size relative to the monitor; a later start hands its command line to the running instance; any
# other word shows the help box.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin moving --exe --tools testwin,dlgtext
exe="$E2E_EXE"

HELP='Syntax:\r\n Tessary -mf left/right/next\r\n Tessary -?\r\n\r\n -mf move the foreground window left, right, or next monitor\r\n -? show this help dialog'

# move NAME TITLE DIRECTION EXPECTED_RECT: a later start moves the foreground window once, in the
# running instance, and ends promptly.
move() {
  local name="$1" title="$2" dir="$3" want="$4"
  win_front "$title"
  tessary_mf "$exe" -mf "$dir"
  e2e_eq "$name" "$want, exit 0 within 5 s" \
    "$(win_rect "$title"), exit $MF_RC $([ "$MF_MS" -lt 5000 ] && echo "within 5 s" || echo "after $MF_MS ms")"
}

# --- two 1920x1080 side by side
lab_layout two
tessary_start "$exe" || e2e_fail "two: Tessary.exe starts as the running instance" "no instance window within 20 s"
e2e_eq "two: one instance window" 1 "$(instance_count)"
first_pid="$(tw --pid-of-class "$INSTANCE_CLASS")"

win_open w1 480 270 960 540 normal || e2e_fail "two: test window opens" "no ready line"
e2e_eq "two: test window in place" "480 270 1440 810" "$(win_rect w1)"

# The later start must not create a window of its own; the watcher shows it would see one.
watch="$E2E_OUT/creates.txt"
lab_run 150 "${E2E_TOOL[testwin]}" --watch e2e-watch "Z:${watch//\//\\}" >"$E2E_OUT/watch.txt" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "$E2E_OUT/watch.txt" '^ready' 30
pix() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
before_shot="$E2E_OUT/two-before-move.png"
lab_shot "$before_shot"
move "two: -mf right lands on the same relative rectangle" w1 right "2400 270 3360 810"
t_right=$MF_MS
e2e_eq "two: the moved window is on monitor 2" 1 "$(win_field w1 mon)"
win_open probe 100 100 200 200 normal
win_close probe
win_close e2e-watch
tr -d '\r' <"$watch" >"$watch.lf"
own="$(awk '$3 == "testwin.exe" && $4 == "TessaryE2ETestWin"' "$watch.lf" | head -1)"
# Wine gives every thread that touches windows a default IME window; that one is not the program's.
later="$(awk -v p="$first_pid" 'tolower($3) == "tessary.exe" && $2 != p && $4 != "IME"' "$watch.lf")"
if [ -z "$own" ]; then
  e2e_fail "two: the later start creates no window" "the watcher saw no window at all: $(head -c 300 "$watch")"
else
  e2e_eq "two: the later start creates no window (${t_right} ms)" "" "$later"
fi
e2e_eq "two: still one instance window" 1 "$(instance_count)"

shot="$E2E_OUT/two-after-move.png"
if lab_shot "$shot" && [ -f "$before_shot" ]; then
  [ -n "${E2E_SHOT_DIR:-}" ] && cp "$shot" "$before_shot" "$E2E_SHOT_DIR/"
  # The window's own colour moved from the middle of its old place to the middle of the new one.
  window="$(pix "$before_shot" 960 540)"
  got="$(pix "$before_shot" 2880 540) $(pix "$shot" 2880 540) $(pix "$shot" 960 540)"
  if [ "$(pix "$before_shot" 2880 540)" != "$window" ] && [ "$(pix "$shot" 2880 540)" = "$window" ] &&
    [ "$(pix "$shot" 960 540)" != "$window" ]; then
    e2e_pass "two: the screen shows the window on monitor 2"
  else
    e2e_fail "two: the screen shows the window on monitor 2" "window $window; before/after/old place $got; see $shot"
  fi
else
  e2e_fail "two: screenshot" "import failed"
fi

move "two: -mf left brings it back" w1 left "480 270 1440 810"
move "two: -mf right again" w1 right "2400 270 3360 810"
win_front w1; tessary_mf "$exe" -MF Left extra
e2e_eq "two: -MF Left extra moves back" "480 270 1440 810" "$(win_rect w1)"
# Moved twice, "next" would come back where it started.
move "two: -mf next moves once" w1 next "2400 270 3360 810"
win_close w1
# A third of the monitor is stored a hair below 1/3: it must still arrive 640 x 360, not 639 x 359.
win_open wthird 640 360 640 360 normal || e2e_fail "two: a third-size window opens" "no ready line"
move "two: a window a third of the monitor keeps its size on a monitor of the same size" wthird right \
  "2560 360 3200 720"
win_close wthird

# Maximized: moved to the neighbour and still maximized there (openbox re-maximizes it).
win_open wmax 480 270 960 540 max || e2e_fail "two: maximized window opens" "no ready line"
win_front wmax
tessary_mf "$exe" -mf right
e2e_eq "two: maximized window moved right: monitor, zoomed" "1 1" "$(win_field wmax mon) $(win_field wmax max)"
win_close wmax

# Minimized and in the foreground: not moved, and it comes back where it was.
win_open wmin 480 270 960 540 min || e2e_fail "two: minimized window opens" "no ready line"
win_front wmin
before="$(win_rect wmin)"
tessary_mf "$exe" -mf right
e2e_eq "two: minimized window is not moved" "$before 1" "$(win_rect wmin) $(win_field wmin min)"
tw --restore wmin >/dev/null
not_min() { [ "$(win_field "$1" min)" = 0 ]; }
e2e_wait_until 3 not_min wmin
e2e_eq "two: restored, it is where it was" "480 270 1440 810 0" "$(win_rect wmin) $(win_field wmin mon)"
win_close wmin

# Help: -? and -mf up show the help box once, in the running instance.
for args in "-?" "-mf up" "-mf"; do
  # shellcheck disable=SC2086
  lab_run 60 "$exe" $args >"$E2E_OUT/help.txt" 2>&1 &
  helper=$!
  got="$(dlgtext --read-and-close Tessary.exe 20)"
  e2e_eq "help for '$args': the box's text" "$HELP" "$(sed -n 's/^text: //p' <<<"$got")"
  t0=$SECONDS
  wait "$helper"
  rc=$?
  e2e_eq "help for '$args': the later start ends once the box is closed" "0 fast" \
    "$rc $([ $((SECONDS - t0)) -lt 5 ] && echo fast || echo "slow $((SECONDS - t0))s")"
  # A second box would be up by now; nothing shows that none is coming.
  sleep 0.3
  e2e_eq "help for '$args': no second box" 0 "$(dlgtext --count Tessary.exe)"
done

tessary_stop || e2e_fail "two: the instance ends when its window closes" "had to be killed"

# A first start with -mf right moves the window, then keeps running as the instance.
tray_keep 120
win_open wfirst 480 270 960 540 normal
lab_run 300 "$exe" -mf right >"$E2E_OUT/first-mf.txt" 2>&1 &
TESSARY_PID=$!
E2E_PIDS+=("$TESSARY_PID")
e2e_wait_until -i 0.2 15 win_at wfirst "2400 270 3360 810"
e2e_eq "two: a first start with -mf right moves the window" "2400 270 3360 810" "$(win_rect wfirst)"
e2e_eq "two: ... and stays as the running instance" "1 running" \
  "$(instance_count) $(kill -0 "$TESSARY_PID" 2>/dev/null && echo running || echo ended)"
tessary_stop
win_close wfirst

# --- 1920x1080 beside 2560x1440
lab_layout mixed
tessary_start "$exe" || e2e_fail "mixed: Tessary.exe starts" "no instance window within 20 s"
win_open w2 480 270 960 540 normal || e2e_fail "mixed: test window opens" "no ready line"
move "mixed: -mf right scales to the larger monitor" w2 right "2560 360 3840 1080"
move "mixed: -mf left scales back" w2 left "480 270 1440 810"
win_close w2
# Ten round trips between the two sizes end on the very pixels they started from.
win_open wtrip 611 217 877 493 normal || e2e_fail "mixed: the round-trip window opens" "no ready line"
trips=""
for _ in $(seq 1 10); do
  win_front wtrip; tessary_mf "$exe" -mf right; trips="$trips $MF_RC"
  win_front wtrip; tessary_mf "$exe" -mf left; trips="$trips $MF_RC"
done
e2e_eq "mixed: ten round trips of 877 x 493 at (611, 217) end where they started" \
  "611 217 1488 710;$(printf ' 0%.0s' $(seq 1 20))" "$(win_rect wtrip);$trips"
win_close wtrip
tessary_stop

# --- the second monitor left of the primary, at negative coordinates
lab_layout negative
tessary_start "$exe" || e2e_fail "negative: Tessary.exe starts" "no instance window within 20 s"
win_open w5 480 270 960 540 normal || e2e_fail "negative: test window opens" "no ready line"
move "negative: -mf left lands at negative coordinates" w5 left "-1440 270 -480 810"
move "negative: -mf right comes back" w5 right "480 270 1440 810"
win_close w5
tessary_stop

# --- three side by side
lab_layout three
tessary_start "$exe" || e2e_fail "three: Tessary.exe starts" "no instance window within 20 s"
win_open w3 4320 270 960 540 normal || e2e_fail "three: test window opens" "no ready line"
move "three: -mf right on the rightmost monitor changes nothing" w3 right "4320 270 5280 810"
move "three: -mf next from the last monitor wraps to the first" w3 next "480 270 1440 810"
move "three: -mf next goes on to the second" w3 next "2400 270 3360 810"
win_close w3
tessary_stop

# --- one monitor: nothing moves, nothing crashes
lab_layout single
win_open w4 480 270 960 540 normal || e2e_fail "single: test window opens" "no ready line"
lab_run 60 "$exe" -mf next >"$E2E_OUT/single.txt" 2>&1 &
TESSARY_PID=$!
E2E_PIDS+=("$TESSARY_PID")
# It may say why it cannot work; a message box with anything else is a fault.
boxes=""
for _ in 1 2 3; do
  kill -0 "$TESSARY_PID" 2>/dev/null || break
  boxes+="$(dlgtext --read-and-close Tessary.exe 2 | sed -n 's/^text: //p')"
done
e2e_eq "single: nothing is moved" "480 270 1440 810" "$(win_rect w4)"
e2e_eq "single: no message box other than the monitor count" "" \
  "$(sed 's/Multiple Monitors required. Terminating//g' <<<"$boxes")"
tessary_stop || e2e_fail "single: Tessary.exe ends" "had to be killed"
if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
win_close w4
e2e_finish
