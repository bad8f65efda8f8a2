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
# Harness state, set by e2e_begin and nothing else (benchmarks and the soak, which are not checks,
# fill E2E_TOOL through e2e_tools and set E2E_OUT themselves):
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
# e2e_after_exit CMD: run at exit once they are stopped, before the lab goes (a hook that needs the
# lab gone first runs lab_down itself: a second lab_down does nothing).
e2e_after_exit() { E2E_EXIT_LAST+=("$1"); }

e2e_end() {
  local c
  for c in "${E2E_EXIT_FIRST[@]}"; do eval "$c"; done
  e2e_cleanup
  for c in "${E2E_EXIT_LAST[@]}"; do eval "$c"; done
  lab_down
}

# e2e_tools a,b,...: E2E_TOOL filled for those tools; 1 when one is not built (E2E_TOOLS_MISSING
# names them).
e2e_tools() {
  local t
  E2E_TOOLS_MISSING=""
  for t in ${1//,/ }; do
    E2E_TOOL[$t]="$(lab_tool "$t" 2>/dev/null)" || E2E_TOOLS_MISSING="${E2E_TOOLS_MISSING:+$E2E_TOOLS_MISSING }$t.exe"
  done
  [ -z "$E2E_TOOLS_MISSING" ]
}

# Its locals are prefixed: the --up command runs inside it and sees them.
e2e_begin() {
  local _b_name="$1" _b_layout=two _b_up="" _b_dir="" _b_exe=0 _b_tools=""
  shift
  if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then _b_layout="$1"; shift; fi
  while [ $# -gt 0 ]; do
    case "$1" in
      --exe)
        _b_exe=1
        if [ $# -gt 1 ] && [ "${2#--}" = "$2" ]; then _b_dir="$2"; shift; fi ;;
      --tools) _b_tools="$2"; shift ;;
      --up) _b_up="$2"; shift ;;
      *) e2e_fail "harness" "unknown e2e_begin argument $1"; e2e_finish ;;
    esac
    shift
  done
  trap e2e_end EXIT
  if [ -n "$_b_up" ]; then
    eval "$_b_up" || { e2e_fail "lab starts" "$_b_up failed"; e2e_finish; }
  else
    lab_attach_or_up "$_b_layout" || { e2e_fail "lab starts" "could not start the Wine lab"; e2e_finish; }
  fi
  # Again: a lab started afresh has set its own exit trap.
  trap e2e_end EXIT
  e2e_tools "$_b_tools" || { e2e_fail "test tools built" "$E2E_TOOLS_MISSING missing"; e2e_finish; }
  E2E_OUT="$LAB_ROOT/$_b_name"
  if [ "$_b_exe" = 1 ]; then
    # Before the folder: the copy's folder may be the script's own, and the copy starts it afresh.
    E2E_EXE="$(e2e_private_exe "${_b_dir:-$_b_name}")" || { e2e_fail "Tessary.exe exists" "not built"; e2e_finish; }
  fi
  mkdir -p "$E2E_OUT"
}
