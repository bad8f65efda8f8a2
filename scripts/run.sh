#!/usr/bin/env bash
# Builds Tessary.exe and runs it under Wine on the lab's virtual multi-monitor display;
# TESSARY_LAYOUT picks the monitors (two, three, mixed, stacked, negative, single; default two).
# TESSARY_TIMEOUT=SECS ends it after that long. Tessary ends through its tray icon (a right click
# on it in Wine's "Wine System Tray" window, then "Exit  Tessary"); everything this script started
# stops then (Ctrl+C still works).
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
lab_up "${TESSARY_LAYOUT:-two}"
echo "run: monitors as Windows sees them:"
lab_monitors | sed 's/^/  /'
echo "run: Tessary.exe on display $DISPLAY (screenshot: import -window root -display $DISPLAY shot.png)"
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
