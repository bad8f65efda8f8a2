#!/usr/bin/env bash
# check-imports.sh [--safe-dll-search] EXE...: each Windows executable may import only DLLs that
# Windows ships, so that it runs as one file. Delay-loaded DLLs (their table is not in the PE header
# with mingw-w64) and those loaded by name count too: every "*.dll" name in the file. Prints "NAME:
# DLL DLL" for the system DLLs it imports, or "NAME: not a system DLL: DLL..." and exits 1 when any
# other is among them.
# --safe-dll-search: the executable's entry point must also, before anything else it calls, call
# kernel32's SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), so that no later load (delay-
# loaded DLLs, LoadLibrary by name) can pick up a DLL planted beside it; "NAME: ... no safe DLL
# search: WHY" and exit 1 otherwise.
# --own-dll NAME: a test tool may load a DLL this project builds, from its own folder by full path
# (uiprobe loads menuhook.dll into the program it probes); that one name is allowed too.
set -uo pipefail
SYSTEM_DLLS=" kernel32 user32 gdi32 shell32 advapi32 version dwmapi ole32 oleaut32 comctl32 comdlg32
  msvcrt shlwapi uxtheme psapi wtsapi32 imm32 winmm ntdll "
OBJDUMP=x86_64-w64-mingw32-objdump
safe_search=0
own_dlls=" "
while [ $# -gt 0 ]; do
  case "$1" in
    --safe-dll-search) safe_search=1; shift ;;
    --own-dll) own_dlls="$own_dlls$(tr 'A-Z' 'a-z' <<<"${2:?--own-dll needs a name}") "; shift 2 ;;
    *) break ;;
  esac
done

# iat_slot EXE DLL FUNCTION: the address (hex, no 0x) of the import address table's slot for the
# function, or nothing when the executable does not import it. Slots are 8 bytes, in the order
# objdump lists the names.
iat_slot() {
  local base thunk index
  read -r base thunk index < <("$OBJDUMP" -p "$1" | tr -d '\r' | awk -v dll="$2" -v fn="$3" '
    $1 == "ImageBase" { base = $2 }
    # An import directory entry: vma, hint table, time stamp, forward chain, name, first thunk.
    NF == 6 && $1 ~ /^[0-9a-f]+$/ && $6 ~ /^[0-9a-f]+$/ { thunk = $6; n = -1; here = 0; next }
    $1 == "DLL" && $2 == "Name:" { here = (tolower($3) == tolower(dll)); next }
    here && $1 == "vma:" { n = 0; next }
    here && n >= 0 && NF >= 3 { if ($3 == fn) { print base, thunk, n; exit } n++ }')
  [ -n "${index:-}" ] && printf '%x\n' $((0x$base + 0x$thunk + 8 * index))
}

# safe_dll_search EXE: empty when the entry point's first call is SetDefaultDllDirectories(0x800),
# else why not.
safe_dll_search() {
  local exe="$1" slot start first
  slot="$(iat_slot "$exe" KERNEL32.dll SetDefaultDllDirectories)"
  [ -n "$slot" ] || { echo "SetDefaultDllDirectories is not imported from kernel32"; return; }
  start="$("$OBJDUMP" -f "$exe" | awk '/^start address/ { print $3 }')"
  # The instructions up to and including the first call or jump away.
  first="$("$OBJDUMP" -d --start-address="$start" --stop-address=$((start + 48)) "$exe" |
    awk -F'\t' 'NF >= 3 { print $3; if ($3 ~ /^(call|jmp)/) exit }')"
  grep -q "^mov  *\$0x800,%ecx" <<<"$first" ||
    { echo "the entry point does not pass LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800) before its first call"; return; }
  grep -qE "# (0x)?0*$slot( |$)" <<<"$first" ||
    { echo "the entry point's first call is not SetDefaultDllDirectories (slot 0x$slot)"; return; }
}

rc=0
for exe in "$@"; do
  dlls="$({ "$OBJDUMP" -p "$exe" | awk '/DLL Name:/ { print $3 }'
    strings -a "$exe"; strings -a -el "$exe"; } | grep -iE '^[a-z0-9_+.-]+\.dll$' | tr 'A-Z' 'a-z' | sort -u)"
  [ -n "$dlls" ] || { echo "$(basename "$exe"): no imports read"; rc=1; continue; }
  bad=""
  for dll in $dlls; do
    [[ "$SYSTEM_DLLS" == *" ${dll%.dll} "* || "$own_dlls" == *" $dll "* ]] || bad="$bad $dll"
  done
  if [ -n "$bad" ]; then
    echo "$(basename "$exe"): not a system DLL:$bad"
    rc=1
    continue
  fi
  line="$(basename "$exe"): $(echo $dlls)"
  if [ "$safe_search" = 1 ]; then
    why="$(safe_dll_search "$exe")"
    if [ -n "$why" ]; then
      echo "$line; no safe DLL search: $why"
      rc=1
      continue
    fi
    line="$line; the entry point first calls SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)"
  fi
  echo "$line"
done
exit $rc
