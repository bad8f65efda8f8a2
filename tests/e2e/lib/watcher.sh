# shellcheck shell=bash
# A monitor's sleep and wake the way Windows does them, for the watcher scripts (sourced by
# harness.sh; needs the tools devchange, uiprobe and dlgtext): the monitor's device interface
# is removed (devchange.exe sends what Windows sends; Wine never does), the monitor goes
# (lab_hotplug) and the system pushes its windows onto the remaining one (testwin --place); the wake
# is the reverse. Also the start of a private Tessary.exe and the programs of a scenario.

# watcher_start NAME INI: a fresh private copy with that Tessary.ini beside it, running as the instance.
watcher_start() {
  exe="$(e2e_private_exe "watcher-$1")" || { e2e_fail "$1: Tessary.exe exists" "not built"; return 1; }
  printf '%b' "$2" >"$(dirname "$exe")/Tessary.ini"
  tessary_start "$exe" || { e2e_fail "$1: Tessary.exe starts" "no instance window within 20 s"; return 1; }
  probe --wait "$MAIN" 20 >/dev/null || e2e_fail "$1: the main window shows" "no visible $MAIN within 20 s"
}

# watcher_programs PREFIX: the programs of a scenario: two on the monitor that will sleep (one maximized), one on the other.
watcher_programs() {
  win_open "$1-a" 2400 270 960 540 normal || e2e_fail "$1: window a opens" "no ready line"
  win_open "$1-b" 2200 150 800 600 max || e2e_fail "$1: window b opens" "no ready line"
  win_open "$1-c" 300 200 800 500 normal || e2e_fail "$1: window c opens" "no ready line"
  # The watcher's snapshot runs every TopProgramsIntervalMS (1000 here) and shows nowhere but in
  # the log, which only the debug window's Save gives: two of them are waited out.
  sleep 2.5
}

devchange() { lab_run 30 "${E2E_TOOL[devchange]}" "$@" >>"$E2E_OUT/devchange.txt" 2>&1; }

# monitor_sleeps PREFIX [W...]: the right-hand monitor sleeps; windows PREFIX-W (default a and b)
# are pushed to the same place on the primary (a maximized one stays maximized there).
monitor_sleeps() {
  local p="$1" w r
  shift
  [ $# -gt 0 ] || set -- a b
  devchange removal
  lab_hotplug single >/dev/null 2>&1 || e2e_fail "$p: hot-plug to one monitor" "lab_hotplug single failed"
  for w in "$@"; do
    r=($(win_rect "$p-$w"))
    [[ "${r[0]}" =~ ^-?[0-9]+$ ]] || { e2e_fail "$p: window $w found before the sleep" "${r[*]}"; continue; }
    tw --place "$p-$w" $((r[0] - 1920)) "${r[1]}" $((r[2] - r[0])) $((r[3] - r[1])) >/dev/null ||
      e2e_fail "$p: window $w pushed to the primary" "testwin --place failed"
  done
}

monitor_wakes() {
  lab_hotplug two >/dev/null 2>&1 || e2e_fail "$1: hot-plug back to two monitors" "lab_hotplug two failed"
  devchange arrival
}

# Waits up to SECS for window W to reach RECT; prints the seconds it took (or "never").
wait_rect() {
  local t0=$SECONDS
  e2e_wait_until -i 0.2 "$3" win_at "$1" "$2" && { echo $((SECONDS - t0)); return 0; }
  echo never
  return 1
}

# 1 when the main window is shown, 0 when not.
main_visible() { probe --list "$MAIN" 2>/dev/null | grep -c '^WINDOW.*visible=1'; }

# saved_log NAME: the log, through the debug window's Save button, into $E2E_OUT/log-NAME.txt:
# oldest line first, without the time. Not in a command substitution: its failures must count.
saved_log() {
  local dir
  dir="$(dirname "$exe")"
  rm -f "$E2E_OUT/log-$1.txt"
  # A hidden main window is shown again by a later start without arguments, as a user does.
  if [ "$(main_visible)" = 0 ]; then
    lab_run 30 "$exe" >/dev/null 2>&1
    probe --wait "$MAIN" 10 >/dev/null
  fi
  if ! ui_click "$MAIN" "Debug"; then
    probe --list "$MAIN" >"$E2E_OUT/main-$1.txt" 2>&1
    e2e_fail "$1: click Debug" "no visible button \"Debug\" (the main window: $E2E_OUT/main-$1.txt)"
    return 1
  fi
  probe --wait "$DEBUG" 10 >/dev/null || { e2e_fail "$1: the debug window opens" "no $DEBUG"; return 1; }
  rm -f "$dir/Debug.txt"
  ui_click "$DEBUG" "Save" || e2e_fail "$1: click Save" "no visible button \"Save\""
  dlgtext --read-and-close Tessary.exe 10 >/dev/null
  probe --close "$DEBUG" >/dev/null
  [ -f "$dir/Debug.txt" ] || { e2e_fail "$1: Save writes Debug.txt" "no $dir/Debug.txt"; return 1; }
  iconv -f UTF-16LE -t UTF-8 "$dir/Debug.txt" 2>/dev/null | tr -d '\r' | sed 's/^\xEF\xBB\xBF//' | tac |
    sed -E 's/^[0-9:. ]*([AP]M)?:(\(x\))? (>+ )?//' >"$E2E_OUT/log-$1.txt"
  if [ -n "${E2E_KEEP:-}" ]; then cp "$dir/Debug.txt" "$E2E_KEEP/Debug-$1.txt"; fi
}
