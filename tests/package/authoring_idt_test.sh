#!/usr/bin/env bash
# The IDT files of authoring/ are what an installer author imports: this test builds a
# package from exactly those files, a minimal product frame and the freshly built
# library with msitools' msibuild, installs and uninstalls it with Wine's msiexec,
# and checks in the MSI log and on disk that the library did its work. The x86 build's
# package is an Intel package installed by the 32-bit msiexec, the x64 build's an x64
# package installed by the 64-bit one.
#   authoring_idt_test.sh <source folder> <build folder> <Tidewell.dll or Tidewell64.dll> <x86|x64>
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
dll=$3
arch=${4:-x86}
authoring=$source_dir/authoring
wine=wine platform=Intel
[ "$arch" = x64 ] && wine=$(command -v wine64 || echo /usr/lib/wine/wine64) platform=x64

"$source_dir/tools/wine-prefix.sh" start "$build" >/dev/null
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

# The package and its logs live on C: of the prefix; the data the package works on too.
work=$WINEPREFIX/drive_c/tw-authoring-idt
data=$WINEPREFIX/drive_c/tw-authoring-data
product_code='{6F1D2C9A-3B7E-4C2D-9A51-7E0B3D2C4A10}'
msi='C:\tw-authoring-idt\kit.msi'

failures=0
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# Wine writes the log as UTF-16 with a byte-order mark or as ANSI text; grep needs UTF-8.
log_text() {
  if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then iconv -f UTF-16 -t UTF-8 "$1"; else cat "$1"; fi
}
log_has() { log_text "$1" | grep -qF -- "$2"; }
library_lines() { log_text "$1" | grep -E '(OnPromptUserBasicUI|OnVu[A-Za-z]+):' || true; }

# A product left behind by an earlier, interrupted run goes first.
"$wine" msiexec /x "$product_code" /qn >/dev/null 2>&1 || true
rm -rf "$work" "$data"
mkdir -p "$work/Binary" "$data"
printf 'old log\r\n' >"$data/stale.log"
printf 'keep me\r\n' >"$data/keep.txt"
cp "$dll" "$work/Binary/Tidewell.dll"

cd "$work"
idt() {  # idt <file> <header lines...> -- <rows...>: an IDT file of the frame
  local file=$1; shift
  : >"$file"
  for line in "$@"; do printf '%s\r\n' "$line" >>"$file"; done
}
T=$'\t'
idt Property.idt "Property${T}Value" "s72${T}l0" "Property${T}Property" \
  "ProductCode${T}$product_code" "ProductName${T}Tidewell authoring kit test" "ProductVersion${T}1.0.0" \
  "Manufacturer${T}Tidewell tests" "ProductLanguage${T}1033" "UpgradeCode${T}{0C5B7A11-8E2D-4F3A-B6C1-2D9E8F7A6B50}" \
  "DATADIR${T}C:\\tw-authoring-data\\"
idt Directory.idt "Directory${T}Directory_Parent${T}DefaultDir" "s72${T}S72${T}l255" "Directory${T}Directory" \
  "TARGETDIR${T}${T}SourceDir"
idt Component.idt "Component${T}ComponentId${T}Directory_${T}Attributes${T}Condition${T}KeyPath" \
  "s72${T}S38${T}s72${T}i2${T}S255${T}S72" "Component${T}Component" \
  "Main${T}{3A8C6E21-5D4B-4F6A-9E1C-7B2D0A9F8E31}${T}TARGETDIR${T}0${T}${T}"
idt Feature.idt "Feature${T}Feature_Parent${T}Title${T}Description${T}Display${T}Level${T}Directory_${T}Attributes" \
  "s38${T}S38${T}L64${T}L255${T}I2${T}i2${T}S72${T}i2" "Feature${T}Feature" \
  "Main${T}${T}Main${T}${T}1${T}1${T}${T}0"
idt FeatureComponents.idt "Feature_${T}Component_" "s38${T}s72" "FeatureComponents${T}Feature_${T}Component_" \
  "Main${T}Main"
# The standard RemoveFile row that the library takes over: *.log in DATADIR at installation.
idt RemoveFile.idt "FileKey${T}Component_${T}FileName${T}DirProperty${T}InstallMode" \
  "s72${T}s72${T}L255${T}s72${T}i2" "RemoveFile${T}FileKey" \
  "rfStaleLogs${T}Main${T}*.log${T}DATADIR${T}1"
idt Binary.idt "Name${T}Data" "s72${T}v0" "Binary${T}Name" "Tidewell${T}Tidewell.dll"

rm -f kit.msi
msibuild kit.msi -s "Tidewell authoring kit test" "Tidewell tests" "$platform;1033" "{9E2A4C61-0B3D-4E5F-8A7B-1C2D3E4F5A6B}"
for table in Property Directory Component Feature FeatureComponents RemoveFile Binary; do
  msibuild kit.msi -i "$table.idt"
done
# The kit, file for file as an author imports it.
for file in "$authoring"/*.idt; do
  msibuild kit.msi -i "$file"
done
# The kit's sequence holds only the library's actions: the frame adds the standard ones.
for action in CostInitialize:800 FileCost:900 CostFinalize:1000 InstallValidate:1400 InstallInitialize:1500 \
  ProcessComponents:1600 UnpublishFeatures:1800 RemoveRegistryValues:2600 RemoveFiles:3500 RemoveFolders:3600 \
  CreateFolders:3700 MoveFiles:3800 InstallFiles:4000 WriteRegistryValues:5000 RegisterProduct:6100 \
  PublishFeatures:6300 PublishProduct:6400 InstallFinalize:6600; do
  msibuild kit.msi -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('${action%%:*}', ${action##*:})"
done
# The package's own rows for the library's table.
msibuild kit.msi -q "INSERT INTO \`VU_RemoveFile\` (\`RemoveFile\`, \`Condition\`, \`Options\`) VALUES ('rfStaleLogs', '1', 0)"

# The kit's own package comes out of tidewell-check clean, and the check changes nothing.
checker="$build/bin/tidewell-check.exe"
before=$(md5sum kit.msi)
check_output=$(cd "$build/bin" && "$wine" "$checker" "$msi" 2>&1) && check_code=0 || check_code=$?
echo "--- tidewell-check:"; echo "$check_output"
check "tidewell-check finds nothing (exit code $check_code)" test "$check_code" = 0
check "tidewell-check reports no finding" grep -q "0 error(s), 0 warning(s)" <<<"$check_output"
check "tidewell-check leaves the package as it was" test "$before" = "$(md5sum kit.msi)"

install_code=0
"$wine" msiexec /i "$msi" /qn /l*v 'C:\tw-authoring-idt\install.log' >/dev/null 2>&1 || install_code=$?
echo "--- the library's lines of the installation log:"
library_lines install.log
check "the installation succeeds (exit code $install_code)" test "$install_code" = 0
check "the restore actions are scheduled" \
  log_has install.log "OnVuRestoreImmediate: scheduled VU_VuRestoreDeferred"
# File removal: the *.log files of DATADIR are removed at installation, nothing else.
check "the file named by VU_RemoveFile is removed" test ! -e "$data/stale.log"
check "the file not named stays" test -e "$data/keep.txt"

uninstall_code=0
"$wine" msiexec /x "$msi" /qn /l*v 'C:\tw-authoring-idt\uninstall.log' >/dev/null 2>&1 || uninstall_code=$?
echo "--- the library's lines of the uninstallation log:"
library_lines uninstall.log
check "the uninstallation succeeds (exit code $uninstall_code)" test "$uninstall_code" = 0
check "the clean-up question is considered on uninstallation" \
  log_has uninstall.log "OnPromptUserBasicUI: no question"

cd /
rm -rf "$data"
[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
