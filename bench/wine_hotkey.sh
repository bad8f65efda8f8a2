#!/usr/bin/env bash
# Hotkey latency under Wine: the time from a Ctrl+Alt+Right / Ctrl+Alt+Left press (injected
# keyboard input, timed by keylatency.exe) to the window in front being at its place on the other
# monitor, for Tessary.exe with those hotkeys enabled against minihotkey.exe, a program that
# registers the same keys and does only the placement calls. Prints the medians and their ratio.
# Not a test: figures depend on the machine.
#
#   bash bench/wine_hotkey.sh [N]   (presses per program, default 40; LAB_TOOLS = cross-built programs)
set -uo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
N="${1:-40}"
: "${LAB_TOOLS:=$REPO/build/win}"
. "$REPO/tests/e2e/lib/harness.sh"
lab_attach_or_up two || { echo "lab did not start" >&2; exit 1; }
trap 'e2e_cleanup; lab_down' EXIT
e2e_tools testwin,dlgtext || exit 1
minihotkey="$(lab_tool minihotkey)" && keylatency="$(lab_tool keylatency)" || exit 1
E2E_OUT="$LAB_ROOT/bench-hotkey"
mkdir -p "$E2E_OUT"
exe="$(e2e_private_exe bench-hotkey)" || { echo "Tessary.exe not built in $LAB_TOOLS" >&2; exit 1; }
printf '[Hotkeys]\r\ncbMoveLeft=1\r\ncbMoveRight=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\n' \
  >"$(dirname "$exe")/Tessary.ini"

win_open bench 480 270 960 540 normal || { echo "test window did not open" >&2; exit 1; }

median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# presses NAME COUNT: COUNT presses, right and left in turn, each timed into NAME's series.
presses() {
  local i out
  for i in $(seq 1 "$2"); do
    win_front bench
    if [ $((i % 2)) -eq 1 ]; then out="$(lab_run 30 "$keylatency" bench right 2400 | tr -d '\r')"
    else out="$(lab_run 30 "$keylatency" bench left 480 | tr -d '\r')"; fi
    case "$out" in
      [0-9]*) echo "$out" >>"$E2E_OUT/$1.ms" ;;
      *) echo x >>"$E2E_OUT/$1.missed" ;;
    esac
    sleep 0.2  # well past the repeat window
  done
  # Both programs start from the left monitor.
  [ "$(win_rect bench)" = "480 270 1440 810" ] || { win_front bench; lab_run 30 "$keylatency" bench left 480 >/dev/null; }
}

tessary_block() {
  tessary_start "$exe" || { echo "Tessary.exe did not start" >&2; exit 1; }
  sleep 1
  presses Tessary "$1"
  tessary_stop || echo "Tessary.exe had to be killed" >&2
}
minihotkey_block() {
  local pid try
  # The keys come free a moment after Tessary.exe has ended.
  for try in 1 2 3 4 5 6 7 8 9 10; do
    lab_run 600 "$minihotkey" >"$E2E_OUT/minihotkey.txt" 2>&1 &
    pid=$!
    e2e_wait_for "$E2E_OUT/minihotkey.txt" '^(ready|refused)' 30
    grep -q '^ready' "$E2E_OUT/minihotkey.txt" && break
    wait "$pid" 2>/dev/null
    sleep 1
  done
  grep -q '^ready' "$E2E_OUT/minihotkey.txt" || { echo "minihotkey: $(cat "$E2E_OUT/minihotkey.txt")" >&2; exit 1; }
  presses minihotkey "$1"
  tw --close-class TessaryBenchMiniHotkey >/dev/null
  wait "$pid" 2>/dev/null
}

report() {
  local f="$E2E_OUT/$1.ms"
  printf '%-11s median %7.2f ms  (min %s, max %s; %d presses, %d missed)\n' "$1" "$(median <"$f")" \
    "$(sort -n "$f" | head -1)" "$(sort -n "$f" | tail -1)" "$(wc -l <"$f")" \
    "$(cat "$E2E_OUT/$1.missed" 2>/dev/null | wc -l)"
}

# Blocks in the order T M M T, so that a drift of the machine's load hits both alike.
half=$(((N + 1) / 2))
echo "lab $DISPLAY, $N presses each"
tessary_block "$half"
minihotkey_block "$half"
minihotkey_block "$half"
tessary_block "$half"
report Tessary
report minihotkey
awk -v t="$(median <"$E2E_OUT/Tessary.ms")" -v m="$(median <"$E2E_OUT/minihotkey.ms")" \
  'BEGIN { printf "ratio Tessary/minihotkey (medians): %.2f\n", t / m }'
