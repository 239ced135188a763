#!/usr/bin/env bash
# Builds the Windows Installer package of one vardix.exe with wixl (packaging/vardix.wxs), for scripts/release.sh and
# the end-to-end tests.
# Usage: scripts/make-msi.sh x64|x86 VERSION path/to/vardix.exe OUTPUT.msi
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 x64|x86 VERSION EXE OUTPUT.msi" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
arch=$1 version=$2 exe=$(realpath "$3") out=$(realpath -m "$4")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/vardix.exe"
cp "$root/src/res/vardix.ico" "$stage/vardix.ico"
# wixl takes the sources' paths relative to the working folder.
(cd "$stage" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D Exe=vardix.exe -D Icon=vardix.ico \
  -o "$out" "$root/packaging/vardix.wxs")
