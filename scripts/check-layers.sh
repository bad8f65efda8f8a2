#!/usr/bin/env bash
# The layering is a rule of the build: builds every layer probe of a configured build folder and
# checks that a header above a layer is not found from it, and that a header below is.
#   scripts/check-layers.sh BUILD_DIR
# Prints PASS/FAIL per probe; exit code 1 when any failed.
set -uo pipefail
dir="${1:?usage: check-layers.sh BUILD_DIR}"
list="$dir/layer_probes.txt"
[ -s "$list" ] || { echo "FAIL: no layer probes in $list (configure the build first)"; exit 1; }
failed=0
while read -r target kind layer header; do
  out="$(cmake --build "$dir" --target "$target" 2>&1)"
  rc=$?
  if [ "$kind" = seen ]; then
    if [ $rc -eq 0 ]; then
      echo "PASS: $layer sees $header"
    else
      echo "FAIL: $layer does not compile with $header, which is below it"
      echo "$out" | grep -E 'error' | head -5 | sed 's/^/   | /'
      failed=1
    fi
  elif [ $rc -ne 0 ] && echo "$out" | grep -qF "$header: No such file or directory"; then
    echo "PASS: $layer cannot include $header"
  else
    echo "FAIL: $layer can include $header, which is above it (or failed for another reason)"
    echo "$out" | grep -E 'error' | head -5 | sed 's/^/   | /'
    failed=1
  fi
done <"$list"
exit $failed
