#!/usr/bin/env bash
# Checks the release archives: files present, checksums right, each
# executable of its platform's machine type and importing only Windows' DLLs.
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

check win32 pei-i386 i686-w64-mingw32-objdump
check win64 pei-x86-64 x86_64-w64-mingw32-objdump
echo "OK: release $version archives checked"
