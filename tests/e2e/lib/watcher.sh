# shellcheck shell=bash
# A monitor's sleep and wake the way Windows does them, for the watcher scripts (source after
# windows.sh, once the lab is up and DEVCHANGE and E2E_OUT are set): the monitor's device interface
# is removed (devchange.exe sends what Windows sends; Wine never does), the monitor goes
# (lab_hotplug) and the system pushes its windows onto the remaining one (testwin --place); the wake
# is the reverse. Also the start of a private Tessary.exe and the programs of a scenario (needs
# ui.sh for probe).

MAIN=Tessary.FrmMain

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
  # The watcher's snapshot runs every TopProgramsIntervalMS (1000 here): let it see them.
  sleep 2.5
}

devchange() { lab_run 30 "$DEVCHANGE" "$@" >>"$E2E_OUT/devchange.txt" 2>&1; }

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
  local w="$1" want="$2" secs="$3" t0=$SECONDS i
  for i in $(seq 1 $((secs * 5))); do
    [ "$(win_rect "$w")" = "$want" ] && { echo $((SECONDS - t0)); return 0; }
    sleep 0.2
  done
  echo never
  return 1
}
