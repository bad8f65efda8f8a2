#!/usr/bin/env bash
# Several "Tessary.exe -mf next" started at once, as a user hammering a shortcut would: every one
# moves the window exactly once, so an odd count leaves it on the other monitor and an even count
# where it was; every start ends with 0. Once with an instance already running (the later starts'
# moves arrive while the instance is moving), once with none (one of the starts becomes the
# instance, the others find its window only after it has made it).
#
#   BURST_SIZES="3 4 5"   the burst sizes (default 3 to 9)
#   BURST_LOGS=DIR        with TESSARY_KEEP_LOG=1: every start's log is copied to DIR at the end
#   BURST_LOAD=N          N busy processes run beside it for the whole script (a loaded machine)
#   BURST_ROUNDS=K        every burst size K times (default 1)
#   BURST_NONE=0          only the bursts with an instance running
#   BURST_RUNNING=0       only the bursts with none running
#   BURST_WM_LATE=MS      the window manager answers late: stopped for MS ms, then let run 40 ms,
#                         over and over (what a loaded machine does to it, made frequent)
# With BURST_LOGS the test window also writes every change of its place (E2E_TRACE_POS), kept as
# DIR/win-<mode>-<k>-<n>.txt for the k-th burst of n.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
LOAD_PIDS=()
e2e_on_exit 'kill "${LOAD_PIDS[@]}" 2>/dev/null'
e2e_begin burst --exe --tools testwin,dlgtext
exe="$E2E_EXE"
SIZES="${BURST_SIZES:-3 4 5 6 7 8 9}"
ROUNDS="${BURST_ROUNDS:-1}"
for _ in $(seq 1 "${BURST_LOAD:-0}"); do
  ( while :; do :; done ) &
  LOAD_PIDS+=($!)
done
[ "${#LOAD_PIDS[@]}" -gt 0 ] && echo "burst: ${#LOAD_PIDS[@]} busy processes beside it, $ROUNDS round(s)"
ALL_SIZES="$(for _ in $(seq 1 "$ROUNDS"); do echo "$SIZES"; done | paste -sd' ')"
if [ -n "${BURST_WM_LATE:-}" ]; then
  wm="$(awk '$2 == "openbox" { print $1 }' "$LAB_ROOT/pids" | tail -1)"
  [ -n "$wm" ] || { e2e_fail "the window manager's process is known" "no openbox in $LAB_ROOT/pids"; e2e_finish; }
  late="$(awk -v ms="$BURST_WM_LATE" 'BEGIN { printf "%.3f", ms / 1000 }')"
  ( trap 'kill -CONT "$wm" 2>/dev/null; exit 0' TERM
    while kill -STOP "$wm" 2>/dev/null; do sleep "$late"; kill -CONT "$wm"; sleep 0.04; done ) &
  LOAD_PIDS+=($!)
  echo "burst: the window manager answers up to $BURST_WM_LATE ms late"
fi
[ -n "${BURST_LOGS:-}" ] && mkdir -p "$BURST_LOGS" && export E2E_TRACE_POS=1
BURST_COUNT=0
keep_trace() {
  BURST_COUNT=$((BURST_COUNT + 1))
  [ -n "${BURST_LOGS:-}" ] && cp "$E2E_OUT/win-burst.txt" "$BURST_LOGS/win-$1-$BURST_COUNT-$2.txt" 2>/dev/null
  return 0
}

HOME_RECT="480 270 1440 810"
AWAY_RECT="2400 270 3360 810"


# burst N: N starts at once; sets BURST_RCS (exit codes, sorted) and BURST_PIDS; returns once
# every start but a first instance among them has ended.
burst() {
  local n="$1" i pid
  BURST_PIDS=()
  rm -f "$E2E_OUT"/rc-*
  for i in $(seq 1 "$n"); do
    ( lab_run 60 "$exe" -mf next >"$E2E_OUT/start-$i.txt" 2>&1; echo $? >"$E2E_OUT/rc-$i" ) &
    BURST_PIDS+=($!)
  done
}

ended_at_least() { [ "$(ls "$E2E_OUT"/rc-* 2>/dev/null | wc -l)" -ge "$1" ]; }
# Waits until `want` of the burst's starts have ended (at most 60 s).
burst_wait() {
  local i
  e2e_wait_until 60 ended_at_least "$1"
  BURST_RCS="$(cat "$E2E_OUT"/rc-* 2>/dev/null | sort | paste -sd' ')"
  # What a start that failed printed, for the failure message.
  for i in "$E2E_OUT"/rc-*; do
    [ "$(cat "$i")" = 0 ] && continue
    echo "start ${i##*-} ended with $(cat "$i"): $(head -c 400 "$E2E_OUT/start-${i##*-}.txt")" >&2
    [ -n "${BURST_LOGS:-}" ] && cp "$E2E_OUT/start-${i##*-}.txt" "$BURST_LOGS/failed-start-$BURST_COUNT-${i##*-}.txt"
  done
}

zeros() { printf '0 %.0s' $(seq 1 "$1") | sed 's/ $//'; }

# A fresh test window for each burst (testwin's own time-out is shorter than this script).
# The window manager may still place a window it has just mapped: a move before that would be put
# back by it.
open_window() {
  win_open burst 480 270 960 540 normal || e2e_fail "$1: the test window opens" "no ready line"
  [ "$(win_settled burst)" = "$HOME_RECT" ] || e2e_fail "$1: the test window in place" "$(win_rect burst)"
}

lab_layout two

# --- with an instance running
RUNNING_SIZES="$ALL_SIZES"
[ "${BURST_RUNNING:-1}" = 0 ] && RUNNING_SIZES=""
[ -n "$RUNNING_SIZES" ] && { tessary_start "$exe" ||
  e2e_fail "running: Tessary.exe starts as the running instance" "no instance window within 20 s"; }
for n in $RUNNING_SIZES; do
  open_window "running $n"
  burst "$n"
  burst_wait "$n"
  want="$HOME_RECT"
  [ $((n % 2)) -eq 1 ] && want="$AWAY_RECT"
  e2e_eq "running: $n starts at once move $n times; every start ends with 0" "$want; $(zeros "$n")" \
    "$(win_settled burst); $BURST_RCS"
  win_close burst
  keep_trace running "$n"
done
if [ -n "$RUNNING_SIZES" ]; then
  e2e_eq "running: still one instance" 1 "$(instance_count)"
  tessary_stop || e2e_fail "running: the instance ends" "had to be killed"
fi

# --- no instance running: one start of the burst becomes it
[ "${BURST_NONE:-1}" = 0 ] && ALL_SIZES=""
# For as long as the bursts last: once the icon goes, Wine's tray window takes the foreground at
# the next start's icon and the moves act on it.
[ -n "$ALL_SIZES" ] && tray_keep "$(e2e_life 600)"
for n in $ALL_SIZES; do
  open_window "none $n"
  burst "$n"
  burst_wait $((n - 1))
  want="$HOME_RECT"
  [ $((n % 2)) -eq 1 ] && want="$AWAY_RECT"
  rect="$(win_settled burst)"
  e2e_eq "none: $n starts at once move $n times; the $((n - 1)) later ones end with 0" \
    "$want; $(zeros $((n - 1))); 1 instance" "$rect; $BURST_RCS; $(instance_count) instance"
  # The one still running is the instance.
  TESSARY_PID=""
  for pid in "${BURST_PIDS[@]}"; do kill -0 "$pid" 2>/dev/null && TESSARY_PID="$pid"; done
  E2E_PIDS+=("${BURST_PIDS[@]}")
  tessary_stop || e2e_fail "none: the instance of the burst of $n ends" "had to be killed"
  burst_wait "$n"
  win_close burst
  keep_trace none "$n"
done

if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt 2>/dev/null; then
  e2e_fail "no crash report from any start" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any start"
fi
[ -n "${BURST_LOGS:-}" ] && mkdir -p "$BURST_LOGS" && cp "$E2E_OUT"/Debug.txt* "$BURST_LOGS"/ 2>/dev/null
e2e_finish
