#!/usr/bin/env bash
# Long sleep/wake runs, not part of the ordinary test runs.
#   scripts/soak.sh sim [cycles]    the simulated desktop (default 1000 cycles with 20 programs), in
#                                   the native and the sanitizer build: every cycle restores all, and
#                                   windows, icons, timers, hotkeys, device notifications, kernel
#                                   handles and threads stay flat; LeakSanitizer reports at the exit.
#   scripts/soak.sh wine [cycles]   the real Tessary.exe under Wine (default 50 cycles of the watcher
#                                   scenario against one running instance), sampling its memory and
#                                   handles every cycle; needs LAB_TOOLS with Tessary.exe and the
#                                   tests/e2e/tools (a cross build, see README "The Wine lab").
# Exit code 0 when every cycle restored exactly and the figures stayed flat.
set -uo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$REPO"

usage() { echo "usage: $0 sim|wine [cycles]" >&2; exit 2; }
[ $# -ge 1 ] || usage
MODE="$1"
CYCLES="${2:-}"
[ -z "$CYCLES" ] || [[ "$CYCLES" =~ ^[1-9][0-9]*$ ]] || usage

# ------------------------------------------------------------------ the simulated desktop
soak_sim() {
  local cycles="${CYCLES:-1000}" rc=0 tag dir flags t0
  for tag in native asan; do
    dir="$REPO/build/$tag"
    flags=()
    [ "$tag" = asan ] && flags=(-DTESSARY_SANITIZE=ON)
    echo "== $tag: building soak_sim"
    if ! { cmake -S "$REPO" -B "$dir" "${flags[@]}" >/dev/null && nice cmake --build "$dir" -j2 --target soak_sim >/dev/null; }; then
      echo "!! $tag: the build failed"
      rc=1
      continue
    fi
    echo "== $tag: $cycles cycles"
    t0=$SECONDS
    # LeakSanitizer runs at the exit of the asan build and fails it when anything leaked.
    local log="$dir/soak.log" code
    TESSARY_SOAK_CYCLES="$cycles" ASAN_OPTIONS=detect_leaks=1 "$dir/soak_sim" --gtest_color=no >"$log" 2>&1
    code=$?
    grep -E '^soak|Failure|FAILED|LeakSanitizer|SUMMARY|holds|after the first' "$log" | sed 's/^/   /'
    if [ "$code" -ne 0 ]; then
      echo "!! $tag: the soak failed (exit $code, log $log)"
      rc=1
    else
      echo "   $tag: flat, no leak reported ($((SECONDS - t0)) s)"
    fi
  done
  return $rc
}

# ------------------------------------------------------------------ the real program under Wine
# The Linux resident set of the wine process that runs Tessary.exe (the largest match).
wine_rss_kb() {
  local f pid best=0 rss
  for f in /proc/[0-9]*/cmdline; do
    tr '\0' ' ' 2>/dev/null <"$f" | grep -qiE 'soak[\\/]+Tessary\.exe' || continue
    pid="${f#/proc/}"
    pid="${pid%/cmdline}"
    rss="$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)"
    [ -n "$rss" ] && [ "$rss" -gt "$best" ] && best="$rss"
  done
  echo "$best"
}

# mean FILE COLUMN FROM TO: the mean of a column over the rows of cycles FROM..TO (integer).
mean() { awk -v c="$2" -v a="$3" -v b="$4" '$1 >= a && $1 <= b { s += $c; n++ } END { if (n) printf "%d\n", s / n; else print "" }' "$1"; }

soak_wine() {
  local cycles="${CYCLES:-50}" p=soak a0 b0 c0 cycle rss mem handles gdi user took bad=0 t0
  . "$REPO/tests/e2e/lib/harness.sh"
  lab_attach_or_up two || { echo "!! could not start the Wine lab"; return 1; }
  trap 'e2e_cleanup; lab_down' EXIT
  e2e_tools testwin,dlgtext,uiprobe,devchange,procmem || { echo "!! $E2E_TOOLS_MISSING missing in LAB_TOOLS"; return 1; }
  # Kept after the lab goes, for a failed run's logs.
  E2E_OUT="$REPO/build/soak-wine"
  rm -rf "$E2E_OUT" && mkdir -p "$E2E_OUT"
  # The programs and Tessary.exe must outlive every cycle (about 6 s each), not only an e2e script.
  export E2E_LIFE_SECS=$((120 + cycles * 20))
  export TESSARY_KEEP_LOG=1
  watcher_start "$p" '[Main]\r\nseDelay=1000\r\n[Hidden]\r\nTopProgramsIntervalMS=1000\r\n' || return 1
  watcher_programs "$p"
  a0="$(win_rect $p-a)"; b0="$(win_rect $p-b)"; c0="$(win_rect $p-c)"
  local table="$E2E_OUT/table.txt"
  : >"$table"
  printf '%6s %9s %9s %8s %6s %6s %6s %s\n' cycle rss_kb ws_kb priv_kb handles gdi user restored
  t0=$SECONDS
  for cycle in $(seq 1 "$cycles"); do
    monitor_sleeps "$p" a b
    monitor_wakes "$p"
    took="$(wait_rect "$p-a" "$a0" 20)"
    local ok=yes
    [ "$took" = never ] && ok=no
    [ "$(win_rect $p-b) $(win_field $p-b max)" = "$b0 1" ] || ok=no
    [ "$(win_rect $p-c)" = "$c0" ] || ok=no
    [ "$ok" = yes ] || bad=$((bad + 1))
    # Let the cycle end (the main window hides, the snapshot timer runs again) before sampling.
    sleep 1.5
    rss="$(wine_rss_kb)"
    mem="$(lab_run 30 "${E2E_TOOL[procmem]}" Tessary.exe | tr -d '\r')"
    read -r ws priv handles gdi user < <(awk '/^MEM pid/ { print $5, $7, $9, $11, $13 }' <<<"$mem")
    printf '%6d %9s %9s %8s %6s %6s %6s %s\n' "$cycle" "$rss" "${ws:--}" "${priv:--}" "${handles:--}" "${gdi:--}" \
      "${user:--}" "$ok" | tee -a "$table"
  done
  echo "wine soak: $cycles cycles in $((SECONDS - t0)) s; $((cycles - bad)) restored exactly, $bad not"
  # It ends as a user's session does (Exit), keeping the log: how much of any growth above is the
  # debug log, which is bounded (the newest 20,000 lines).
  if tessary_stop; then
    echo "exit: clean"
  else
    echo "exit: FAILED (killed after 10 s)"
    bad=$((bad + 1))
  fi
  local saved="${exe%/*}/Debug.txt" lines chars
  if [ -f "$saved" ]; then
    read -r lines chars < <(iconv -f UTF-16 -t UTF-8 "$saved" | wc -lm)
    echo "log: $lines lines, $chars characters ($((chars / cycles)) a cycle; kept in memory as UTF-16)"
  fi

  local verdict=0 col name margin early late
  if [ "$cycles" -lt 30 ]; then
    echo "verdict: none (needs 30 cycles: the mean of the last 10 against cycles 10-20)"
  else
    # column, name, margin: the last 10 cycles' mean may exceed the mean of cycles 10-20 by this.
    for figure in "2 rss_kb 5%" "3 ws_kb 5%" "4 priv_kb 5%" "5 handles 2" "6 gdi 2" "7 user 2"; do
      read -r col name margin <<<"$figure"
      early="$(mean "$table" "$col" 10 20)"
      late="$(mean "$table" "$col" $((cycles - 9)) "$cycles")"
      if [ -z "$early" ] || [ "$early" -le 0 ] 2>/dev/null; then
        echo "verdict $name: not counted here (Wine gives 0 or -1)"
        continue
      fi
      local limit
      case "$margin" in
        *%) limit=$((early + early * ${margin%\%} / 100)) ;;
        *) limit=$((early + margin)) ;;
      esac
      if [ "$late" -le "$limit" ]; then
        echo "verdict $name: flat (cycles 10-20 mean $early, last 10 mean $late, margin $margin)"
      else
        echo "verdict $name: GROWING (cycles 10-20 mean $early, last 10 mean $late, margin $margin)"
        verdict=1
      fi
    done
  fi
  [ "$bad" -eq 0 ] && [ "$verdict" -eq 0 ]
}

case "$MODE" in
  sim) soak_sim ;;
  wine) soak_wine ;;
  *) usage ;;
esac
