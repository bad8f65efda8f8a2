#!/usr/bin/env bash
# The Monitor Watcher's restore under Wine: PROGRAMS test windows on the second monitor, the
# monitor goes (device removal, the lab's monitor taken away, the windows pushed onto the primary)
# and comes back (the lab's monitor, a device arrival). Tessary's time runs from the end of the
# restore delay (the first "GTLP: Starting." of its log at least seDelay after the arrival, the
# fresh look at the windows) to the last window placed (the first change of each window to its
# rectangle in the windows' own traces, E2E_TRACE_POS); also to its report's "RR: arrangement"
# line when the log has one. Against minirestore.exe, which reads the same windows once and
# makes the same placement calls, from its start to the last window placed. The rounds take turns.
# Prints each round, both medians and their ratio. Not a test: figures depend on the machine.
#
#   bash bench/wine_restore.sh [PROGRAMS] [ROUNDS]     (default 20 and 5; LAB_TOOLS = cross build)
set -uo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
PROGRAMS="${1:-20}"
ROUNDS="${2:-5}"
DELAY_MS=1000
: "${LAB_TOOLS:=$REPO/build/win}"
export E2E_LIFE_SECS="${E2E_LIFE_SECS:-1800}" E2E_TRACE_POS=1
. "$REPO/tests/e2e/lib/harness.sh"
mini="$(lab_tool minirestore)" || exit 1
lab_attach_or_up two || { echo "lab did not start" >&2; exit 1; }
trap 'e2e_cleanup; lab_down' EXIT
e2e_tools testwin,dlgtext,devchange || exit 1
E2E_OUT="$LAB_ROOT/bench-restore"
rm -rf "$E2E_OUT" && mkdir -p "$E2E_OUT"
exe="$(e2e_private_exe bench-restore)" || { echo "Tessary.exe not built in $LAB_TOOLS" >&2; exit 1; }
dir="$(dirname "$exe")"
printf '[Main]\r\nseDelay=%d\r\n[Hidden]\r\nTopProgramsIntervalMS=500\r\n' "$DELAY_MS" >"$dir/Tessary.ini"

# The windows and their rectangles on the second monitor: "l t r b title" a line.
memory="$E2E_OUT/memory.txt"
: >"$memory"
for i in $(seq 1 "$PROGRAMS"); do
  win_open "rst$i" $((1920 + (i * 67) % 900)) $(((i * 41) % 500)) $((600 + (i * 13) % 300)) $((400 + (i * 7) % 200)) normal ||
    { echo "window $i did not open" >&2; exit 1; }
  echo "$(win_rect "rst$i") rst$i" >>"$memory"
done
# minirestore reads the file under Wine: its path as Wine names it.
wmemory="$(winepath -w "$memory" 2>/dev/null)"

# ms_of_day: "H:MM:SS.mmm [AP]M" (the log) or "HH:MM:SS.mmm" (the traces) as milliseconds.
TOD='function tod(s, ap,   p, h) { split(s, p, /[:.]/); h = p[1] + 0
  if (ap == "AM" && h == 12) h = 0
  if (ap == "PM" && h < 12) h += 12
  return ((h * 60 + p[2]) * 60 + p[3]) * 1000 + p[4] }'

# last_placed START_MS: the latest first arrival of a window at its rectangle from START_MS on;
# "missed N" when N windows never arrived.
last_placed() {
  local f title l t r b
  while read -r l t r b title; do
    f="$E2E_OUT/win-$title.txt"
    awk "$TOD"' $1 == "pos" && $3 == l && $4 == t && $5 == r && $6 == b { m = tod($2, "")
      if (m >= start) { print m; found = 1; exit } } END { if (!found) print "never" }' \
      start="$1" l="$l" t="$t" r="$r" b="$b" "$f"
  done <"$memory" | awk '$1 == "never" { miss++; next } $1 > last { last = $1 }
    END { if (miss) print "missed " miss; else print last }'
}

push() {
  lab_hotplug single >/dev/null 2>&1 || echo "lab_hotplug single failed" >&2
  lab_run 30 "$mini" --push -1920 "$wmemory" >/dev/null || echo "windows not pushed" >&2
}
back() { lab_run 60 "$mini" --wait 30 "$wmemory" | tr -d '\r'; }

tessary_round() {
  local n="$1" log="$E2E_OUT/log-$1.txt" start placed report
  rm -f "$dir/Debug.txt"
  TESSARY_KEEP_LOG=1 tessary_start "$exe" || { echo "round $n: Tessary.exe did not start" >&2; return 1; }
  sleep 1.5  # a snapshot of the windows in place (every 500 ms)
  devchange removal
  push
  sleep 1
  lab_hotplug two >/dev/null 2>&1 || echo "lab_hotplug two failed" >&2
  devchange arrival
  back >"$E2E_OUT/back-$n.txt"
  sleep 0.5
  tessary_stop || echo "round $n: Tessary.exe had to be killed" >&2
  # Newest line first in the file.
  iconv -f UTF-16LE -t UTF-8 "$dir/Debug.txt" 2>/dev/null | tr -d '\r' | sed 's/^\xEF\xBB\xBF//' | tac >"$log"
  read -r start report < <(awk "$TOD"' { sub(/:.*/, "", $2) }
    $0 ~ /WP: DEVICEARRIVAL/ && !arrived { arrived = tod($1, $2) }
    arrived && !start && /GTLP: Starting\./ && tod($1, $2) >= arrived + delay { start = tod($1, $2) }
    start && !report && /RR: arrangement/ { report = tod($1, $2) }
    END { print (start ? start : "none"), (report ? report : "none") }' delay="$DELAY_MS" "$log")
  [ "$start" = none ] && { echo "Tessary  round $n: no start of the restore in the log" >&2; return 1; }
  placed="$(last_placed "$start")"
  case "$placed" in
    missed*) echo "Tessary  round $n: $placed ($(cat "$E2E_OUT/back-$n.txt"))" ;;
    *) echo $((placed - start)) >>"$E2E_OUT/Tessary.ms"
       [ "$report" != none ] && echo $((report - start)) >>"$E2E_OUT/report.ms"
       echo "Tessary  round $n: last placed after $((placed - start)) ms$([ "$report" != none ] && echo ", report after $((report - start)) ms")" ;;
  esac
}

mini_round() {
  local n="$1" out start placed
  push
  sleep 1
  lab_hotplug two >/dev/null 2>&1 || echo "lab_hotplug two failed" >&2
  out="$(lab_run 60 "$mini" "$wmemory" | tr -d '\r')"
  start="$(awk "$TOD"' $1 == "start" { print tod($2, "") }' <<<"$out")"
  [ -n "$start" ] || { echo "minimal  round $n: $out" >&2; return 1; }
  placed="$(last_placed "$start")"
  case "$placed" in
    missed*) echo "minimal  round $n: $placed" ;;
    *) echo $((placed - start)) >>"$E2E_OUT/minimal.ms"
       echo "minimal  round $n: last placed after $((placed - start)) ms ($(grep '^took' <<<"$out"))" ;;
  esac
}

median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : int((a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }

echo "lab $DISPLAY, $PROGRAMS programs, $ROUNDS rounds each"
for i in $(seq 1 "$ROUNDS"); do
  if [ $((i % 2)) -eq 1 ]; then tessary_round "$i"; mini_round "$i"; else mini_round "$i"; tessary_round "$i"; fi
done
for s in Tessary minimal report; do
  [ -s "$E2E_OUT/$s.ms" ] || continue
  m="$(median <"$E2E_OUT/$s.ms")"
  printf '%-8s median %5d ms, %.1f ms a program (min %d, max %d; %d rounds)\n' "$s" "$m" \
    "$(awk -v m="$m" -v n="$PROGRAMS" 'BEGIN { print m / n }')" \
    "$(sort -n "$E2E_OUT/$s.ms" | head -1)" "$(sort -n "$E2E_OUT/$s.ms" | tail -1)" "$(wc -l <"$E2E_OUT/$s.ms")"
done
if [ -s "$E2E_OUT/Tessary.ms" ] && [ -s "$E2E_OUT/minimal.ms" ]; then
  awk -v t="$(median <"$E2E_OUT/Tessary.ms")" -v m="$(median <"$E2E_OUT/minimal.ms")" \
    'BEGIN { printf "ratio Tessary/minimal (to the last placed): %.2f\n", (m > 0 ? t / m : 0) }'
fi
