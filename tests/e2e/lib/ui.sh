# shellcheck shell=bash
# A program's windows as the user sees them, for the end-to-end scripts (sourced by harness.sh;
# needs the tool uiprobe): what uiprobe lists, read in awk; real mouse clicks; screenshots of one
# window; the desktop's scaling.

probe() { lab_run 30 "${E2E_TOOL[uiprobe]}" "$@" | tr -d '\r'; }

# The WINDOW line of a listing.
ui_header() { grep -m1 '^WINDOW ' <<<"$1"; }

# ui_field LINE NAME: the value of NAME=... in a WINDOW or CHILD line (text= runs to the line's end).
ui_field() {
  awk -v f="$2" '{
    i = index($0, " text="); head = i ? substr($0, 1, i - 1) : $0
    if (f == "text") { print i ? substr($0, i + 6) : ""; exit }
    n = split(head, kv, " ")
    for (j = 2; j <= n; j++) if (index(kv[j], f "=") == 1) { print substr(kv[j], length(f) + 2); exit }
  }' <<<"$1"
}

# Shared awk (plain POSIX awk: mawk runs it): reads the CHILD lines of a listing into arrays (class,
# kind as uiprobe names it, visible, check, rect, text; n children) and the WINDOW line's client
# area in screen pixels (cl ct cr cb).
UI_AWK_READ='
function field(line, f,   i, head, kv, n, j) {
  i = index(line, " text="); head = i ? substr(line, 1, i - 1) : line
  if (f == "text") return i ? substr(line, i + 6) : ""
  n = split(head, kv, " ")
  for (j = 2; j <= n; j++) if (index(kv[j], f "=") == 1) return substr(kv[j], length(f) + 2)
  return "" }
/^WINDOW / { split(field($0, "clientat"), o, ","); split(field($0, "client"), s, ",")
  cl = o[1]; ct = o[2]; cr = o[1] + s[1]; cb = o[2] + s[2] }
/^CHILD / { n++; cls[n] = field($0, "class"); kind[n] = field($0, "kind")
  vis[n] = field($0, "visible"); chk[n] = field($0, "check"); txt[n] = field($0, "text")
  split(field($0, "rect"), r, ","); L[n] = r[1]; T[n] = r[2]; R[n] = r[3]; B[n] = r[4]; cur = n; next }
/^ITEM / { sub(/^ITEM [0-9]+ /, ""); if (cur in items) items[cur] = items[cur] "|" $0; else items[cur] = $0 }
'

# ui_design_diff LISTING TABLE OTHERS: one line per control of TABLE ("class kind shown check
# text") that the window lacks or shows differently, and per group of OTHERS ("class kind count
# shown-count": the controls whose text is not fixed, such as pictures and glyph buttons) whose
# count differs; every control of the window belongs to one of them. Nothing when all agree.
ui_design_diff() {
  awk "$UI_AWK_READ"'
    END {
      while ((getline row < design) > 0) {
        if (row ~ /^[[:space:]]*$/) continue
        split(row, w, " "); want = w[2] " " w[3] " " w[4]
        t = row; for (k = 1; k <= 4; k++) sub(/^[[:space:]]*[^[:space:]]+[[:space:]]+/, "", t)
        found = ""
        for (i = 1; i <= n; i++) if (!(i in used) && cls[i] == w[1] && txt[i] == t) {
          used[i] = 1; found = kind[i] " " vis[i] " " (w[4] == "-" ? "-" : chk[i]); break }
        if (found == "") print "missing: " w[1] " \"" t "\""
        else if (found != want) print w[1] " \"" t "\": want " want ", got " found
      }
      for (i = 1; i <= n; i++) if (!(i in used)) { c[cls[i] " " kind[i]]++; if (vis[i] == 1) v[cls[i] " " kind[i]]++ }
      while ((getline row < others) > 0) {
        if (split(row, w, " ") < 4) continue
        k = w[1] " " w[2]; got = (c[k] + 0) " " (v[k] + 0)
        if (got != w[3] " " w[4]) print k ": want " w[3] " (" w[4] " shown), got " c[k] + 0 " (" v[k] + 0 " shown)"
        delete c[k]
      }
      for (k in c) print k ": " c[k] " not in the design"
    }' design=<(echo "$2") others=<(echo "$3") <(echo "$1")
}

# The tabs of every tab control, one control a line: "shown:tab|tab|...", sorted.
ui_tabs() {
  awk "$UI_AWK_READ"'END { for (i = 1; i <= n; i++) if (cls[i] == "SysTabControl32") print vis[i] ":" items[i] }' <<<"$1" | sort
}

# Shown controls that leave the client area or overlap another one that neither contains nor lies
# in; nothing when the layout is clean. Up-down arrows share the frame of their buddy edit, as the
# platform draws them.
ui_layout_faults() {
  awk "$UI_AWK_READ"'
    function name(i) { return cls[i] "[" (txt[i] == "" ? kind[i] : substr(txt[i], 1, 30)) "]@" L[i] "," T[i] "," R[i] "," B[i] }
    function inside(i, j) { return L[i] >= L[j] && T[i] >= T[j] && R[i] <= R[j] && B[i] <= B[j] }
    END {
      for (i = 1; i <= n; i++) {
        if (vis[i] != 1) continue
        if (L[i] < cl || T[i] < ct || R[i] > cr || B[i] > cb)
          print name(i) " leaves the client area " cl "," ct "," cr "," cb
        for (j = i + 1; j <= n; j++) {
          if (vis[j] != 1) continue
          if (L[i] >= R[j] || L[j] >= R[i] || T[i] >= B[j] || T[j] >= B[i]) continue
          if (inside(i, j) || inside(j, i)) continue
          if ((cls[i] == "msctls_updown32" && cls[j] == "Edit") || (cls[j] == "msctls_updown32" && cls[i] == "Edit")) continue
          print name(i) " overlaps " name(j)
        }
      }
    }' <<<"$1"
}

# ui_click CLASS TEXT: a real left click (X server pointer) on the middle of the visible control
# with that text; Wine's screen coordinates are the X screen's when the primary monitor is at 0,0.
ui_click() {
  local xy
  xy="$(probe --center "$1" "$2")" && [ -n "$xy" ] || return 1
  # shellcheck disable=SC2086
  xdotool mousemove $xy sleep 0.2 click 1
}

# ui_shown LISTING TEXT...: 1 or 0 per text: whether a shown control has that exact text.
ui_shown() {
  local listing="$1" t; shift
  for t in "$@"; do
    # Through the environment: an awk assignment would turn the text's \r\n into line breaks.
    UI_WANT="$t" awk "$UI_AWK_READ"'END { for (i = 1; i <= n; i++) if (txt[i] == ENVIRON["UI_WANT"] && vis[i] == 1) {
      print 1; exit } print 0 }' <<<"$listing"
  done | paste -sd' '
}

# ui_glyph_center LISTING: "x y" of the shown owner-drawn button farthest right (a window's menu
# button has no text to find it by).
ui_glyph_center() {
  awk "$UI_AWK_READ"'END { for (i = 1; i <= n; i++) if (cls[i] == "Button" && kind[i] == "owner" && vis[i] == 1 &&
    (best == "" || L[i] > L[best])) best = i
    if (best != "") print int((L[best] + R[best]) / 2), int((T[best] + B[best]) / 2) }' <<<"$1"
}

# ui_view_page TEXT: a page of the main window through its view menu (the menu button, then the
# item "Getting Started", "Status", "Default Config", "Global Hotkeys" or "Restore Report").
ui_view_page() {
  # shellcheck disable=SC2046
  xdotool mousemove $(ui_glyph_center "$(probe --list "$MAIN")") sleep 0.2 click 1
  menu_click "$1" || return 1
  e2e_wait_until 3 menu_closed || return 1
  # A message answered by the window: the page the item asked for has been shown before it.
  probe --list "$MAIN" >/dev/null
}

# ui_shot_window LISTING FILE MARGIN: screenshot of the listed window with a margin around it.
ui_shot_window() {
  local rect l t r b m="$3"
  rect="$(ui_field "$(ui_header "$1")" rect)"
  IFS=, read -r l t r b <<<"$rect"
  [ -n "$b" ] || return 1
  l=$((l > m ? l - m : 0)) t=$((t > m ? t - m : 0))
  import -window root -display "$DISPLAY" "$2.full.png" || return 1
  convert "$2.full.png" -crop "$((r + m - l))x$((b + m - t))+$l+$t" +repage "$2" && rm -f "$2.full.png"
}

# ui_dpi DPI: the desktop's scaling for programs started from now on (the prefix restarts);
# ui_dpi_restore puts back what was there before.
UI_DPI_SAVED=""
ui_dpi() {
  local key='HKCU\Control Panel\Desktop'
  if [ -z "$UI_DPI_SAVED" ]; then
    UI_DPI_SAVED="$(wine reg query "$key" /v LogPixels 2>/dev/null | tr -d '\r' |
      awk '$1 == "LogPixels" { print $3 }')"
    UI_DPI_SAVED="${UI_DPI_SAVED:-none}"
  fi
  wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 || return 1
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  return 0
}
ui_dpi_restore() {
  [ -n "$UI_DPI_SAVED" ] || return 0
  local key='HKCU\Control Panel\Desktop'
  if [ "$UI_DPI_SAVED" = none ]; then
    wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1
  else
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((UI_DPI_SAVED))" /f >/dev/null 2>&1
  fi
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  UI_DPI_SAVED=""
}

# ---- the tray icon and its menu under Wine's own "Wine System Tray" window (needs windows.sh)
POPUP_MENU_CLASS='#32768'
# ICON_X ICON_Y: the middle of the first icon (Wine gives each icon the small-icon size and a
# 2-pixel border on each side).
icon_at() {
  local info x y h
  info="$(xwininfo -id "$1")"
  x="$(awk '/Absolute upper-left X:/ { print $4 }' <<<"$info")"
  y="$(awk '/Absolute upper-left Y:/ { print $4 }' <<<"$info")"
  h="$(awk '/^ *Height:/ { print $2 }' <<<"$info")"
  ICON_X=$((x + 10)) ICON_Y=$((y + h / 2))
}
# A menu still closing would take the click for itself: the last one is gone first.
right_click_icon() {
  e2e_wait_until 3 menu_closed
  xdotool mousemove "$ICON_X" "$ICON_Y" sleep 0.2 click 3
}
# The menus' rectangles, top first.
menu_rects() { probe --rects "$POPUP_MENU_CLASS"; }
menu_count_at_least() { [ "$(menu_rects | grep -c .)" -ge "$1" ]; }
menu_closed() { [ -z "$(menu_rects)" ]; }
wait_menus() { # COUNT: waits until that many menus are open; prints the rectangles
  e2e_wait_until 5 menu_count_at_least "$1" || return 1
  menu_rects
}
# menu_item TEXT: "l t r b" of the item with that text (as shown, trailing blanks aside) of an open
# menu, the top menu's first; nothing and 1 when no open menu has it. The platform's menus belong
# to the program, so neither their items nor keys (the window never has the keyboard focus) reach
# them from outside: uiprobe reads them in the program's own thread.
menu_item() {
  # Through the environment: an awk assignment would turn a backslash in the text into an escape.
  probe --menus | UI_WANT="$1" awk '
    function trim(s) { sub(/[ \t]+$/, "", s); return s }
    /^MITEM / { t = $0; sub(/^[^=]*=[^ ]* text=/, "", t)
      if (trim(t) == trim(ENVIRON["UI_WANT"])) { print $3, $4, $5, $6; found = 1; exit } }
    END { exit !found }'
}
# menu_click TEXT: waits up to 5 s for an open menu's item with that text, then a real click on
# its middle.
menu_click() {
  local l t r b
  if ! e2e_wait_until 5 menu_item "$1" >/dev/null; then
    echo "menu_click: no item \"$1\" in the open menus: $(probe --menus | paste -sd'|')" >&2
    return 1
  fi
  read -r l t r b < <(menu_item "$1")
  [ -n "${b:-}" ] || return 1
  xdotool mousemove $(((l + r) / 2)) $(((t + b) / 2)) sleep 0.2 click 1
}
