#!/usr/bin/env bash
# The tray icon of the real Tessary.exe under Wine, driven by real mouse clicks on Wine's own
# "Wine System Tray" window: the icon is there; a right click opens the menu; "About" shows the
# About box; "Monitor Watcher" opens its submenu, "Disable" switches the watcher off (status line,
# grey icon) and "Enable" on again; "Exit  Tessary" ends the program with code 0 within a second,
# the icon goes and the two list files are there, empty. A screenshot of the open menu goes to
# E2E_SHOT_DIR (default: the lab's folder for this script).
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin tray --exe --tools testwin,dlgtext,uiprobe
exe="$E2E_EXE"
dir="$(dirname "$exe")"
SHOTS="${E2E_SHOT_DIR:-$E2E_OUT}"
mkdir -p "$SHOTS"

# Mean colour saturation (0..1) of the icon's 16 x 16 pixels: about 0.14 for the blue and orange
# picture on the tray's white, none for the grey one.
icon_saturation() {
  import -window root -display "$DISPLAY" "$E2E_OUT/icon.png" 2>/dev/null &&
    convert "$E2E_OUT/icon.png" -crop "16x16+$((ICON_X - 8))+$((ICON_Y - 8))" +repage -colorspace HSL \
      -channel G -separate -format '%[fx:mean]' info: 2>/dev/null
}
icon_now() { # grey|colour: the icon's colour now; ICON_SAT keeps the saturation measured
  ICON_SAT="$(icon_saturation)"
  if [ "$1" = grey ]; then awk -v s="${ICON_SAT:-1}" 'BEGIN { exit !(s < 0.05) }'
  else awk -v s="${ICON_SAT:-0}" 'BEGIN { exit !(s > 0.1) }'; fi
}
icon_is() { # grey|colour: waits up to 15 s (the tray's timer ticks every 1.3 s; a loaded machine lags)
  e2e_wait_until -i 0.2 15 icon_now "$1" && return 0
  echo "saturation ${ICON_SAT:-none}"
  return 1
}
main_lists() { grep -qF "$1" <<<"$(probe --list "$MAIN")"; }
status_shows() { e2e_wait_until -i 0.2 6 main_lists "$1"; } # TEXT: on the main window's status line or in its log

rm -f "$dir/disabled.ini" "$dir/noright.ini"
# A hotkey enabled, to see it released at the exit.
printf '[Hotkeys]\r\ncbMoveRight=1\r\nMOVERIGHT_HOTKEY=110027\r\n' >"$dir/Tessary.ini"
tessary_start "$exe" || { e2e_fail "Tessary.exe starts" "no instance window"; e2e_finish; }
# hotkey_free: whether another program can take Ctrl+Alt+Right (MOD_ALT | MOD_CONTROL, VK_RIGHT).
hotkey_free() { tw --hold-hotkey 3 39 0 | awk '{ print $1 }'; }
e2e_eq "the enabled hotkey is held while the program runs" "refused" "$(hotkey_free)"
e2e_wait_until 10 tray_shown
win="$(wine_tray_window)"
e2e_eq "the icon shows in Wine's system tray" 1 "$([ -n "$win" ] && echo 1 || echo 0)"
[ -n "$win" ] || e2e_finish
icon_at "$win"
probe --close "$MAIN" >/dev/null  # the start shows it; the tray brings it back
e2e_eq "the icon is in colour while the watcher is on" "" "$(icon_is colour)"

# The tray menu: "Monitor Watcher", "Restore Report", "Gather windows", "Start Tessary when I sign
# in", "About", "Exit  Tessary"; items are found by their text.
right_click_icon
menu="$(wait_menus 1)" || e2e_fail "right click opens the menu" "no menu within 3 s"
e2e_eq "right click opens one menu" 1 "$(grep -c . <<<"$menu")"
menu_click About
e2e_eq "\"About\" shows the About box" 0 "$(probe --wait "$ABOUT" 5 >/dev/null; echo $?)"
probe --close "$ABOUT" >/dev/null

# "Restore Report" shows the main window at the report's page; no restore has run yet.
right_click_icon
menu="$(wait_menus 1)" || e2e_fail "right click opens the menu for the report" "no menu within 3 s"
menu_click "Restore Report"
e2e_eq "\"Restore Report\" shows the report's page" 0 "$(status_shows "No restore has run since Tessary started."; echo $?)"
probe --close "$MAIN" >/dev/null

# "Monitor Watcher" opens its submenu: "Enable" (ticked), "Disable".
right_click_icon
menu="$(wait_menus 1)" || e2e_fail "right click opens the menu again" "no menu within 3 s"
menu_click "Monitor Watcher"
menus="$(wait_menus 2)"
sub="$(grep -vxF "$menu" <<<"$menus" | head -1)"
e2e_eq "\"Monitor Watcher\" opens a submenu" 1 "$([ -n "$sub" ] && echo 1 || echo 0)"
if [ -n "$sub" ]; then
  # The picture of the menu with its submenu open, beside the tray.
  read -r ml mt mr mb <<<"$menu"
  read -r sl st sr sb <<<"$sub"
  wg="$(xwininfo -id "$win")"
  tx="$(awk '/Absolute upper-left X:/ { print $4 }' <<<"$wg")" ty="$(awk '/Absolute upper-left Y:/ { print $4 }' <<<"$wg")"
  tw_="$(awk '/^ *Width:/ { print $2 }' <<<"$wg")" th="$(awk '/^ *Height:/ { print $2 }' <<<"$wg")"
  l=$(printf '%s\n' "$ml" "$sl" "$tx" | sort -n | head -1)
  t=$(printf '%s\n' "$mt" "$st" "$ty" | sort -n | head -1)
  r=$(printf '%s\n' "$mr" "$sr" "$((tx + tw_))" | sort -n | tail -1)
  b=$(printf '%s\n' "$mb" "$sb" "$((ty + th))" | sort -n | tail -1)
  l=$((l > 12 ? l - 12 : 0)) t=$((t > 12 ? t - 12 : 0))
  import -window root -display "$DISPLAY" "$E2E_OUT/menu-full.png" &&
    convert "$E2E_OUT/menu-full.png" -crop "$((r + 12 - l))x$((b + 12 - t))+$l+$t" +repage "$SHOTS/tray-menu.png"
  menu_click Disable
  e2e_eq "\"Disable\" switches the watcher off" 0 "$(status_shows "Monitor Watcher [Disabled]"; echo $?)"
  e2e_eq "the icon turns grey" "" "$(icon_is grey)"
fi

right_click_icon
menu="$(wait_menus 1)"
menu_click "Monitor Watcher"
menus="$(wait_menus 2)"
sub="$(grep -vxF "$menu" <<<"$menus" | head -1)"
if [ -n "$sub" ]; then
  menu_click Enable
  e2e_eq "\"Enable\" switches the watcher on" 0 "$(status_shows "Monitor Watcher [Enabled]"; echo $?)"
  e2e_eq "the icon is in colour again" "" "$(icon_is colour)"
else
  e2e_fail "\"Enable\" switches the watcher on" "no submenu"
fi

# "Gather windows": a program window off every monitor (x 4000 is past the second one) comes onto
# the primary with its size; one in view stays. The window manager may have placed the test window
# elsewhere past the monitors, so the check is where its middle lands.
win_open gather-off 4000 200 800 600 normal || e2e_fail "gather: window opens" "no ready line"
win_open gather-in 2100 150 700 500 normal || e2e_fail "gather: second window opens" "no ready line"
in0="$(win_rect gather-in)"
read -r gl gt gr gb <<<"$(win_rect gather-off)"
e2e_eq "gather: the test window starts off every monitor" 1 "$([ "${gl:-0}" -ge 3840 ] && echo 1 || echo "0 ($gl $gt $gr $gb)")"
right_click_icon
menu="$(wait_menus 1)" || e2e_fail "right click opens the menu to gather" "no menu within 3 s"
menu_click "Gather windows"
on_primary() {
  local l t r b
  read -r l t r b <<<"$(win_rect gather-off)"
  [ $(((l + r) / 2)) -ge 0 ] && [ $(((l + r) / 2)) -lt 1920 ] && [ $(((t + b) / 2)) -ge 0 ] &&
    [ $(((t + b) / 2)) -lt 1080 ] && [ $((r - l)) = $((gr - gl)) ] && [ $((b - t)) = $((gb - gt)) ]
}
e2e_wait_until -i 0.2 10 on_primary
e2e_eq "\"Gather windows\" brings the stranded window onto the primary, its size kept" 1 \
  "$(on_primary && echo 1 || echo "0 ($(win_rect gather-off))")"
e2e_eq "\"Gather windows\" leaves the window in view" "$in0" "$(win_rect gather-in)"
e2e_eq "\"Gather windows\" says what it did" 0 "$(status_shows "Gather windows: 1 brought onto the primary monitor"; echo $?)"
# Out of the way: a window brought to the primary's corner would cover Wine's tray.
win_close gather-off
win_close gather-in
probe --close "$MAIN" >/dev/null

# "Start Tessary when I sign in": ticked by a click, the current user's Run entry names this exe
# (quoted, no arguments); a second click removes it.
run_entry() {
  lab_run 30 reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Tessary 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *Tessary *REG_SZ *//p'
}
run_entry_is() { [ "$(run_entry)" = "$1" ]; }
want_entry="\"Z:${exe//\//\\}\""
for step in tick untick; do
  right_click_icon
  menu="$(wait_menus 1)" || e2e_fail "right click opens the menu to $step" "no menu within 3 s"
  menu_click "Start Tessary when I sign in"
  want="$([ $step = tick ] && echo "$want_entry")"
  e2e_wait_until -i 0.2 10 run_entry_is "$want"
  got="$(run_entry)"
  e2e_eq "sign-in: a click to $step leaves the Run entry as it should be" "$want" "$got"
done

# "Exit  Tessary": the process ends with 0 within a second, the icon goes, the lists are there.
right_click_icon
menu="$(wait_menus 1)"
menu_click "Exit  Tessary"
t0=$(date +%s%N)
e2e_wait_until -i 0.02 2 pid_ended "$TESSARY_PID"
t1=$(date +%s%N)
ended=1
kill -0 "$TESSARY_PID" 2>/dev/null && ended=0
e2e_eq "\"Exit  Tessary\" ends the program within a second" 1 "$([ $ended = 1 ] && [ $(((t1 - t0) / 1000000)) -le 1000 ] && echo 1 || echo "0 ($(((t1 - t0) / 1000000)) ms)")"
rc=124
if [ $ended = 1 ]; then wait "$TESSARY_PID"; rc=$?; fi
TESSARY_PID=""
e2e_eq "exit code" 0 "$rc"
tray_gone() { ! tray_shown; }
gone=0
e2e_wait_until 4 tray_gone && gone=1
e2e_eq "the icon is removed" 1 "$gone"
e2e_eq "no instance window is left" 0 "$(instance_count)"
e2e_eq "the hotkey is released" "ready" "$(hotkey_free)"
e2e_eq "disabled.ini and noright.ini are written, empty" "0 0" \
  "$(stat -c %s "$dir/disabled.ini" 2>/dev/null || echo none) $(stat -c %s "$dir/noright.ini" 2>/dev/null || echo none)"
e2e_finish
