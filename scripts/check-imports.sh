#!/usr/bin/env bash
# check-imports.sh EXE...: each Windows executable may import only DLLs that Windows ships, so that
# it runs as one file. Delay-loaded DLLs (their table is not in the PE header with mingw-w64) and
# those loaded by name count too: every "*.dll" name in the file. Prints "NAME: DLL DLL" for the system DLLs it imports, or
# "NAME: not a system DLL: DLL..." and exits 1 when any other is among them.
set -uo pipefail
SYSTEM_DLLS=" kernel32 user32 gdi32 shell32 advapi32 version dwmapi ole32 oleaut32 comctl32 comdlg32
  msvcrt shlwapi uxtheme psapi wtsapi32 imm32 winmm ntdll "
rc=0
for exe in "$@"; do
  dlls="$({ x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }'
    strings -a "$exe"; strings -a -el "$exe"; } | grep -iE '^[a-z0-9_+.-]+\.dll$' | tr 'A-Z' 'a-z' | sort -u)"
  [ -n "$dlls" ] || { echo "$(basename "$exe"): no imports read"; rc=1; continue; }
  bad=""
  for dll in $dlls; do
    [[ "$SYSTEM_DLLS" == *" ${dll%.dll} "* ]] || bad="$bad $dll"
  done
  if [ -n "$bad" ]; then
    echo "$(basename "$exe"): not a system DLL:$bad"
    rc=1
  else
    echo "$(basename "$exe"): $(echo $dlls)"
  fi
done
exit $rc
