# The Wine lab: a virtual X display with RandR monitors, a window manager and a fresh Wine prefix,
# for running the real Windows programs. Source this file; it defines lab_* functions and sets
# nothing else up by itself.
#
#   lab_up [LAYOUT]        start display + openbox + prefix (stopped again by lab_down / on exit)
#   lab_attach_or_up L     reuse the lab named by LAB_ROOT if it still answers, else lab_up L
#   lab_layout LAYOUT      two | three | mixed | stacked | negative | single, or "WxH+X+Y ...";
#                          ends the prefix's programs first
#   lab_hotplug LAYOUT     change the monitors under running programs and make Wine notice
#   lab_displaychange      make running Wine programs re-read the monitors (WM_DISPLAYCHANGE)
#   lab_run SECS EXE ARGS  run a Windows program under Wine with a time-out; returns its exit code
#   lab_monitors           what Wine reports (lsmon): "index left top right bottom primary device"
#   lab_shot FILE [N]      screenshot of the whole screen, or of RandR monitor N (0-based)
#   lab_down               stop everything this lab started, by process id
#
# Environment: LAB_TOOLS (folder with lsmon.exe and displaychange.exe; default build/win),
# LAB_BOOT_LOG (where wineboot's chatter goes). Exported for the programs: DISPLAY, WINEPREFIX,
# WINEDEBUG=-all, WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe= (no Mono/Gecko prompts, no
# menu entries or file associations written into the Linux desktop by installers).
# LAB_XSERVER=xephyr (opt-in; default xvfb): the display is a visible Xephyr window on the DISPLAY
# that lab_up finds, its screen the bounding box of lab_up's layout (later layouts must fit in it).

LAB_REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
: "${LAB_TOOLS:=$LAB_REPO/build/win}"
LAB_OWNED=0

lab_log() { echo "lab: $*" >&2; }
lab_die() { echo "lab: ERROR: $*" >&2; return 1; }

# Screen big enough for three 1920 monitors side by side or two 1080 ones stacked; monitors must
# stay inside it.
LAB_SCREEN=5760x2160

# Layouts in X coordinates, primary first: Wine makes the first RandR monitor \\.\DISPLAY1 at
# (0,0) and places the others relative to it, so "negative" puts the primary at X=1920 and the
# other monitor at X=0, which Wine reports at (-1920,0).
lab_layout_spec() {
  case "$1" in
    two)      echo "1920x1080+0+0 1920x1080+1920+0" ;;
    three)    echo "1920x1080+0+0 1920x1080+1920+0 1920x1080+3840+0" ;;
    mixed)    echo "1920x1080+0+0 2560x1440+1920+0" ;;
    stacked)  echo "1920x1080+0+0 1920x1080+0+1080" ;;
    negative) echo "1920x1080+1920+0 1920x1080+0+0" ;;
    single)   echo "1920x1080+0+0" ;;
    *x*+*+*)  echo "$1" ;;
    *) return 1 ;;
  esac
}

lab_x_answers() { DISPLAY="$1" xdpyinfo >/dev/null 2>&1; }

# "WxH" that holds every monitor of a layout definition, measured from (0,0) so that X coordinates
# stay as the layout says.
lab_layout_box() {
  local geo w h x y bw=0 bh=0
  for geo in $1; do
    IFS='x+' read -r w h x y <<<"$geo"
    [ $((x + w)) -gt $bw ] && bw=$((x + w))
    [ $((y + h)) -gt $bh ] && bh=$((y + h))
  done
  echo "${bw}x${bh}"
}

# xrandr without the gamma complaint Xephyr's output draws on every call.
lab_xrandr() {
  local rc
  { xrandr "$@" 2>&1 1>&3 3>&- | grep -v 'Failed to get size of gamma' >&2; rc=${PIPESTATUS[0]}; } 3>&1
  return "$rc"
}

# Remembers a process we started so that lab_down stops exactly that one.
lab_track() { echo "$1 $2" >>"$LAB_ROOT/pids"; }

lab_start_display() {
  local n pid i server="${LAB_XSERVER:-xvfb}" name
  for n in $(seq $((90 + RANDOM % 60)) 199) $(seq 90 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    if [ "$server" = xephyr ]; then
      # Its own Ctrl+Shift grab (title says so) lets hotkeys past the host's window manager.
      DISPLAY="$LAB_HOST_DISPLAY" Xephyr ":$n" -screen "$LAB_SCREEN" -noreset -nolisten tcp \
        >"$LAB_ROOT/xvfb.log" 2>&1 &
      name=Xephyr
    else
      Xvfb ":$n" -screen 0 "${LAB_SCREEN}x24" -noreset -nolisten tcp >"$LAB_ROOT/xvfb.log" 2>&1 &
      name=Xvfb
    fi
    pid=$!
    for i in $(seq 1 100); do
      if lab_x_answers ":$n"; then
        lab_track "$pid" "$name"
        LAB_DISPLAY=":$n"
        echo "$LAB_DISPLAY" >"$LAB_ROOT/display"
        export DISPLAY="$LAB_DISPLAY"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    # Lost a race for this number (or the server hung): try the next one.
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  done
  lab_die "could not start a virtual X display ($name); last log:"
  sed 's/^/  /' "$LAB_ROOT/xvfb.log" >&2
  return 1
}

lab_start_wm() {
  openbox --sm-disable --config-file "$LAB_REPO/scripts/lab/openbox-rc.xml" >"$LAB_ROOT/openbox.log" 2>&1 &
  local pid=$! i
  lab_track "$pid" openbox
  # openbox owns WM_S0 once it manages the screen.
  for i in $(seq 1 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  lab_die "openbox did not start; log:"; sed 's/^/  /' "$LAB_ROOT/openbox.log" >&2
  return 1
}

# Sets the RandR monitors; does not tell Wine (see lab_layout).
lab_randr() {
  local layout_def="$1" name geo w h x y out i=0
  # Our own monitors go; the server's automatic one ("+name") is replaced by the first of ours.
  for name in $(lab_xrandr --listmonitors | awk 'NR > 1 && $2 !~ /^\+/ { sub(/^\*/, "", $2); print $2 }'); do
    lab_xrandr --delmonitor "$name" >/dev/null || return 1
  done
  out=$(lab_xrandr | awk '/ connected/ { print $1; exit }')
  [ -n "$out" ] || { lab_die "no connected RandR output"; return 1; }
  for geo in $layout_def; do
    IFS='x+' read -r w h x y <<<"$geo"
    # Physical size for 96 dpi, so nothing reports a strange scale.
    lab_xrandr --setmonitor "LAB$i" "$w/$((w * 254 / 960))x$h/$((h * 254 / 960))+$x+$y" \
      "$([ $i -eq 0 ] && echo "$out" || echo none)" >/dev/null || return 1
    i=$((i + 1))
  done
}

lab_prefix_init() {
  export WINEPREFIX="$LAB_ROOT/prefix"
  local t0=$SECONDS log="${LAB_BOOT_LOG:-$LAB_ROOT/wineboot.log}"
  {
    wineboot -i &&
      wine winecfg -v win10 &&
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f
  } >>"$log" 2>&1 || { lab_die "Wine prefix set-up failed; log: $log"; tail -20 "$log" >&2; return 1; }
  # The programs' font is Tahoma; this Wine does not look in its own font folder, and without it
  # every dialog falls back to a wider face that cuts texts which fit on Windows.
  local f
  for f in /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf; do
    [ -f "$f" ] && ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  # The X11 driver reads UseXRandR when it starts: restart the prefix's processes.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  LAB_BOOT_SECONDS=$((SECONDS - t0))
  lab_log "Wine prefix ready in ${LAB_BOOT_SECONDS}s ($WINEPREFIX)"
}

lab_write_env() {
  cat >"$LAB_ROOT/env" <<EOF
export LAB_ROOT='$LAB_ROOT'
export DISPLAY='$DISPLAY'
export WINEPREFIX='$WINEPREFIX'
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe='
EOF
}

# Starts the whole lab. With LAB_KEEP=1 nothing is stopped when this shell exits (the lab command
# uses that to hand the lab to later commands).
lab_up() {
  local layout="${1:-two}" layout_def
  command -v Xvfb >/dev/null && command -v wine >/dev/null && command -v openbox >/dev/null ||
    { lab_die "Xvfb, openbox or wine missing: run scripts/setup.sh"; return 1; }
  layout_def="$(lab_layout_spec "$layout")" || { lab_die "unknown layout '$layout'"; return 1; }
  case "${LAB_XSERVER:-xvfb}" in
    xvfb) ;;
    xephyr)
      command -v Xephyr >/dev/null || { lab_die "Xephyr missing: run scripts/setup.sh"; return 1; }
      LAB_HOST_DISPLAY="${LAB_HOST_DISPLAY:-${DISPLAY:-}}"
      [ -n "$LAB_HOST_DISPLAY" ] && lab_x_answers "$LAB_HOST_DISPLAY" ||
        { lab_die "LAB_XSERVER=xephyr needs a display to show on (DISPLAY='$LAB_HOST_DISPLAY' does not answer)"; return 1; }
      LAB_SCREEN="$(lab_layout_box "$layout_def")" ;;
    *) lab_die "LAB_XSERVER must be xvfb or xephyr, not '$LAB_XSERVER'"; return 1 ;;
  esac
  LAB_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/tessary-lab.XXXXXX")" || return 1
  export LAB_ROOT WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe='
  : >"$LAB_ROOT/pids"
  LAB_OWNED=1
  [ "${LAB_KEEP:-0}" = 1 ] || trap 'lab_down' EXIT
  lab_start_display || return 1
  lab_start_wm || return 1
  lab_randr "$layout_def" || { lab_die "invalid layout '$layout'"; return 1; }
  lab_prefix_init || return 1
  lab_write_env
  lab_log "display $DISPLAY, layout $layout, state in $LAB_ROOT"
}

# Reuses a running lab (the test runner starts one for all end-to-end scripts) so that a prefix
# boots once per run; starts a private one otherwise.
lab_attach_or_up() {
  if [ -n "${LAB_ROOT:-}" ] && [ -f "$LAB_ROOT/env" ]; then
    # shellcheck disable=SC1091
    . "$LAB_ROOT/env"
    if lab_x_answers "$DISPLAY"; then
      LAB_OWNED=0
      lab_layout "$1"
      return
    fi
    lab_log "lab in $LAB_ROOT no longer answers; starting a new one"
  fi
  lab_up "$1"
}

# Between programs: the prefix restarts, so the next program reads the new monitors from scratch.
lab_layout() {
  local layout_def
  layout_def="$(lab_layout_spec "$1")" || { lab_die "unknown layout '$1'"; return 1; }
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  lab_randr "$layout_def" || { lab_die "xrandr could not set layout '$1'"; return 1; }
}

# While programs run (a monitor goes away or comes back): Wine re-reads the monitors and every
# top-level window gets WM_DISPLAYCHANGE. Wine 8 refused this (DISP_CHANGE_FAILED) going from
# "three" to "mixed"; one or two monitors changing works.
lab_hotplug() {
  local layout_def
  layout_def="$(lab_layout_spec "$1")" || { lab_die "unknown layout '$1'"; return 1; }
  lab_randr "$layout_def" || { lab_die "xrandr could not set layout '$1'"; return 1; }
  lab_displaychange
}

lab_tool() {
  local exe="$LAB_TOOLS/$1.exe"
  [ -f "$exe" ] || { lab_die "$exe missing (cross-build the tests/e2e/tools first)"; return 1; }
  echo "$exe"
}

lab_displaychange() {
  local exe
  exe="$(lab_tool displaychange)" || return 1
  lab_run 30 "$exe"
}

# Exit code of the program; 124 when it ran into the time-out (then it is killed).
lab_run() {
  local secs="$1"; shift
  timeout -k 5 "$secs" wine "$@" </dev/null
}

lab_monitors() {
  local exe
  exe="$(lab_tool lsmon)" || return 1
  lab_run 30 "$exe" | tr -d '\r'
}

lab_shot() {
  local file="$1" index="${2:-}" geo
  import -window root -display "$DISPLAY" "$file" || return 1
  [ -z "$index" ] && return 0
  geo=$(lab_xrandr --listmonitors | awk -v i="$index:" '$1 == i { print $3 }') # W/mmxH/mm+X+Y
  [ -n "$geo" ] || { lab_die "no monitor $index"; return 1; }
  geo=$(sed -E 's#^([0-9]+)/[0-9]+x([0-9]+)/[0-9]+#\1x\2#' <<<"$geo")
  convert "$file" -crop "$geo" +repage "$file"
}

lab_down() {
  [ "$LAB_OWNED" = 1 ] && [ -n "${LAB_ROOT:-}" ] && [ -d "$LAB_ROOT" ] || return 0
  LAB_OWNED=0
  if [ -d "${WINEPREFIX:-}" ]; then WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true; fi
  local pid name i
  # Newest first: the window manager before its display.
  while read -r pid name; do
    # Only if the id still belongs to what we started.
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || continue
    kill "$pid" 2>/dev/null || true
    for i in $(seq 1 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done < <(tac "$LAB_ROOT/pids" 2>/dev/null)
  rm -rf "$LAB_ROOT"
  return 0
}
