# shellcheck shell=bash disable=SC2034
# The one start every end-to-end script makes, and the state it leaves for the libraries.
#
#   . "$(dirname "$0")/lib/harness.sh"
#   e2e_begin NAME [LAYOUT] [--exe [DIR]] [--tools a,b,...] [--up CMD]
#
# brings up (or attaches to) the lab with LAYOUT (default two; --up CMD starts it instead), ends
# everything at exit (e2e_on_exit hooks, then the test's programs, e2e_after_exit hooks, then the
# lab), checks the tools, makes the script's folder and, with --exe, a private Tessary.exe copy.
# A failure is a failed check and ends the script through e2e_finish.
#
# Harness state, set by e2e_begin and nothing else:
#   E2E_OUT           the script's folder in the lab ($LAB_ROOT/NAME)
#   E2E_TOOL[name]    the path of tests/e2e/tools' name.exe, for each tool of --tools
#   E2E_EXE           the private copy ($LAB_ROOT/DIR/Tessary.exe, DIR defaults to NAME)
E2E_LIB="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$E2E_LIB/check.sh"
. "$E2E_LIB/windows.sh"
. "$E2E_LIB/ui.sh"
. "$E2E_LIB/watcher.sh"

declare -gA E2E_TOOL=()
E2E_OUT=""
E2E_EXE=""
E2E_EXIT_FIRST=()
E2E_EXIT_LAST=()

# e2e_on_exit CMD: run at exit before the test's programs are stopped (e.g. waking hung windows).
e2e_on_exit() { E2E_EXIT_FIRST+=("$1"); }
# e2e_after_exit CMD: run at exit once they are stopped, before the lab goes.
e2e_after_exit() { E2E_EXIT_LAST+=("$1"); }

e2e_end() {
  local c
  for c in "${E2E_EXIT_FIRST[@]}"; do eval "$c"; done
  e2e_cleanup
  for c in "${E2E_EXIT_LAST[@]}"; do eval "$c"; done
  lab_down
}

e2e_begin() {
  local name="$1" layout=two up="" exe_dir="" want_exe=0 tools="" t missing=()
  shift
  if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then layout="$1"; shift; fi
  while [ $# -gt 0 ]; do
    case "$1" in
      --exe)
        want_exe=1
        if [ $# -gt 1 ] && [ "${2#--}" = "$2" ]; then exe_dir="$2"; shift; fi ;;
      --tools) tools="$2"; shift ;;
      --up) up="$2"; shift ;;
      *) e2e_fail "harness" "unknown e2e_begin argument $1"; e2e_finish ;;
    esac
    shift
  done
  trap e2e_end EXIT
  if [ -n "$up" ]; then
    eval "$up" || { e2e_fail "lab starts" "$up failed"; e2e_finish; }
  else
    lab_attach_or_up "$layout" || { e2e_fail "lab starts" "could not start the Wine lab"; e2e_finish; }
  fi
  for t in ${tools//,/ }; do
    E2E_TOOL[$t]="$(lab_tool "$t" 2>/dev/null)" || missing+=("$t.exe")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    e2e_fail "test tools built" "${missing[*]} missing"
    e2e_finish
  fi
  E2E_OUT="$LAB_ROOT/$name"
  if [ "$want_exe" = 1 ]; then
    # Before the folder: the copy's folder may be the script's own, and the copy starts it afresh.
    E2E_EXE="$(e2e_private_exe "${exe_dir:-$name}")" || { e2e_fail "Tessary.exe exists" "not built"; e2e_finish; }
  fi
  mkdir -p "$E2E_OUT"
}
