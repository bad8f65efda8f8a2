#!/usr/bin/env bash
# Whole-process cost of one move under Wine: N starts of "Tessary.exe -mf right|left" (a later
# start handing its command line to the running instance, which moves the foreground window)
# against N starts of minimove.exe, a program that makes only the placement calls. Prints the
# median wall time of each and their ratio. Not a test: figures depend on the machine.
#
#   bash bench/wine_move.sh [N]      (default 10; LAB_TOOLS = folder of the cross-built programs)
set -uo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
N="${1:-10}"
: "${LAB_TOOLS:=$REPO/build/win}"
. "$REPO/tests/e2e/lib/harness.sh"
lab_attach_or_up two || { echo "lab did not start" >&2; exit 1; }
trap 'e2e_cleanup; lab_down' EXIT
e2e_tools testwin,dlgtext || exit 1
minimove="$(lab_tool minimove)" || exit 1
E2E_OUT="$LAB_ROOT/bench"
exe="$(e2e_private_exe bench)" || { echo "Tessary.exe not built in $LAB_TOOLS" >&2; exit 1; }

LEFT="480 270 1440 810"
RIGHT="2400 270 3360 810"

tessary_start "$exe" || { echo "Tessary.exe did not start as the running instance" >&2; exit 1; }
win_open bench 480 270 960 540 normal || { echo "test window did not open" >&2; exit 1; }

median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }

# timed_move NAME WANT CMD...: one whole-process run, its wall time appended to NAME's series.
timed_move() {
  local name="$1" want="$2" t0 t1; shift 2
  win_front bench
  t0=$(date +%s%N)
  lab_run 30 "$@" >/dev/null 2>&1
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000)) >>"$E2E_OUT/$name.ms"
  [ "$(win_rect bench)" = "$want" ] || echo x >>"$E2E_OUT/$name.missed"
}

report() {
  local f="$E2E_OUT/$1.ms"
  printf '%-16s median %5d ms  (min %d, max %d; %d of %d moves missed)\n' "$1" "$(median <"$f")" \
    "$(sort -n "$f" | head -1)" "$(sort -n "$f" | tail -1)" \
    "$(cat "$E2E_OUT/$1.missed" 2>/dev/null | wc -l)" "$(wc -l <"$f")"
}

# The two programs take turns, each moving right and left alternately, so that a change of the
# machine's load during the run hits both series alike.
echo "lab $DISPLAY, $N runs each"
for i in $(seq 1 "$N"); do
  if [ $((i % 2)) -eq 1 ]; then
    timed_move Tessary "$RIGHT" "$exe" -mf right
    timed_move minimove "$LEFT" "$minimove" left
  else
    timed_move minimove "$RIGHT" "$minimove" right
    timed_move Tessary "$LEFT" "$exe" -mf left
  fi
done
report Tessary
report minimove
t=$(median <"$E2E_OUT/Tessary.ms")
m=$(median <"$E2E_OUT/minimove.ms")
awk -v t="$t" -v m="$m" 'BEGIN { printf "ratio Tessary/minimove: %.2f\n", (m > 0 ? t / m : 0) }'
win_close bench
