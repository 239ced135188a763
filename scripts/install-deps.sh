#!/bin/sh
# Installs what the builds and the Wine end-to-end tests need on Debian 12.
# Fast and silent when everything is already there, so CI can call it always.
# wine32 is kept out on purpose (the trailing "wine32-" below): with it the
# /usr/bin/wine wrapper tries a 32-bit loader that this kind of kernel cannot
# execute, and wine64 would otherwise pull it in as a recommendation wherever
# the i386 architecture is enabled.
set -eu

PACKAGES="g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64
wine wine64 xvfb xdotool xsel imagemagick fonts-wqy-zenhei locales
libgtest-dev cmake x11-xkb-utils x11-utils clang clang-format black libclang-rt-14-dev python3 zip unzip file wixl msitools"

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $p" ;;
    esac
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq $missing wine32- >/dev/null
