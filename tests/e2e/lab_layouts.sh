#!/usr/bin/env bash
# The lab's monitor layouts as a Windows program sees them, and a monitor leaving and coming back
# under a running program.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin lab_layouts --tools lsmon

expect() {
  case "$1" in
    two)      printf '%s\n' '0 0 0 1920 1080 1 \\.\DISPLAY1' '1 1920 0 3840 1080 0 \\.\DISPLAY2' ;;
    three)    printf '%s\n' '0 0 0 1920 1080 1 \\.\DISPLAY1' '1 1920 0 3840 1080 0 \\.\DISPLAY2' \
                            '2 3840 0 5760 1080 0 \\.\DISPLAY3' ;;
    mixed)    printf '%s\n' '0 0 0 1920 1080 1 \\.\DISPLAY1' '1 1920 0 4480 1440 0 \\.\DISPLAY2' ;;
    stacked)  printf '%s\n' '0 0 0 1920 1080 1 \\.\DISPLAY1' '1 0 1080 1920 2160 0 \\.\DISPLAY2' ;;
    negative) printf '%s\n' '0 0 0 1920 1080 1 \\.\DISPLAY1' '1 -1920 0 0 1080 0 \\.\DISPLAY2' ;;
    single)   printf '%s\n' '0 0 0 1920 1080 1 \\.\DISPLAY1' ;;
  esac
}

for layout in two three mixed stacked negative single; do
  if lab_layout "$layout"; then
    e2e_eq "layout $layout" "$(expect "$layout")" "$(lab_monitors)"
  else
    e2e_fail "layout $layout" "could not set it"
  fi
done

# Hot-plug: the second monitor goes away and comes back while a program watches.
lab_layout two
out="$E2E_OUT/watch.txt"
lab_run 60 "${E2E_TOOL[lsmon]}" --watch 2 >"$out" 2>&1 &
watcher=$!
if e2e_wait_for "$out" '^ready' 30; then
  lab_hotplug single
  e2e_wait_for "$out" '^displaychange' 10
  lab_hotplug two
  wait "$watcher"; rc=$?
  e2e_eq "hot-plug: the program gets WM_DISPLAYCHANGE twice and ends" 0 "$rc"
  got="$(tr -d '\r' <"$out" | awk '/^displaychange/ { n++; next } n == 1 { print }')"
  e2e_eq "hot-plug: monitor gone" "$(expect single)" "$got"
  got="$(tr -d '\r' <"$out" | awk '/^displaychange/ { n++; next } n == 2 { print }')"
  e2e_eq "hot-plug: monitor back" "$(expect two)" "$got"
else
  kill "$watcher" 2>/dev/null
  e2e_fail "hot-plug" "watching program did not start: $(head -c 500 "$out")"
fi

# A screenshot of the second monitor has the monitor's size.
shot="$E2E_OUT/second.png"
if lab_shot "$shot" 1; then
  e2e_eq "screenshot of one monitor" "1920x1080" "$(identify -format '%wx%h' "$shot")"
else
  e2e_fail "screenshot of one monitor" "import/convert failed"
fi
e2e_finish
