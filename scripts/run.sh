#!/usr/bin/env bash
# Builds vardix.exe (x86_64) and starts it under Wine, in the session scripts/wine-env.sh sets up in build/run: on the
# X display there is, or on a virtual one of its own.
#   scripts/run.sh [--english] [ARGUMENTS]   in Chinese, as on a Chinese Windows; --english: in English, as in any other
#                                            UI language. ARGUMENTS go to the program (for example /runmin).
set -euo pipefail
cd "$(dirname "$0")/.."
locale=
if [ "${1:-}" = --english ]; then
  locale=C.UTF-8  # Wine takes a program's UI language from its locale
  shift
fi

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target vardix

given=${DISPLAY:-}
scripts/wine-env.sh stop build/run
scripts/wine-env.sh start build/run ${given:+--display}
. build/run/env.sh
if [ -z "$given" ]; then
  echo "vardix runs on the virtual display $DISPLAY. To see it:"
  echo "  DISPLAY=$DISPLAY import -window root vardix.png   # a screenshot"
  echo "Press its hotkey from a script: DISPLAY=$DISPLAY xdotool key ctrl+alt+v"
fi
exec env ${locale:+LC_ALL=$locale} /usr/lib/wine/wine64 build/win64/vardix.exe "$@"
