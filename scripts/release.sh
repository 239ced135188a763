#!/usr/bin/env bash
# Builds the release archives in dist/: vardix-<version>-win32.zip (i686) and
# vardix-<version>-win64.zip (x86_64), each with vardix.exe, a read-me and the
# SHA-256 checksums of both, the Windows Installer packages
# vardix-<version>-win32.msi and -win64.msi of the same executables, and a
# checksum file beside each archive and package.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

version=$(awk '/#define VARDIX_VERSION_(MAJOR|MINOR|PATCH|BUILD)/ {v = v (v == "" ? "" : ".") $3} END {print v}' src/res/version.h)
[ -n "$version" ] || { echo "release: no version in src/res/version.h" >&2; exit 1; }

mkdir -p dist
for platform in win32 win64; do
  cmake --preset "$platform" >/dev/null
  cmake --build --preset "$platform" -j"$(nproc)" --target vardix >/dev/null

  name="vardix-$version-$platform"
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  cp "build/$platform/vardix.exe" "$stage/vardix.exe"
  # Windows' Notepad reads UTF-8 with CRLF line ends everywhere.
  sed -e "s/{VERSION}/$version/" -e "s/{PLATFORM}/$platform/" packaging/README.txt | sed 's/$/\r/' >"$stage/README.txt"
  (cd "$stage" && sha256sum vardix.exe README.txt >SHA256SUMS.txt)
  rm -f "dist/$name.zip"
  (cd "$stage" && TZ=UTC zip -q -X -D "$root/dist/$name.zip" vardix.exe README.txt SHA256SUMS.txt)
  (cd dist && sha256sum "$name.zip" >"$name.zip.sha256")
  rm -rf "$stage"
  trap - EXIT
  echo "dist/$name.zip"

  scripts/make-msi.sh "$([ "$platform" = win64 ] && echo x64 || echo x86)" "$version" "build/$platform/vardix.exe" \
    "dist/$name.msi"
  (cd dist && sha256sum "$name.msi" >"$name.msi.sha256")
  echo "dist/$name.msi"
done
