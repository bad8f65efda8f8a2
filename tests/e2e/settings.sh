#!/usr/bin/env bash
# The settings file as a user meets it under Wine, with the program in a folder whose name is not
# ASCII: a "Tessary.ini" in UTF-16 with a comment and a section of its own is read into the
# "Default Config" page at start and only its hidden value is rewritten; "Reset All" changes the
# page but not the file; "Save" writes the page into the file, keeps the rest byte for byte and
# switches the Monitor Watcher on; a read-only "Tessary.ini" at start gives one message box with
# the file's full path and the program keeps running.
set -uo pipefail
# Wine turns the folder's UTF-8 name into the right characters only in a UTF-8 locale.
export LC_ALL=C.UTF-8
. "$(dirname "$0")/lib/harness.sh"
e2e_begin settings --exe "settings-Ωμέγα" --tools testwin,dlgtext,uiprobe
exe="$E2E_EXE"
dir="$(dirname "$exe")"
ini="$dir/Tessary.ini"
win_ini="$(winepath -w "$dir" 2>/dev/null | tr -d '\r')\\Tessary.ini"

# utf16 TEXT: the text (LF line ends) as UTF-16 LE with BOM and CR LF line ends.
utf16() { printf '\xff\xfe'; printf '%s' "$1" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }

# The settings controls of a listing: "autoClose watcherOnStart delay powerState resolutionChange".
settings_state() {
  awk "$UI_AWK_READ"'
    function check(t,   i) { for (i = 1; i <= n; i++) if (txt[i] == t) return chk[i]; return "?" }
    END {
      for (i = 1; i <= n; i++) if (cls[i] == "Edit" && kind[i] == "edit") delay = txt[i]
      print check("Close this window after clicking Move Left/Right"), check("Enabled when starting the program"),
        (delay == "" ? "?" : delay), check("Monitor Power State"), check("Resolution Change")
    }' <<<"$1"
}

# same_file FILE EXPECTED_FILE SECS: waits until FILE holds exactly the expected bytes.
same_file() { e2e_wait_until "$3" cmp -s "$1" "$2"; }


BEFORE='; Einstellungen für Tessary Ω
[Main]
cbAutoClose=1
cbWatcherOnStart=0
seDelay = 0x1388
rbDevicePowerState=0
rbResolutionChange=1

[Extra]
unknown=keep me
[Hidden]
TopProgramsIntervalMS=$2710
'
utf16 "$BEFORE" >"$ini"
utf16 "${BEFORE/\$2710/10000}" >"$E2E_OUT/after-start.ini"
SAVED='; Einstellungen für Tessary Ω
[Main]
cbAutoClose=0
cbWatcherOnStart=1
seDelay = 4000
rbDevicePowerState=1
rbResolutionChange=0

[Extra]
unknown=keep me
[Hidden]
TopProgramsIntervalMS=10000
'
utf16 "$SAVED" >"$E2E_OUT/after-save.ini"

# 1. --- start: the file into the page
xdotool mousemove 300 1070
tessary_start "$exe" || e2e_fail "Tessary.exe starts as the running instance" "no instance window within 20 s"
probe --wait "$MAIN" 20 >/dev/null || e2e_fail "the main window shows" "no visible $MAIN within 20 s"
list="$(probe --list "$MAIN")"
echo "$list" >"$E2E_OUT/list-start.txt"
e2e_eq "start: the page shows the file's values (hexadecimal delay, the second trigger)" "1 0 5000 0 1" \
  "$(settings_state "$list")"
if same_file "$ini" "$E2E_OUT/after-start.ini" 5; then
  e2e_pass "start: only the hidden value is rewritten, in decimal; UTF-16, comment and own section kept"
else
  e2e_fail "start: only the hidden value is rewritten" "$(od -An -c "$ini" | head -5 | tr -s ' ' | paste -sd' ')"
fi
e2e_eq "start: the watcher stays off as the file says (no status line about it)" "0" \
  "$(grep -c 'Monitor Watcher \[' <<<"$list")"

# 2. --- Reset All: the page changes, the file does not
ui_view_page "Default Config" || e2e_fail "view menu" "no popup menu within 3 s"
state0="$(settings_state "$(probe --list "$MAIN")")"
ui_click "$MAIN" "Reset All" || e2e_fail "click Reset All" "no visible button \"Reset All\""
state_changed() { [ "$(settings_state "$(probe --list "$MAIN")")" != "$state0" ]; }
e2e_wait_until 5 state_changed
list="$(probe --list "$MAIN")"
e2e_eq "Reset All: cleared, ticked, 4000, Monitor Power State" "0 1 4000 1 0" "$(settings_state "$list")"
e2e_eq "Reset All: the file is unchanged" "same" "$(cmp -s "$ini" "$E2E_OUT/after-start.ini" && echo same || echo changed)"

# 3. --- Save: the page into the file, the watcher on
ui_click "$MAIN" "Save" || e2e_fail "click Save" "no visible button \"Save\""
if same_file "$ini" "$E2E_OUT/after-save.ini" 10; then
  e2e_pass "Save: the page's values in place, everything else byte for byte, still UTF-16 with BOM"
else
  e2e_fail "Save: the page's values in place" "$(iconv -f UTF-16LE -t UTF-8 "$ini" 2>&1 | tr -d '\r' | paste -sd'|')"
fi
e2e_eq "Save: no new file left beside it" "" "$(ls "$dir" | grep -v -e '^Tessary\.exe$' -e '^Tessary\.ini$')"
both_said() { [ "$(grep -cF -e 'Config "Tessary.ini" saved.' -e 'Monitor Watcher [Enabled]' <<<"$(probe --list "$MAIN")")" -ge 2 ]; }
e2e_wait_until 6 both_said
list="$(probe --list "$MAIN")"
echo "$list" >"$E2E_OUT/list-saved.txt"
e2e_eq "Save: the status says so, and that the watcher is now on" "1 1" \
  "$(grep -qF 'Config "Tessary.ini" saved.' <<<"$list" && echo 1 || echo 0) $(grep -qF 'Monitor Watcher [Enabled]' <<<"$list" && echo 1 || echo 0)"
tessary_stop || e2e_fail "the instance ends when its window closes" "had to be killed"

# 4. --- a read-only file at start
cp "$ini" "$E2E_OUT/read-only.ini"
chmod a-w "$ini"
tessary_start "$exe" || e2e_fail "read-only: Tessary.exe starts" "no instance window within 20 s"
box="$(dlgtext --read-and-close Tessary.exe 25)"
e2e_eq "read-only: one message box with the full path" "caption: Tessary|text: Unable to write to $win_ini" \
  "$(grep -E '^(caption|text): ' <<<"$box" | paste -sd'|')"
probe --wait "$MAIN" 20 >/dev/null || e2e_fail "read-only: the main window shows after the message" "no visible $MAIN"
list="$(probe --list "$MAIN")"
e2e_eq "read-only: the program runs on with the values read and no second message box" "running 0 1 4000 1 0 0" \
  "$(kill -0 "$TESSARY_PID" 2>/dev/null && echo running || echo ended) $(settings_state "$list") $(dlgtext --count Tessary.exe)"
e2e_eq "read-only: the file is untouched and nothing is left beside it" "same" \
  "$(cmp -s "$ini" "$E2E_OUT/read-only.ini" && echo same || echo changed)$(ls "$dir" | grep -v -e '^Tessary\.exe$' -e '^Tessary\.ini$' -e '^disabled\.ini$' -e '^noright\.ini$' | sed 's/^/ /')"
tessary_stop || e2e_fail "read-only: the instance ends when its window closes" "had to be killed"
chmod u+w "$ini"

if grep -qiE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt; then
  e2e_fail "no crash report from any run" "$(grep -liE 'unhandled|page fault|backtrace' "$E2E_OUT"/*.txt)"
else
  e2e_pass "no crash report from any run"
fi
e2e_finish
