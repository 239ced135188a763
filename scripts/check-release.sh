#!/usr/bin/env bash
# Checks the release archives: files present, checksums right, each
# executable of its platform's machine type and importing only Windows' DLLs;
# and the Windows Installer packages' tables (msitools): version, upgrade code,
# per-machine folder, the one file (the archive's vardix.exe), the shortcut and
# the uninstall's actions.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(awk '/#define VARDIX_VERSION_(MAJOR|MINOR|PATCH|BUILD)/ {v = v (v == "" ? "" : ".") $3} END {print v}' src/res/version.h)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {
  local platform=$1 machine=$2 objdump=$3
  local zip="dist/vardix-$version-$platform.zip"
  [ -f "$zip" ] || { echo "FAIL: $zip missing"; exit 1; }
  (cd dist && sha256sum -c --quiet "$(basename "$zip").sha256")
  mkdir "$work/$platform"
  unzip -q "$zip" -d "$work/$platform"
  local listed
  listed=$(cd "$work/$platform" && ls | sort | tr '\n' ' ')
  [ "$listed" = "README.txt SHA256SUMS.txt vardix.exe " ] || { echo "FAIL: $zip holds: $listed"; exit 1; }
  (cd "$work/$platform" && sha256sum -c --quiet SHA256SUMS.txt)
  grep -q "Ctrl+Alt+V" "$work/$platform/README.txt" || { echo "FAIL: read-me without the hotkey"; exit 1; }
  scripts/check-pe.sh "$objdump" "$work/$platform/vardix.exe" "$machine"
}

# A row of a package's table exactly as msiinfo exports it, its fields separated by tabs.
has_row() {
  local msi=$1 table=$2 row=$3
  # In the scratch folder: a table with binary data is exported together with a folder of its streams.
  (cd "$work" && msiinfo export "$msi" "$table") | tr -d '\r' | grep -qxF "$row" || { echo "FAIL: $msi: no $table row: $row"; exit 1; }
}

check_msi() {
  local platform=$1 template=$2 folder=$3 attributes=$4
  local msi="$PWD/dist/vardix-$version-$platform.msi" tab=$'\t'
  [ -f "$msi" ] || { echo "FAIL: $msi missing"; exit 1; }
  (cd dist && sha256sum -c --quiet "$(basename "$msi").sha256")
  msiinfo suminfo "$msi" | grep -qxF "Template: $template;1033" || { echo "FAIL: $msi is not for $template"; exit 1; }
  has_row "$msi" Property "ProductVersion${tab}$version"
  has_row "$msi" Property "UpgradeCode${tab}{6F1B3D2E-8A47-4C59-9E0D-5B7A2C4F1E83}"
  has_row "$msi" Upgrade "{6F1B3D2E-8A47-4C59-9E0D-5B7A2C4F1E83}${tab}0.0.0.0${tab}${tab}${tab}256${tab}${tab}VARDIX_OLDER"
  has_row "$msi" Property "ProductName${tab}Vardix"
  has_row "$msi" Property "Manufacturer${tab}Quorvantel"
  has_row "$msi" Property "ALLUSERS${tab}1"
  has_row "$msi" Property "ARPPRODUCTICON${tab}vardix.ico"
  has_row "$msi" Directory "INSTALLDIR${tab}$folder${tab}Vardix"
  has_row "$msi" Component "Program${tab}{3C9E5A71-2B84-4F06-A1D3-7E58C0B94F26}${tab}INSTALLDIR${tab}$attributes${tab}${tab}vardix.exe"
  [ "$(msiinfo export "$msi" File | tail -n +4 | cut -f1-3)" = "vardix.exe${tab}Program${tab}vardix.exe" ] ||
    { echo "FAIL: $msi holds other files than vardix.exe"; exit 1; }
  has_row "$msi" Icon "vardix.ico${tab}Icon.vardix.ico"
  msiinfo export "$msi" Shortcut | cut -f1-5 | grep -qxF "StartMenu${tab}ProgramMenuFolder${tab}Vardix${tab}Program${tab}Vardix" ||
    { echo "FAIL: $msi: no Start menu shortcut Vardix"; exit 1; }
  has_row "$msi" CustomAction "QuitRunning${tab}82${tab}vardix.exe${tab}/quit${tab}"
  # At an uninstall: the running copy asked to end; the Run values and settings removed, unless an upgrade replaces it.
  local sequence
  sequence=$(msiinfo export "$msi" InstallExecuteSequence | tr -d '\r')
  grep -q "^QuitRunning${tab}REMOVE=\"ALL\"${tab}" <<<"$sequence" || { echo "FAIL: $msi: /quit not at uninstall"; exit 1; }
  for action in DeleteRun32 DeleteRun64 DeleteSettings; do
    grep -q "^$action${tab}REMOVE=\"ALL\" AND NOT UPGRADINGPRODUCTCODE${tab}" <<<"$sequence" ||
      { echo "FAIL: $msi: $action not at uninstall"; exit 1; }
  done
  mkdir "$work/$platform.msi"
  msiextract -C "$work/$platform.msi" "$msi" >/dev/null
  cmp -s "$(find "$work/$platform.msi" -name vardix.exe)" "$work/$platform/vardix.exe" ||
    { echo "FAIL: $msi holds another vardix.exe than the archive"; exit 1; }
}

check win32 pei-i386 i686-w64-mingw32-objdump
check win64 pei-x86-64 x86_64-w64-mingw32-objdump
check_msi win32 Intel ProgramFilesFolder 0
check_msi win64 x64 ProgramFiles64Folder 256
echo "OK: release $version archives and packages checked"
