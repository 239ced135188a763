#!/usr/bin/env bash
# Builds vardix.exe (x86_64) and starts it under Wine. Without an X display it
# starts a virtual one and says how to look at it. Extra arguments go to the
# program (for example /runmin).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target vardix

# Chinese Windows runs in code page 936; Wine takes it from a zh_CN locale.
export LOCPATH="$root/build/locale"
if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
  mkdir -p "$LOCPATH"
  localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" 2>/dev/null || true
fi
export LC_ALL=zh_CN.UTF-8
export WINEPREFIX="$root/build/run-prefix" WINEDEBUG=-all
wine=/usr/lib/wine/wine64

if [ -z "${DISPLAY:-}" ]; then
  display=:${VARDIX_DISPLAY:-71}
  if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
    for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  export DISPLAY=$display
  echo "vardix runs on the virtual display $DISPLAY. To see it:"
  echo "  import -display $DISPLAY -window root vardix.png   # a screenshot"
  echo "Press its hotkey from a script: DISPLAY=$DISPLAY xdotool key ctrl+alt+v"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX (about 10 s)..."
  "$wine" wineboot -i >/dev/null 2>&1
  # Without a window manager Wine draws the window frames itself.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi

exec "$wine" "$root/build/win64/vardix.exe" "$@"
