#!/usr/bin/env bash
# The release: builds Tessary.exe from this tree (optimized, stripped) and writes under dist/
#   Tessary.exe  Tessary-<version>-win64.zip  Tessary-<version>-setup.exe  SHA256SUMS
#   winget/  the installer's winget manifest (version, installer and default locale files)
# The same commit gives the same bytes: the exe carries no time stamp and every file in the
# archives carries the commit's time (SOURCE_DATE_EPOCH when set).
#   RELEASE_BUILD=DIR  the build folder (default build/release)
#   RELEASE_OUT=DIR    the output folder (default dist)
#   TESSARY_VERSION=x.y.z  builds another version than the project's (for testing upgrades)
#   TESSARY_WEB_ADDRESS=URL  the project's public home, for the About box's link, the
#                      installer's entry under Installed apps and the manifest's PackageUrl; none
#                      when unset
#   TESSARY_RELEASE_URL=URL  the address of the folder the release's files will be published in:
#                      the manifest's InstallerUrl is URL/Tessary-<version>-setup.exe. Unset, it
#                      is a placeholder winget refuses, to be filled in before the manifest is used.
set -euo pipefail
REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$REPO"

BUILD="${RELEASE_BUILD:-$REPO/build/release}"
OUT="${RELEASE_OUT:-$REPO/dist}"

# ---- the winget manifest (multi-file, schema 1.12.0): everything in it comes from this tree and
# the installer just built, so it is as reproducible as the installer.
WINGET_ID=Tessary.Tessary
WINGET_SCHEMA=1.12.0
release_url="${TESSARY_RELEASE_URL:-}"
release_url="${release_url%/}"
if [ -n "$release_url" ] && ! [[ "$release_url" =~ ^https?://[^[:space:]\'\"]+$ ]]; then
  echo "release: TESSARY_RELEASE_URL must be an http(s) address, not '$release_url'" >&2
  exit 1
fi
# A YAML scalar in single quotes: any text but line breaks.
yaml_str() { printf "'%s'" "${1//\'/\'\'}"; }
# The first paragraph of a text file after its first SKIP lines, on one line.
first_paragraph() { awk -v skip="$2" 'NR > skip && NF { p = p (p == "" ? "" : " ") $0; next } p != "" { exit } END { print p }' "$1"; }
write_winget_manifest() {
  local dir="$1" publisher licence copyright short description day url
  publisher="$(sed -nE 's/^!define PUBLISHER "(.*)"$/\1/p' packaging/Tessary.nsi)"
  licence="$(head -1 LICENSE | sed -E 's/ License$//')"
  copyright="$(grep -m1 '^Copyright' LICENSE)"
  short="$(first_paragraph packaging/README.txt 2 | sed -E 's/([.!?]) .*/\1/')"
  description="$(first_paragraph README.md 1 | tr -d '*`')"
  day="$(date -u -d "@$epoch" +%Y-%m-%d)"
  [ -n "$publisher" ] && [ -n "$licence" ] && [ "${#short}" -ge 3 ] && [ "${#short}" -le 256 ] ||
    { echo "release: the manifest's publisher, licence or short description did not read" >&2; exit 1; }
  url="$release_url/$setup_name"
  if [ -z "$release_url" ]; then
    url="<TESSARY_RELEASE_URL>/$setup_name"
    echo "release: WARNING: TESSARY_RELEASE_URL is not set: winget/ has a placeholder for the installer's address" >&2
  fi
  mkdir -p "$dir"
  cat >"$dir/$WINGET_ID.yaml" <<YAML
# Tessary $version for winget (winget-pkgs: manifests/t/Tessary/Tessary/$version/), by scripts/release.sh
PackageIdentifier: $WINGET_ID
PackageVersion: $(yaml_str "$version")
DefaultLocale: en-US
ManifestType: version
ManifestVersion: $WINGET_SCHEMA
YAML
  {
    echo "# The installer's silent switch is /S; /D=<folder> picks another folder. Its own /NOAUTOSTART"
    echo "# leaves out the start at sign-in: winget install $WINGET_ID --custom /NOAUTOSTART"
    echo "PackageIdentifier: $WINGET_ID"
    echo "PackageVersion: $(yaml_str "$version")"
    echo "MinimumOSVersion: 10.0.0.0"
    echo "InstallerType: nullsoft"
    echo "Scope: machine"
    echo "InstallModes:"
    echo "- interactive"
    echo "- silent"
    echo "- silentWithProgress"
    echo "InstallerSwitches:"
    echo "  Silent: /S"
    echo "  SilentWithProgress: /S"
    echo "  InstallLocation: $(yaml_str "/D=<INSTALLPATH>")"
    echo "UpgradeBehavior: install"
    echo "ReleaseDate: $day"
    echo "Installers:"
    echo "- Architecture: x64"
    [ -n "$release_url" ] || echo "  # Fill in where $setup_name is published (or set TESSARY_RELEASE_URL)."
    echo "  InstallerUrl: $(yaml_str "$url")"
    echo "  InstallerSha256: $(sha256sum "$OUT/$setup_name" | cut -d' ' -f1 | tr 'a-f' 'A-F')"
    echo "ManifestType: installer"
    echo "ManifestVersion: $WINGET_SCHEMA"
  } >"$dir/$WINGET_ID.installer.yaml"
  {
    echo "PackageIdentifier: $WINGET_ID"
    echo "PackageVersion: $(yaml_str "$version")"
    echo "PackageLocale: en-US"
    echo "Publisher: $(yaml_str "$publisher")"
    echo "PackageName: Tessary"
    [ -z "${TESSARY_WEB_ADDRESS:-}" ] || echo "PackageUrl: $(yaml_str "$TESSARY_WEB_ADDRESS")"
    echo "License: $(yaml_str "$licence")"
    echo "Copyright: $(yaml_str "$copyright")"
    echo "ShortDescription: $(yaml_str "$short")"
    echo "Description: $(yaml_str "$description")"
    echo "Moniker: tessary"
    echo "ManifestType: defaultLocale"
    echo "ManifestVersion: $WINGET_SCHEMA"
  } >"$dir/$WINGET_ID.locale.en-US.yaml"
  chmod 644 "$dir"/*.yaml
}

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
rm -rf "$OUT/winget"
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
write_winget_manifest "$OUT/winget"
echo "release: Tessary $version in $OUT"
(cd "$OUT" && ls -l Tessary.exe "$zip_name" "$setup_name" SHA256SUMS winget/* | awk '{ printf "  %9d  %s\n", $5, $NF }')
