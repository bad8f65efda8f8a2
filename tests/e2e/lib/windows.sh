# shellcheck shell=bash disable=SC2034
# Test windows and a running Tessary.exe for the end-to-end scripts (sourced by harness.sh; needs
# the tools testwin and, for message boxes, dlgtext). Every helper has a time-out; e2e_cleanup stops
# what these helpers started.

E2E_PIDS=()

# The program's window classes.
INSTANCE_CLASS=Tessary.FrmDummyInstance
MAIN=Tessary.FrmMain
DEBUG=Tessary.FrmDebug
ABOUT=Tessary.FrmAbout

# A private copy of Tessary.exe: its data folder is its own folder, so settings and log stay apart
# from the build and from other scripts.
e2e_private_exe() {
  local src="${TESSARY_EXE:-$LAB_TOOLS/Tessary.exe}" dir="$LAB_ROOT/$1"
  [ -f "$src" ] || return 1
  rm -rf "$dir" && mkdir -p "$dir" && cp "$src" "$dir/Tessary.exe" && echo "$dir/Tessary.exe"
}

tw() { lab_run 30 "${E2E_TOOL[testwin]}" "$@" | tr -d '\r'; }
# dlgtext ARGS...: the message boxes of a program (--read-and-close EXE SECS, --count EXE).
dlgtext() { lab_run 60 "${E2E_TOOL[dlgtext]}" "$@" | tr -d '\r'; }

# A test's windows and Tessary.exe end by themselves after a while (testwin's own 120 s, then these
# time-outs), so that a stuck script leaves nothing behind; a long run exports E2E_LIFE_SECS.
e2e_life() { echo $((${E2E_LIFE_SECS:-0} > 0 ? E2E_LIFE_SECS + 30 : $1)); }

# win_open TITLE L T W H normal|max|min: the window is up and in the foreground when this returns.
win_open() {
  local out="${E2E_OUT:-$LAB_ROOT}/win-$1.txt"
  lab_run "$(e2e_life 150)" "${E2E_TOOL[testwin]}" --open "$@" >"$out" 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_for "$out" '^ready' 30
}

# "l t r b" of the window's rectangle (or what the query said instead, so that a failure shows it).
win_rect() { tw --query "$1" | awk '/^RECT/ { print $2, $3, $4, $5; next } { print "query:", $0 }'; }
# win_settled TITLE: the window's rectangle once it has stayed the same for a second (at most 15 s):
# moves may still run after whatever asked for them has returned.
win_settled() {
  WS_LAST="" WS_SAME=0
  e2e_wait_until -i 0.25 15 win_same_4 "$1"
  echo "$WS_LAST"
}
win_same_4() {
  local now
  now="$(win_rect "$1")"
  if [ "$now" = "$WS_LAST" ]; then WS_SAME=$((WS_SAME + 1)); else WS_SAME=0; fi
  WS_LAST="$now"
  [ "$WS_SAME" -ge 4 ]
}
# One field of the query: min, max, mon or fg.
win_field() { tw --query "$1" | awk -v f="$2" '/^RECT/ { for (i = 6; i < NF; i++) if ($i == f) print $(i + 1) }'; }
win_front() { tw --front "$1" >/dev/null; }
win_close() { tw --close "$1" >/dev/null; }
# win_at TITLE "l t r b": whether the window is there now (for e2e_wait_until).
win_at() { [ "$(win_rect "$1")" = "$2" ]; }

instance_count() { tw --count-class "$INSTANCE_CLASS"; }

# Starts EXE without arguments as the running instance and waits for its instance window.
tessary_start() {
  local exe="$1" focus tray
  focus="$(xdotool getwindowfocus 2>/dev/null)"
  tray="$(wine_tray_window)"
  lab_run "$(e2e_life 300)" "$exe" >"${E2E_OUT:-$LAB_ROOT}/first-instance.txt" 2>&1 &
  TESSARY_PID=$!
  E2E_PIDS+=("$TESSARY_PID")
  e2e_wait_until -i 0.2 30 instance_up_or_ended "$TESSARY_PID"
  [ "$(instance_count)" = 1 ] || return 1
  [ -z "$tray" ] && give_back_focus "$focus"
  return 0
}
# instance_up_or_ended PID: the instance window is there, or the process that should make it ended.
instance_up_or_ended() { [ "$(instance_count)" = 1 ] || ! kill -0 "$1" 2>/dev/null; }
# tray_shown: Wine's tray window is on the screen.
tray_shown() { [ -n "$(wine_tray_window)" ]; }

# The X window of Wine's tray while it shows at least one icon (Wine hides it when none is left).
wine_tray_window() { xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -1; }

# Wine shows its tray in a window of its own when the first icon arrives and gives it the focus;
# on Windows the notification area never takes the foreground. The X window that had the focus
# before gets it back.
# On a loaded machine the tray can take the focus late, or again after it was given back: it is
# watched for a while after it first took it.
give_back_focus() {
  local before="$1" tray="" i quiet=0
  [ -n "$before" ] || return 0
  for i in $(seq 1 60); do
    [ -n "$tray" ] || tray="$(wine_tray_window)"
    if [ -n "$tray" ] && [ "$before" != "$tray" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$tray" ]; then
      xdotool windowactivate "$before" 2>/dev/null
      quiet=0
    elif [ -n "$tray" ]; then
      # Given back (or never taken) for 1.5 s: done.
      quiet=$((quiet + 1))
      [ "$quiet" -ge 15 ] && return 0
    fi
    sleep 0.1
  done
  return 0
}

# Ends the running instance by closing its instance window (the application's main window);
# the process is killed only when it does not end within 10 s. Returns 1 in that case.
tessary_stop() {
  [ -n "${TESSARY_PID:-}" ] || return 0
  local rc=0
  tw --close-class "$INSTANCE_CLASS" >/dev/null
  e2e_wait_until 10 pid_ended "$TESSARY_PID"
  if kill -0 "$TESSARY_PID" 2>/dev/null; then
    kill "$TESSARY_PID" 2>/dev/null
    rc=1
  fi
  wait "$TESSARY_PID" 2>/dev/null
  TESSARY_PID=""
  return $rc
}

pid_ended() { ! kill -0 "$1" 2>/dev/null; }

# tessary_mf EXE WORD...: one start of EXE with those arguments; sets MF_RC and MF_MS (wall time).
tessary_mf() {
  local exe="$1" t0 t1; shift
  t0=$(date +%s%N)
  lab_run 30 "$exe" "$@" >"${E2E_OUT:-$LAB_ROOT}/mf.txt" 2>&1
  MF_RC=$?
  t1=$(date +%s%N)
  MF_MS=$(((t1 - t0) / 1000000))
}

# tray_keep SECS: Wine's tray window shown (with an icon of a test program) for SECS seconds, as
# Windows' notification area always is: a Tessary.exe started meanwhile adds its icon without Wine
# showing the tray window then and handing it the focus. Returns once it shows.
tray_keep() {
  local out="${E2E_OUT:-$LAB_ROOT}/tray-keep.txt"
  lab_run $(($1 + 10)) "${E2E_TOOL[testwin]}" --tray-keep "$1" >"$out" 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_for "$out" '^ready' 30 && e2e_wait_until 5 tray_shown
}

e2e_cleanup() {
  local pid
  tessary_stop >/dev/null 2>&1
  for pid in "${E2E_PIDS[@]}"; do
    # The id is the background shell's: its timeout (which passes the signal on to the program)
    # would outlive it, and a test window with it for its whole life.
    pkill -TERM -P "$pid" 2>/dev/null
    kill "$pid" 2>/dev/null
  done
  E2E_PIDS=()
}
