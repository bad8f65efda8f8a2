#!/usr/bin/env bash
# The release as a user gets it. scripts/release.sh builds it twice, in two build folders, and gives
# the same bytes; the exe is small, imports only Windows' own DLLs and restricts the DLL search at
# its entry point. Its winget manifest parses as YAML, has winget's required keys, the installer's
# real hash and the release's version, the same in both builds; the installer's address is a
# placeholder unless TESSARY_RELEASE_URL gives one, and no web address appears anywhere (About box,
# uninstall entry, manifest) unless TESSARY_WEB_ADDRESS gives one. Under Wine: the installer, run
# from a folder with DLLs planted in it, loads none of them and installs silently (files, shortcut,
# uninstall entry, Run entry); the installed copy keeps its settings in the user's application data
# and writes nothing under Program Files; an upgrade over a running copy ends it cleanly and leaves
# one running copy of the new version; the silent uninstall removes everything but the user's
# settings; the zip's exe runs from an ordinary folder and keeps its files beside itself.
set -uo pipefail
. "$(dirname "$0")/lib/harness.sh"
e2e_begin release --tools testwin,uiprobe,loadbyname
version="$(sed -nE 's/^project\(Tessary VERSION ([0-9.]+).*/\1/p' "$E2E_REPO/CMakeLists.txt")"
next=9.1.0  # an upgrade: any version other than the project's
# Addresses for the later version's build: reserved names (RFC 2606) that can never be anyone's.
next_url=https://downloads.example.invalid/tessary/
next_web=https://tessary.example.invalid/

# ---- the release command, twice in two folders, and a later version for the upgrade
release() {  # OUT BUILD [VERSION [RELEASE_URL [WEB_ADDRESS]]]; none from the caller's environment
  RELEASE_OUT="$1" RELEASE_BUILD="$2" TESSARY_VERSION="${3:-}" TESSARY_RELEASE_URL="${4:-}" \
    TESSARY_WEB_ADDRESS="${5:-}" bash "$E2E_REPO/scripts/release.sh" >"$1.log" 2>&1
}
# The three files of a release's winget manifest, one "FILE:KEY=VALUE" line per value.
WV=Tessary.Tessary.yaml WI=Tessary.Tessary.installer.yaml WL=Tessary.Tessary.locale.en-US.yaml
manifest() { python3 "$E2E_REPO/tests/e2e/lib/yaml_flat.py" "$1/winget/$WV" "$1/winget/$WI" "$1/winget/$WL" 2>&1; }
mval() { awk -v k="$2=" 'index($0, k) == 1 { print substr($0, length(k) + 1); exit }' <<<"$1"; }  # FLAT FILE:KEY
# Keys winget requires in each file (manifest schema 1.12.0) that are missing.
missing_keys() {
  local k out=""
  for k in "$WV:"{PackageIdentifier,PackageVersion,DefaultLocale,ManifestType,ManifestVersion} \
    "$WI:"{PackageIdentifier,PackageVersion,InstallerType,Installers.0.Architecture,Installers.0.InstallerUrl} \
    "$WI:"{Installers.0.InstallerSha256,ManifestType,ManifestVersion} \
    "$WL:"{PackageIdentifier,PackageVersion,PackageLocale,Publisher,PackageName,License,ShortDescription} \
    "$WL:"{ManifestType,ManifestVersion}; do
    grep -q "^$k=." <<<"$1" || out="$out $k"
  done
  echo "${out# }"
}
sha_upper() { sha256sum "$1" | cut -d' ' -f1 | tr 'a-f' 'A-F'; }
# Addresses in the exe's UTF-16 texts (the About box's link).
exe_addresses() { strings -el "$1" | grep -o 'https\?://[^ ]*' | sort -u | paste -sd' '; }
A="$E2E_OUT/dist-a" B="$E2E_OUT/dist-b" N="$E2E_OUT/dist-next"
release "$A" "$E2E_REPO/build/release" ||
  { e2e_fail "scripts/release.sh builds the release" "$(tail -5 "$A.log")"; e2e_finish; }
e2e_eq "the release holds the exe, the zip, the installer, the sums and the winget manifest" \
  "SHA256SUMS Tessary-$version-setup.exe Tessary-$version-win64.zip Tessary.exe winget" "$(ls "$A" | sort | paste -sd' ')"
(cd "$A" && sha256sum -c --quiet SHA256SUMS) >/dev/null 2>&1 &&
  e2e_pass "SHA256SUMS matches the files" || e2e_fail "SHA256SUMS matches the files" "$(cat "$A/SHA256SUMS")"
e2e_eq "the zip holds the exe, README.txt and LICENSE.txt" "LICENSE.txt README.txt Tessary.exe" \
  "$(unzip -Z1 "$A/Tessary-$version-win64.zip" | sort | paste -sd' ')"

# The winget manifest of the release.
e2e_eq "the winget manifest is three files" "$WI $WL $WV" "$(ls "$A/winget" | sort | paste -sd' ')"
flat="$(manifest "$A")" && e2e_pass "its files parse as YAML" ||
  e2e_fail "its files parse as YAML" "$(grep -E ': (does not parse|not a mapping)' <<<"$flat")"
e2e_eq "each file has the keys winget requires" "" "$(missing_keys "$flat")"
e2e_eq "the files are a version, an installer and a default-locale file of one package and version" \
  "version installer defaultLocale|Tessary.Tessary $version|en-US en-US|1.12.0 1.12.0 1.12.0" \
  "$(mval "$flat" "$WV:ManifestType") $(mval "$flat" "$WI:ManifestType") $(mval "$flat" "$WL:ManifestType")|$(
    for f in "$WV" "$WI" "$WL"; do echo "$(mval "$flat" "$f:PackageIdentifier") $(mval "$flat" "$f:PackageVersion")"; done |
      sort -u | paste -sd' ')|$(mval "$flat" "$WV:DefaultLocale") $(mval "$flat" "$WL:PackageLocale")|$(
    mval "$flat" "$WV:ManifestVersion") $(mval "$flat" "$WI:ManifestVersion") $(mval "$flat" "$WL:ManifestVersion")"
e2e_eq "InstallerSha256 is the installer's hash" "$(sha_upper "$A/Tessary-$version-setup.exe")" \
  "$(mval "$flat" "$WI:Installers.0.InstallerSha256")"
e2e_eq "the installer is nullsoft, x64, for the machine, silent with /S" "nullsoft x64 machine /S /S" \
  "$(mval "$flat" "$WI:InstallerType") $(mval "$flat" "$WI:Installers.0.Architecture") $(mval "$flat" "$WI:Scope") $(
    mval "$flat" "$WI:InstallerSwitches.Silent") $(mval "$flat" "$WI:InstallerSwitches.SilentWithProgress")"
e2e_eq "without TESSARY_RELEASE_URL the installer's address is a placeholder, and the release says so" \
  "<TESSARY_RELEASE_URL>/Tessary-$version-setup.exe warned" \
  "$(mval "$flat" "$WI:Installers.0.InstallerUrl") $(grep -q 'TESSARY_RELEASE_URL is not set' "$A.log" && echo warned)"
e2e_eq "the licence and copyright are LICENSE's" "$(head -1 "$E2E_REPO/LICENSE" | cut -d' ' -f1)|$(grep -m1 '^Copyright' "$E2E_REPO/LICENSE")" \
  "$(mval "$flat" "$WL:License")|$(mval "$flat" "$WL:Copyright")"
short="$(mval "$flat" "$WL:ShortDescription")"
readme="$(sed -n '4,/^$/p' "$E2E_REPO/packaging/README.txt" | paste -sd' ')"
[ "${#short}" -ge 20 ] && [ "${#short}" -le 256 ] && [ "${readme#"$short"}" != "$readme" ] &&
  e2e_pass "the short description opens README.txt and fits winget's 256 characters (${#short})" ||
  e2e_fail "the short description opens README.txt and fits winget's 256 characters" "[$short]"
e2e_eq "no web address in the manifest, the exe or its texts" "||" \
  "$(mval "$flat" "$WL:PackageUrl")|$(mval "$flat" "$WL:PublisherUrl")|$(exe_addresses "$A/Tessary.exe")"

if release "$B" "$E2E_REPO/build/release-again"; then
  e2e_eq "a second build of the same tree in another folder gives the same bytes" \
    "$(cat "$A/SHA256SUMS")" "$(cat "$B/SHA256SUMS")"
  diff -r "$A/winget" "$B/winget" >"$E2E_OUT/winget.diff" 2>&1 &&
    e2e_pass "and the same winget manifest" || e2e_fail "and the same winget manifest" "$(head -5 "$E2E_OUT/winget.diff")"
else
  e2e_fail "a second build of the same tree in another folder gives the same bytes" "$(tail -5 "$B.log")"
fi
size=$(stat -c %s "$A/Tessary.exe")
[ "$size" -le $((512 * 1024)) ] && e2e_pass "the exe is at most 512 KB ($size bytes)" ||
  e2e_fail "the exe is at most 512 KB" "$size bytes"
imports="$(bash "$E2E_REPO/scripts/check-imports.sh" --safe-dll-search "$A/Tessary.exe")" &&
  e2e_pass "the exe imports only Windows' own DLLs and restricts the DLL search ($imports)" ||
  e2e_fail "the exe imports only Windows' own DLLs and restricts the DLL search" "$imports"
# The version resource (About box, tray tip, status line) follows the build's version.
has_version() { strings -el "$1" | grep -qx "$2.0"; }
has_version "$A/Tessary.exe" "$version" && e2e_pass "the exe's version resource says $version" ||
  e2e_fail "the exe's version resource says $version" "$(strings -el "$A/Tessary.exe" | grep -m3 -E '^[0-9]+\.[0-9]+\.')"
release "$N" "$E2E_REPO/build/release-again" "$next" "$next_url" "$next_web" ||
  { e2e_fail "a build of version $next" "$(tail -5 "$N.log")"; e2e_finish; }
has_version "$N/Tessary.exe" "$next" && [ -f "$N/Tessary-$next-setup.exe" ] &&
  e2e_pass "TESSARY_VERSION=$next names the files and the version resource" ||
  e2e_fail "TESSARY_VERSION=$next names the files and the version resource" "$(ls "$N")"
nflat="$(manifest "$N")"
e2e_eq "its manifest: version $next, the installer at TESSARY_RELEASE_URL with its hash" \
  "$next $next $next|${next_url}Tessary-$next-setup.exe|$(sha_upper "$N/Tessary-$next-setup.exe")" \
  "$(mval "$nflat" "$WV:PackageVersion") $(mval "$nflat" "$WI:PackageVersion") $(mval "$nflat" "$WL:PackageVersion")|$(
    mval "$nflat" "$WI:Installers.0.InstallerUrl")|$(mval "$nflat" "$WI:Installers.0.InstallerSha256")"
e2e_eq "TESSARY_WEB_ADDRESS is the manifest's PackageUrl and the About box's link" "$next_web|$next_web" \
  "$(mval "$nflat" "$WL:PackageUrl")|$(exe_addresses "$N/Tessary.exe")"

# ---- under Wine
C="$WINEPREFIX/drive_c"
PF="$C/Program Files/Tessary"
MENU="$C/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessary.lnk"
DATA="$(ls -d "$C"/users/*/AppData/Roaming 2>/dev/null | head -1)/Tessary"
UNINST='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessary'
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
PORTABLE="$C/Tools/Tessary portable"
# The prefix is shared with the other scripts: no installation stays behind.
forget_install() {
  rm -rf "$PF" "$MENU" "$DATA" "$PORTABLE"
  wine reg delete "$UNINST" /f >/dev/null 2>&1
  wine reg delete "$RUN" /v Tessary /f >/dev/null 2>&1
}
forget_install
e2e_after_exit 'wineserver -k 2>/dev/null; forget_install'

reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }
# Processes of this prefix running a Tessary.exe, one "pid path" line each.
tessary_procs() {
  local pid
  for pid in $(pgrep -f 'Tessary\.exe$'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" | sed 's/ *$//')"
  done
}
no_dir() { [ ! -e "$1" ]; }
run_entry_is() { [ "$(reg_value "$RUN" Tessary)" = "$1" ]; }
one_instance() { [ "$(instance_count)" = 1 ]; }
no_tessary() { [ -z "$(tessary_procs)" ]; }

# Silent install, from a download folder where an attacker left DLLs (tests/e2e/plant; each leaves
# "NAME.loaded" when loaded) under names the installer's stub and Windows' own DLLs load by name.
DL="$E2E_OUT/Downloads"
rm -rf "$DL" && mkdir -p "$DL"
cp "$A/Tessary-$version-setup.exe" "$DL/"
for dll in dwmapi userenv apphelp propsys cryptbase clbcatq ntmarta uxtheme version; do
  cp "$LAB_TOOLS/planted.dll" "$DL/$dll.dll"
done
planted_loaded() { (cd "$DL" && ls -- *.loaded 2>/dev/null | paste -sd' '); }
if cp "${E2E_TOOL[loadbyname]}" "$DL/"; then
  lab_run 30 "$DL/loadbyname.exe" dwmapi.dll userenv.dll >/dev/null 2>&1
  e2e_eq "an ordinary program in the download folder loads the DLLs planted there" \
    "dwmapi.dll.loaded userenv.dll.loaded" "$(planted_loaded)"
  rm -f "$DL"/*.loaded
else
  e2e_fail "an ordinary program in the download folder loads the DLLs planted there" "no loadbyname.exe"
fi
lab_run 120 "$DL/Tessary-$version-setup.exe" /S >"$E2E_OUT/install.txt" 2>&1
e2e_eq "the silent install ends with code 0" 0 "$?"
e2e_eq "the installer loads none of the DLLs planted beside it" "" "$(planted_loaded)"
e2e_eq "the program's files are under Program Files" "LICENSE.txt README.txt Tessary.exe Uninstall.exe" \
  "$(ls "$PF" 2>/dev/null | paste -sd' ')"
cmp -s "$A/Tessary.exe" "$PF/Tessary.exe" && e2e_pass "the installed exe is the release's" ||
  e2e_fail "the installed exe is the release's" "differs"
[ -s "$MENU" ] && e2e_pass "the Start-menu shortcut is there" || e2e_fail "the Start-menu shortcut is there" "no $MENU"
e2e_eq "the uninstall entry: name, version, publisher, uninstaller" \
  "Tessary|$version|The Tessary developers|\"C:\\Program Files\\Tessary\\Uninstall.exe\" /S" \
  "$(reg_value "$UNINST" DisplayName)|$(reg_value "$UNINST" DisplayVersion)|$(reg_value "$UNINST" Publisher)|$(reg_value "$UNINST" QuietUninstallString)"
e2e_eq "the uninstall entry is the one the manifest names (winget matches them)" \
  "$(mval "$flat" "$WL:PackageName")|$(mval "$flat" "$WL:PackageVersion")|$(mval "$flat" "$WL:Publisher")" \
  "$(reg_value "$UNINST" DisplayName)|$(reg_value "$UNINST" DisplayVersion)|$(reg_value "$UNINST" Publisher)"
wine reg query "$UNINST" /v URLInfoAbout >/dev/null 2>&1 &&
  e2e_fail "no web address in the uninstall entry" "URLInfoAbout: $(reg_value "$UNINST" URLInfoAbout)" ||
  e2e_pass "no web address in the uninstall entry"
est=$(($(reg_value "$UNINST" EstimatedSize)))
[ "$est" -gt 0 ] && e2e_pass "the uninstall entry gives the size ($est KB)" || e2e_fail "the uninstall entry gives the size" "$est"
wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -q '|||Tessary$' &&
  e2e_pass "Tessary is listed among the installed programs" ||
  e2e_fail "Tessary is listed among the installed programs" "$(wine uninstaller --list 2>&1 | tr -d '\r')"
e2e_eq "the Run entry starts the installed copy at sign-in" '"C:\Program Files\Tessary\Tessary.exe"' "$(reg_value "$RUN" Tessary)"

# The installed copy: settings in the user's application data, nothing beside itself.
if tessary_start "$PF/Tessary.exe"; then
  e2e_pass "the installed copy starts"
  e2e_wait_until 10 test -f "$DATA/Tessary.ini" && e2e_pass "it writes Tessary.ini under the application data folder" ||
    e2e_fail "it writes Tessary.ini under the application data folder" "nothing in $DATA"
  e2e_eq "it writes nothing under Program Files" "LICENSE.txt README.txt Tessary.exe Uninstall.exe" \
    "$(ls "$PF" | paste -sd' ')"
  # Its tray item "Start Tessary when I sign in" is the installer's entry: a click removes it, the
  # next writes it back exactly as the installer wrote it.
  e2e_wait_until 10 tray_shown
  tray="$(wine_tray_window)"
  if [ -n "$tray" ]; then
    icon_at "$tray"
    for want in "" '"C:\Program Files\Tessary\Tessary.exe"'; do
      right_click_icon
      if wait_menus 1 >/dev/null; then
        menu_click "Start Tessary when I sign in"
        e2e_wait_until -i 0.2 10 run_entry_is "$want"
        e2e_eq "the installed copy's sign-in item leaves the Run entry ${want:-removed}" "$want" "$(reg_value "$RUN" Tessary)"
      else
        e2e_fail "the installed copy's tray menu opens" "no menu within 3 s"
      fi
    done
  else
    e2e_fail "the installed copy's tray icon shows" "no Wine System Tray window"
  fi
else
  e2e_fail "the installed copy starts" "no instance window"
fi

# Upgrade over the running copy.
old_pid="${TESSARY_PID:-}"
lab_run 120 "$N/Tessary-$next-setup.exe" /S >"$E2E_OUT/upgrade.txt" 2>&1
e2e_eq "the upgrade ends with code 0" 0 "$?"
if [ -n "$old_pid" ]; then
  wait "$old_pid"
  e2e_eq "the running copy was asked to exit and ended with code 0" 0 "$?"
  TESSARY_PID=""
fi
e2e_wait_until 10 one_instance
procs="$(tessary_procs)"
e2e_eq "one copy runs after the upgrade, the installed one" "C:\\Program Files\\Tessary\\Tessary.exe" \
  "$(cut -d' ' -f2- <<<"$procs")"
cmp -s "$N/Tessary.exe" "$PF/Tessary.exe" && e2e_pass "the installed exe is version $next" ||
  e2e_fail "the installed exe is version $next" "differs from the new release's"
e2e_eq "the uninstall entry says $next, with the build's web address" "$next $next_web" \
  "$(reg_value "$UNINST" DisplayVersion) $(reg_value "$UNINST" URLInfoAbout)"

# Silent uninstall: the uninstaller runs from a copy of itself, so the folder's end is awaited.
lab_run 120 "$PF/Uninstall.exe" /S >"$E2E_OUT/uninstall.txt" 2>&1
e2e_eq "the silent uninstall starts with code 0" 0 "$?"
e2e_wait_until 30 no_dir "$PF" && e2e_pass "the program's folder is gone" ||
  e2e_fail "the program's folder is gone" "$(ls "$PF" | paste -sd' ')"
e2e_wait_until 10 no_tessary && e2e_pass "the running copy was ended" ||
  e2e_fail "the running copy was ended" "$(tessary_procs)"
no_dir "$MENU" && e2e_pass "the shortcut is gone" || e2e_fail "the shortcut is gone" "still there"
wine reg query "$UNINST" >/dev/null 2>&1 && e2e_fail "the uninstall entry is gone" "still there" ||
  e2e_pass "the uninstall entry is gone"
e2e_eq "the Run entry is gone" "" "$(reg_value "$RUN" Tessary)"
[ -f "$DATA/Tessary.ini" ] && e2e_pass "the user's settings stay" || e2e_fail "the user's settings stay" "no $DATA/Tessary.ini"

# The zip: an ordinary folder, files beside the exe, nothing in the application data.
rm -rf "$DATA"
mkdir -p "$PORTABLE"
unzip -q "$A/Tessary-$version-win64.zip" -d "$PORTABLE"
if tessary_start "$PORTABLE/Tessary.exe"; then
  e2e_pass "the zip's exe starts from an ordinary folder"
  e2e_wait_until 10 test -f "$PORTABLE/Tessary.ini" && e2e_pass "it keeps Tessary.ini beside itself" ||
    e2e_fail "it keeps Tessary.ini beside itself" "$(ls "$PORTABLE" | paste -sd' ')"
  tessary_stop
  e2e_eq "asked to exit, it keeps its list files beside itself too" "yes yes" \
    "$([ -f "$PORTABLE/disabled.ini" ] && echo yes) $([ -f "$PORTABLE/noright.ini" ] && echo yes)"
  no_dir "$DATA" && e2e_pass "nothing goes to the application data folder" ||
    e2e_fail "nothing goes to the application data folder" "$(ls "$DATA")"
else
  e2e_fail "the zip's exe starts from an ordinary folder" "no instance window"
fi
e2e_finish
