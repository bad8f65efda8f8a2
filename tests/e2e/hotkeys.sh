#!/usr/bin/env bash
# The global hotkeys as a user meets them under Wine, with real key presses through the X server:
# with a settings file that enables them, Ctrl+Alt+Right moves the window in front to the same
# rectangle on the other monitor and Ctrl+Alt+N (Move Next) wraps; a disabled hotkey does nothing;
# a key held down moves once; on stacked monitors the two keys move down and up. A combination
# another program holds is said on the status line, its box is unticked and the other hotkeys
# work. On the "Global Hotkeys" page a real click on "Set" opens the capture dialog in front, real
# keys show CTRL+ALT+LEFT and enable its "Set", Save writes 110025, and after a restart the key
# works.
# Pictures (an animation of the move, the capture dialog) go to E2E_SHOT_DIR when set.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin hotkeys --exe --tools testwin,uiprobe
exe="$E2E_EXE"
SHOTS="${E2E_SHOT_DIR:-$E2E_OUT}"
mkdir -p "$SHOTS"
ini="$(dirname "$exe")/Tessary.ini"

# Ctrl+Alt+Left stored but disabled; Ctrl+Alt+Right and Ctrl+Alt+N enabled.
printf '[Hotkeys]\r\ncbMoveLeft=0\r\ncbMoveRight=1\r\ncbMoveNext=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=11004E\r\n' >"$ini"

# rect_after TITLE BEFORE: the window's rectangle once it differs from BEFORE (or after 10 s).
rect_after() {
  e2e_wait_until 10 not_at "$1" "$2"
  win_rect "$1"
}
not_at() { ! win_at "$1" "$2"; }

# press TITLE KEYS: the keys pressed and let go while TITLE is in front; prints its rectangle
# after the move (or unchanged after 5 s).
press() {
  local before
  win_front "$1"
  before="$(win_rect "$1")"
  xdotool key --clearmodifiers "$2"
  rect_after "$1" "$before"
}

# move_frame SHOT OUT [CAPTION]: a frame of the animation: each monitor of the screenshot SHOT at a
# quarter of its size in a grey bezel, left to right, with CAPTION in Tahoma underneath. The font is
# given as a file: ImageMagick's default font needs packages a fresh machine may lack.
move_frame() {
  local geo screens=()
  for geo in $(xrandr --listmonitors | awk 'NR > 1 { print $3 }' |
    sed -E 's#^([0-9]+)/[0-9]+x([0-9]+)/[0-9]+#\1x\2#' | sort -t+ -k2,2n); do
    screens+=( '(' "$1" -crop "$geo" +repage -resize 25% -bordercolor '#5a5a5a' -border 5 ')' )
  done
  [ ${#screens[@]} -gt 0 ] || return 1
  convert "${screens[@]}" -bordercolor white -border 8 +append -background white -gravity south \
    -splice 0x34 -font /usr/share/wine/fonts/tahoma.ttf -pointsize 20 -fill black \
    -annotate +0+10 "${3:-}" +repage "$2"
}

# move_gif BEFORE AFTER KEYS OUT: the move as an endless animation, 1.2 s a frame (the last
# 1.8 s): the window in place, the keys pressed, the window on the other monitor.
move_gif() {
  local f="$E2E_OUT/frame"
  move_frame "$1" "$f-1.png" &&
    move_frame "$1" "$f-2.png" "$3" &&
    move_frame "$2" "$f-3.png" "$3" &&
    move_frame "$2" "$f-4.png" &&
    convert -loop 0 -delay 120 "$f-1.png" "$f-2.png" "$f-3.png" -delay 180 "$f-4.png" \
      +dither -layers Optimize "$4"
}

# The check box states of the hotkey page: "left right next".
hotkey_boxes() {
  awk "$UI_AWK_READ"'
    function check(t,   i) { for (i = 1; i <= n; i++) if (txt[i] == t) return chk[i]; return "?" }
    END { print check("Move Left/Up"), check("Move Right/Down"), check("Move Next") }' <<<"$(probe --list "$MAIN")"
}

# --- side by side
lab_layout two
tessary_start "$exe" || e2e_fail "two: Tessary.exe starts" "no instance window within 20 s"
win_open w1 480 270 960 540 normal || e2e_fail "two: test window opens" "no ready line"
e2e_eq "two: the boxes show what the file enables" "0 1 1" "$(hotkey_boxes)"
win_front w1
lab_shot "$E2E_OUT/move-before.png"
e2e_eq "two: Ctrl+Alt+Right moves to the same rectangle on the right" "2400 270 3360 810" \
  "$(press w1 ctrl+alt+Right)"
lab_shot "$E2E_OUT/move-after.png"
move_gif "$E2E_OUT/move-before.png" "$E2E_OUT/move-after.png" "Ctrl+Alt+Right" "$SHOTS/hotkey-move.gif" ||
  e2e_fail "two: the animation of the move is made" "import or convert failed; see $E2E_OUT"
e2e_eq "two: Ctrl+Alt+Left is disabled and does nothing" "2400 270 3360 810" "$(press w1 ctrl+alt+Left)"
e2e_eq "two: Move Next wraps to the first monitor" "480 270 1440 810" "$(press w1 ctrl+alt+n)"
e2e_eq "two: Move Next again" "2400 270 3360 810" "$(press w1 ctrl+alt+n)"

# Held for 1.5 s: the X server repeats the key after its delay, and every repeat is ignored.
win_front w1
xdotool keydown ctrl+alt+n sleep 1.5 keyup n alt ctrl
e2e_eq "two: a held key moves once" "480 270 1440 810" "$(win_settled w1)"
tessary_stop || e2e_fail "two: Tessary.exe ends" "had to be killed"
win_close w1

# --- stacked: the left/up key moves up, the right/down key moves down
printf '[Hotkeys]\r\ncbMoveLeft=1\r\ncbMoveRight=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\n' >"$ini"
lab_layout stacked
tessary_start "$exe" || e2e_fail "stacked: Tessary.exe starts" "no instance window within 20 s"
win_open w2 480 270 960 540 normal || e2e_fail "stacked: test window opens" "no ready line"
e2e_eq "stacked: Move Right/Down moves down" "480 1350 1440 1890" "$(press w2 ctrl+alt+Right)"
e2e_eq "stacked: Move Left/Up moves up" "480 270 1440 810" "$(press w2 ctrl+alt+Left)"
tessary_stop || e2e_fail "stacked: Tessary.exe ends" "had to be killed"
win_close w2

# --- a combination another program holds
lab_layout two
printf '[Hotkeys]\r\ncbMoveRight=1\r\ncbMoveNext=1\r\nMOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=11004E\r\n' >"$ini"
# MOD_ALT | MOD_CONTROL, VK_RIGHT
lab_run 120 "${E2E_TOOL[testwin]}" --hold-hotkey 3 39 60 >"$E2E_OUT/holder.txt" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for "$E2E_OUT/holder.txt" '^ready' 30 || e2e_fail "taken: the other program holds Ctrl+Alt+Right" "$(cat "$E2E_OUT/holder.txt")"
tessary_start "$exe" || e2e_fail "taken: Tessary.exe starts" "no instance window within 20 s"
win_open w3 480 270 960 540 normal || e2e_fail "taken: test window opens" "no ready line"
listing="$(probe --list "$MAIN")"
e2e_eq "taken: the status line says it" "1 1" \
  "$(grep -cF '[Move Right] Hotkey = CTRL+ALT+RIGHT' <<<"$listing" | sed 's/[1-9][0-9]*/1/') $(grep -cF 'Failed. Hotkey already taken.' <<<"$listing" | sed 's/[1-9][0-9]*/1/')"
e2e_eq "taken: its box is unticked, the other stays" "0 0 1" "$(hotkey_boxes)"
e2e_eq "taken: Move Next still works" "2400 270 3360 810" "$(press w3 ctrl+alt+n)"
tessary_stop || e2e_fail "taken: Tessary.exe ends" "had to be killed"
win_close w3

# --- the page: Set with the capture dialog, Save, restart
rm -f "$ini"
tessary_start "$exe" || e2e_fail "page: Tessary.exe starts" "no instance window within 20 s"
ui_view_page "Global Hotkeys" || e2e_fail "page: the view menu opens" "no menu"
e2e_eq "page: Global Hotkeys shows [none] for each" "1 1" \
  "$(ui_shown "$(probe --list "$MAIN")" "Move Left/Up" "[none]" | head -2 | paste -sd' ')"
ui_click "$MAIN" Set || e2e_fail "page: Set clicked" "no visible Set button"
probe --wait Tessary.FrmHotkey 20 >/dev/null || e2e_fail "page: the capture dialog opens" "not within 20 s"
dialog="$(probe --list Tessary.FrmHotkey)"
e2e_eq "page: the dialog is in front" "Tessary.FrmHotkey" "$(ui_field "$(probe --fg)" class)"
e2e_eq "page: the dialog's caption" "Tessary - Hotkey" "$(ui_field "$(ui_header "$dialog")" text)"
# The keys go where the X server's focus is: the dialog's own X window.
x_focus_is() { [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "$1" ]; }
e2e_wait_until 5 x_focus_is "Tessary - Hotkey"
hotkey_edit() { awk "$UI_AWK_READ"'END { for (i = 1; i <= n; i++) if (cls[i] == "Edit") print txt[i] }' <<<"$(probe --list Tessary.FrmHotkey)"; }
edit_changed() { [ "$(hotkey_edit)" != "$1" ]; }
edit0="$(hotkey_edit)"
xdotool key --clearmodifiers ctrl+alt+Left
e2e_wait_until 5 edit_changed "$edit0"
dialog="$(probe --list Tessary.FrmHotkey)"
e2e_eq "page: real keys are captured" "CTRL+ALT+LEFT" \
  "$(awk "$UI_AWK_READ"'END { for (i = 1; i <= n; i++) if (cls[i] == "Edit") print txt[i] }' <<<"$dialog")"
e2e_eq "page: the dialog's Set is enabled" "1" "$(grep -F 'text=Set' <<<"$dialog" | head -1 | sed -nE 's/.* enabled=([01]).*/\1/p')"
ui_shot_window "$dialog" "$SHOTS/hotkey-dialog.png" 12
ui_click Tessary.FrmHotkey Set || e2e_fail "page: the dialog's Set clicked" "not found"
dialog_gone() { ! probe --rect Tessary.FrmHotkey >/dev/null; }
e2e_wait_until 5 dialog_gone
e2e_eq "page: the row shows the new key, its box ticked" "1 1" \
  "$(ui_shown "$(probe --list "$MAIN")" "CTRL+ALT+LEFT" | head -1) $(hotkey_boxes | awk '{ print $1 }')"
ini0="$(cat "$ini" 2>/dev/null)"
ui_click "$MAIN" Save || e2e_fail "page: Save clicked" "no visible Save button"
ini_changed() { [ "$(cat "$ini" 2>/dev/null)" != "$ini0" ]; }
e2e_wait_until 5 ini_changed
e2e_eq "page: Save writes the hotkey enabled" "cbMoveLeft=1 MOVELEFT_HOTKEY=110025" \
  "$(tr -d '\r' <"$ini" | grep -E '^(cbMoveLeft|MOVELEFT_HOTKEY)=' | paste -sd' ')"
tessary_stop || e2e_fail "page: Tessary.exe ends" "had to be killed"
tessary_start "$exe" || e2e_fail "page: Tessary.exe starts again" "no instance window within 20 s"
win_open w4 2400 270 960 540 normal || e2e_fail "page: test window opens" "no ready line"
e2e_eq "page: after a restart Ctrl+Alt+Left moves" "480 270 1440 810" "$(press w4 ctrl+alt+Left)"
tessary_stop || e2e_fail "page: Tessary.exe ends again" "had to be killed"
win_close w4

e2e_finish
