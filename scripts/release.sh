#!/usr/bin/env bash
# The release: builds Tessary.exe from this tree (optimized, stripped) and writes under dist/
#   Tessary.exe  Tessary-<version>-win64.zip  Tessary-<version>-setup.exe  SHA256SUMS
# The same commit gives the same bytes: the exe carries no time stamp and every file in the
# archives carries the commit's time (SOURCE_DATE_EPOCH when set).
#   RELEASE_BUILD=DIR  the build folder (default build/release)
#   RELEASE_OUT=DIR    the output folder (default dist)
#   TESSARY_VERSION=x.y.z  builds another version than the project's (for testing upgrades)
#   TESSARY_WEB_ADDRESS=URL  the project's public home, for the About box's link and the
#                      installer's entry under Installed apps; none when unset
set -euo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$REPO"

BUILD="${RELEASE_BUILD:-$REPO/build/release}"
OUT="${RELEASE_OUT:-$REPO/dist}"

bash scripts/setup.sh
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
  echo "release: WARNING: the tree has uncommitted changes; this release is not the commit's" >&2
fi
cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTESSARY_VERSION="${TESSARY_VERSION:-}" \
  -DTESSARY_WEB_ADDRESS="${TESSARY_WEB_ADDRESS:-}" >/dev/null
cmake --build "$BUILD" -j2 --target Tessary
bash scripts/check-imports.sh --safe-dll-search "$BUILD/Tessary.exe" ||
  { echo "release: Tessary.exe would need DLLs of its own, or could load one planted beside it" >&2; exit 1; }
version="$(cat "$BUILD/version.txt")"
epoch="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}"

mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
rm -f "$OUT"/Tessary.exe "$OUT"/Tessary-*-win64.zip "$OUT"/Tessary-*-setup.exe "$OUT"/SHA256SUMS
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

cp "$BUILD/Tessary.exe" "$stage/Tessary.exe"
# Windows' own line ends for the texts a user opens.
sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/README.txt >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
chmod 644 "$stage"/*
touch -d "@$epoch" "$stage"/*

zip_name="Tessary-$version-win64.zip"
setup_name="Tessary-$version-setup.exe"
# -X: no Unix owners or extra times; TZ: zip stores local time.
(cd "$stage" && TZ=UTC zip -q -X -9 "$OUT/$zip_name" Tessary.exe README.txt LICENSE.txt)
website=()
[ -n "${TESSARY_WEB_ADDRESS:-}" ] && website=(-DWEBSITE="$TESSARY_WEB_ADDRESS")
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$REPO/src/app/Tessary.ico" \
  -DOUTFILE="$OUT/$setup_name" "${website[@]}" packaging/Tessary.nsi
cp "$stage/Tessary.exe" "$OUT/Tessary.exe"

(cd "$OUT" && sha256sum Tessary.exe "$zip_name" "$setup_name" >SHA256SUMS)
echo "release: Tessary $version in $OUT"
(cd "$OUT" && ls -l Tessary.exe "$zip_name" "$setup_name" SHA256SUMS | awk '{ printf "  %9d  %s\n", $5, $NF }')
