#!/usr/bin/env bash
# The whole test suite, every layer:
#   the tray icons' contrast on light and dark taskbars;
#   native build + unit_tests + contract_sim; the same with AddressSanitizer/UBSan;
#   the libFuzzer targets (clang), 15 s each on their seed corpus;
#   mingw-w64 cross build + import check (only DLLs that Windows ships);
#   under Wine on the two-monitor lab display: portable_tests_win32.exe, contract_win32.exe,
#   ui_win32_tests.exe and the end-to-end scripts tests/e2e/*.sh.
# Ends with "N passed, N failed" and a non-zero exit when anything failed or a layer could not run.
set -uo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$REPO"

JOBS=2
LOGS="$REPO/build/logs"
PASSED=0
FAILED=0
TIMINGS=()
PROBLEMS=()

mkdir -p "$LOGS"

note_problem() { PROBLEMS+=("$1"); echo "!! $1"; }
fail_layer() { FAILED=$((FAILED + 1)); note_problem "$1"; }

layer_start() { LAYER="$1"; LAYER_T0=$SECONDS; echo "== $1"; }
layer_end() { TIMINGS+=("$(printf '%4ds  %s' $((SECONDS - LAYER_T0)) "$LAYER")"); }

# gtest binary (native or under Wine): counts its summary; a crash or a missing summary is a failure.
count_gtest() {
  local name="$1" log="$2" rc="$3" passed failed
  passed="$(tr -d '\r' <"$log" | sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' | tail -1)"
  failed="$(tr -d '\r' <"$log" | sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below:.*/\1/p' | tail -1)"
  passed="${passed:-0}"
  failed="${failed:-0}"
  PASSED=$((PASSED + passed))
  FAILED=$((FAILED + failed))
  echo "   $name: $passed passed, $failed failed (exit $rc)"
  if [ "$failed" -gt 0 ]; then
    tr -d '\r' <"$log" | grep -E '^\[  FAILED  \] [^0-9]' | sort -u | sed 's/^/   /'
  fi
  if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then
    fail_layer "$name ended with exit code $rc without a test failure (crash or time-out?); log $log"
    tr -d '\r' <"$log" | tail -25 | sed 's/^/   | /'
  fi
}

# count_checks NAME LOG RC SHOW [TIME]: a script that prints PASS:/FAIL: lines; shows the log's
# lines that match the sed address SHOW. Ending badly without a failed check, or running no check
# at all, is a failure too.
count_checks() {
  local name="$1" log="$2" rc="$3" show="$4" p f
  p=$(grep -c '^PASS: ' "$log")
  f=$(grep -c '^FAIL: ' "$log")
  PASSED=$((PASSED + p))
  FAILED=$((FAILED + f))
  echo "   $name: $p passed, $f failed (exit $rc${5:+, $5})"
  sed -n "${show}s/^/   /p" "$log"
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
    fail_layer "$name ended with exit code $rc without a failed check; log $log"
    tail -15 "$log" | sed 's/^/   | /'
  elif [ "$p" -eq 0 ] && [ "$f" -eq 0 ]; then
    fail_layer "$name ran no checks; log $log"
  fi
}

run_native_gtest() {
  local dir="$1" name="$2" tag="$3" log rc
  log="$LOGS/$tag-$name.log"
  if [ ! -x "$dir/$name" ]; then
    fail_layer "$tag: $name was not built"
    return
  fi
  timeout -k 10 600 "$dir/$name" --gtest_color=no >"$log" 2>&1
  rc=$?
  count_gtest "$tag/$name" "$log" "$rc"
}

# cmake configure + build; returns non-zero (and says why) when it fails.
build() {
  local tag="$1" dir="$2"; shift 2
  local log="$LOGS/build-$tag.log"
  if ! { cmake -S "$REPO" -B "$dir" "$@" && cmake --build "$dir" -j"$JOBS"; } >"$log" 2>&1; then
    fail_layer "build $tag failed; log $log"
    grep -E 'error|Error' "$log" | head -20 | sed 's/^/   | /'
    return 1
  fi
  echo "   build $tag ok"
}

native_layer() {
  local tag="$1" dir="$2" log; shift 2
  layer_start "$tag: build and run"
  if build "$tag" "$dir" "$@"; then
    run_native_gtest "$dir" unit_tests "$tag"
    run_native_gtest "$dir" contract_sim "$tag"
    if [ "$tag" = native ]; then
      # An include from a layer into one above it must not compile.
      log="$LOGS/layers.log"
      bash "$REPO/scripts/check-layers.sh" "$dir" >"$log" 2>&1 </dev/null
      count_checks layers "$log" $? '/^FAIL: /'
    fi
  else
    fail_layer "$tag: unit_tests and contract_sim could not run (build failed)"
  fi
  layer_end
}

# Imports of a Windows executable must be system DLLs: the program ships as one file. The program
# itself also restricts the DLL search to System32 at its entry point.
check_imports() {
  local exe out args say
  for exe in "$WIN_DIR"/*.exe; do
    [ -e "$exe" ] || continue
    args=() say=""
    case "$(basename "$exe")" in
      Tessary.exe) args=(--safe-dll-search) say=", DLL search restricted at the entry point" ;;
      # The probe loads the test DLL beside it into the program whose menu it reads.
      uiprobe.exe) args=(--own-dll menuhook.dll) say=" (and the test's own menuhook.dll)" ;;
    esac
    if out="$(bash "$REPO/scripts/check-imports.sh" "${args[@]}" "$exe")"; then
      PASSED=$((PASSED + 1))
      echo "   imports of $(basename "$exe"): system DLLs only$say"
    else
      FAILED=$((FAILED + 1))
      note_problem "$out"
    fi
  done
}

T_START=$SECONDS

layer_start "setup (packages)"
if ! bash "$REPO/scripts/setup.sh" >"$LOGS/setup.log" 2>&1; then
  fail_layer "scripts/setup.sh failed; log $LOGS/setup.log"
  tail -20 "$LOGS/setup.log" | sed 's/^/   | /'
else
  tail -1 "$LOGS/setup.log" | sed 's/^/   /'
fi
layer_end

# Quick, and needs no build: the tray's pictures read on a light and on a dark taskbar.
layer_start "icons: the tray's pictures on a light and a dark taskbar"
log="$LOGS/icons.log"
bash "$REPO/tests/icons/tray_icons.sh" >"$log" 2>&1 </dev/null
count_checks icons "$log" $? '/^FAIL: /'
layer_end

native_layer native "$REPO/build/native"
native_layer asan "$REPO/build/asan" -DTESSARY_SANITIZE=ON

# Every input another party controls, fuzzed briefly: one pass per target that ran without a
# crash or a broken property, one failure per target that did not (or per failed build).
FUZZ_SECONDS=15
layer_start "fuzz: libFuzzer targets, ${FUZZ_SECONDS}s each"
log="$LOGS/fuzz.log"
timeout -k 10 600 bash "$REPO/scripts/fuzz.sh" "$FUZZ_SECONDS" >"$log" 2>&1 </dev/null
# Every target's verdict, and the lines under a failed one.
count_checks fuzz "$log" $? '/^\(PASS\|FAIL\): \|^   | /'
layer_end

WIN_DIR="$REPO/build/win"
WIN_OK=0
layer_start "win: cross build and imports"
if build win "$WIN_DIR" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-w64-x86_64.cmake"; then
  WIN_OK=1
  [ -f "$WIN_DIR/Tessary.exe" ] || fail_layer "win: Tessary.exe was not built"
  check_imports
fi
layer_end

layer_start "wine: lab, Windows test programs, end-to-end"
if [ "$WIN_OK" != 1 ]; then
  fail_layer "wine: nothing to run (the cross build failed): Windows tests and end-to-end scripts skipped"
else
  export LAB_TOOLS="$WIN_DIR" LAB_BOOT_LOG="$LOGS/wineboot.log"
  # shellcheck source=lab/lib.sh
  . "$REPO/scripts/lab/lib.sh"
  trap 'exit 130' INT
  trap 'exit 143' TERM
  lab_t0=$SECONDS
  if ! lab_up two; then
    fail_layer "wine: the Wine lab could not start (display or prefix): Windows tests and end-to-end scripts did not run"
  else
    echo "   lab up in $((SECONDS - lab_t0))s (prefix boot ${LAB_BOOT_SECONDS}s) on $DISPLAY"
    for name in portable_tests_win32 contract_win32 ui_win32_tests; do
      exe="$WIN_DIR/$name.exe"
      if [ ! -f "$exe" ]; then
        [ "$name" != portable_tests_win32 ] && fail_layer "wine: $name.exe was not built"
        continue
      fi
      lab_layout two
      log="$LOGS/wine-$name.log"
      lab_run 600 "$exe" --gtest_color=no >"$log" 2>&1
      count_gtest "wine/$name" "$log" $?
    done
    for script in "$REPO"/tests/e2e/*.sh; do
      [ -e "$script" ] || continue
      name="$(basename "$script" .sh)"
      log="$LOGS/e2e-$name.log"
      t0=$SECONDS
      timeout -k 10 900 bash "$script" >"$log" 2>&1 </dev/null
      count_checks "e2e/$name" "$log" $? '/^FAIL: /' "$((SECONDS - t0))s"
      # Whatever a script left running in the prefix goes before the next one.
      wineserver -k 2>/dev/null
    done
  fi
  lab_down
fi
layer_end

echo
echo "== timing"
printf '%s\n' "${TIMINGS[@]}"
printf '%4ds  total\n' $((SECONDS - T_START))
if [ ${#PROBLEMS[@]} -gt 0 ]; then
  echo
  echo "== problems"
  printf ' - %s\n' "${PROBLEMS[@]}"
fi
echo
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
