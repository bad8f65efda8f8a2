#!/usr/bin/env bash
# Builds Tessary.exe and runs it under Wine on the lab's multi-monitor display.
#
# Where you see it:
#   - With a desktop of your own (DISPLAY answers, not CI): the lab's monitors in a window (Xephyr),
#     to use with mouse and keyboard. Press Ctrl+Shift inside it to grab mouse and keyboard, so that
#     hotkeys (Ctrl+Alt+arrows) reach Tessary rather than your desktop; Ctrl+Shift again lets go.
#     The window is as big as the monitors together (3840x1080 for "two"); if that is bigger than
#     your screen, pick smaller monitors: TESSARY_LAYOUT="960x540+0+0 960x540+960+0".
#   - Without one: an invisible display; build/run/screen.png is refreshed every 2 s (the monitors'
#     area), and the script prints how to take a screenshot or send keys/clicks yourself.
#   TESSARY_VIEW=window|screenshots overrides the choice.
#
# TESSARY_LAYOUT picks the monitors: two, three, mixed, stacked, negative, single (default two), or
# your own "WxH+X+Y ..." (X coordinates, primary first, all at X,Y >= 0).
# TESSARY_TIMEOUT=SECS ends it after that long. Tessary ends through its tray icon (a right click
# on it in Wine's "Wine System Tray" window, then "Exit  Tessary"); everything this script started
# stops then (Ctrl+C and closing the Xephyr window work too). Arguments go to Tessary.exe.
set -euo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$REPO"

bash scripts/setup.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/win -j2 --target Tessary displaychange lsmon

export LAB_TOOLS="$REPO/build/win"
. scripts/lab/lib.sh
trap 'exit 130' INT
trap 'exit 143' TERM

layout="${TESSARY_LAYOUT:-two}"
layout_def="$(lab_layout_spec "$layout")" ||
  { echo "run: ERROR: unknown layout '$layout' (two, three, mixed, stacked, negative, single or \"WxH+X+Y ...\")" >&2; exit 2; }
box="$(lab_layout_box "$layout_def")"

view="${TESSARY_VIEW:-}"
if [ -z "$view" ]; then
  view=screenshots
  if [ -n "${CI:-}" ]; then
    echo "run: CI: no window, screenshots instead"
  elif [ -z "${DISPLAY:-}" ]; then
    echo "run: no DISPLAY: no window, screenshots instead"
  elif ! lab_x_answers "$DISPLAY"; then
    echo "run: DISPLAY=$DISPLAY does not answer: no window, screenshots instead"
  else
    view=window
  fi
fi

# The layout with every number divided by F.
scaled_layout() {
  local geo w h x y out=""
  for geo in $layout_def; do
    IFS='x+' read -r w h x y <<<"$geo"
    out="${out:+$out }$((w / $1))x$((h / $1))+$((x / $1))+$((y / $1))"
  done
  echo "$out"
}

case "$view" in
  window)
    host_size="$(xdpyinfo -display "$DISPLAY" | awk '/dimensions:/ && !seen { print $2; seen = 1 }')"
    IFS=x read -r hw hh <<<"$host_size"
    IFS=x read -r bw bh <<<"$box"
    fit=1
    while [ $((bw / fit)) -gt "$hw" ] || [ $((bh / fit)) -gt "$hh" ]; do fit=$((fit * 2)); done
    host_display="$DISPLAY"
    LAB_XSERVER=xephyr LAB_HOST_DISPLAY="$host_display" lab_up "$layout"
    ;;
  screenshots)
    LAB_XSERVER=xvfb lab_up "$layout"
    ;;
  *) echo "run: ERROR: TESSARY_VIEW must be window or screenshots, not '$view'" >&2; exit 2 ;;
esac

echo "run: monitors as Windows sees them:"
lab_monitors | sed 's/^/  /'

if [ "$view" = window ]; then
  echo "run: the monitors ($box) are in the window \"Xephyr on $DISPLAY.0\" on $host_display."
  echo "run: Ctrl+Shift in it grabs mouse and keyboard (hotkeys then reach Tessary); Ctrl+Shift again releases."
  if [ "$fit" -gt 1 ]; then
    echo "run: NOTE: the window is bigger than your screen ($host_size); monitors that fit:"
    echo "run:   TESSARY_LAYOUT=\"$(scaled_layout "$fit")\" bash scripts/run.sh"
  else
    echo "run: too big for your screen? smaller monitors, e.g. half size: TESSARY_LAYOUT=\"$(scaled_layout 2)\" bash scripts/run.sh"
  fi
else
  shots="$REPO/build/run"
  mkdir -p "$shots"
  # Refreshes the picture while Tessary runs (a viewer never sees half a file); lab_down stops it
  # before the display, and a picture being taken is finished or thrown away.
  (
    set +e
    nap=""
    trap 'if [ -n "$nap" ]; then kill "$nap" 2>/dev/null; fi; rm -f "$shots/screen.tmp.png"; exit 0' TERM
    while :; do
      import -window root -display "$DISPLAY" -crop "$box+0+0" +repage "$shots/screen.tmp.png" 2>/dev/null &&
        mv -f "$shots/screen.tmp.png" "$shots/screen.png"
      sleep 2 & nap=$!
      wait "$nap"
      nap=""
    done
  ) &
  lab_track $! bash
  echo "run: the screen (monitors $box) is in $shots/screen.png, refreshed every 2 s."
  echo "run: view it in an editor's image preview (remote editors reload it), or copy it (scp) to a desktop."
  echo "run: one now, from another shell: LAB_ROOT=$LAB_ROOT $REPO/scripts/lab/lab shot FILE [MONITOR]"
  echo "run: clicks and keys there: . $LAB_ROOT/env; xdotool mousemove X Y click 1; xdotool key ctrl+alt+Right"
fi
echo "run: Tessary.exe on display $DISPLAY"
set +e
# In the foreground, so that its exit (or Ctrl+C) ends the script; the lab goes down on the way out.
if [ -n "${TESSARY_TIMEOUT:-}" ]; then
  lab_run "$TESSARY_TIMEOUT" build/win/Tessary.exe "$@"
else
  wine build/win/Tessary.exe "$@"
fi
rc=$?
echo "run: Tessary.exe ended with exit code $rc"
exit "$rc"
