#!/usr/bin/env bash
# One Wine session for vardix, the one set-up that scripts/run.sh, the end-to-end tests and the
# screenshots share: code page 936 as on a Chinese Windows, a prefix of its own, Wine drawing window
# frames itself (there is no window manager), and, on a virtual display of its own, function keys that
# reach programs.
#   scripts/wine-env.sh start DIR [--display]   set up in DIR (--display: on $DISPLAY, not a new Xvfb);
#                                               DIR/env.sh then gives a shell the session's environment
#   scripts/wine-env.sh stop DIR                end the prefix's programs and the session's Xvfb
set -euo pipefail
command=$1 dir=$(realpath -m "$2") here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$command" = stop ]; then
  if [ -d "$WINEPREFIX" ]; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
  pid=$(cat "$dir/xvfb.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid"; fi
  rm -f "$dir/xvfb.pid"
  exit 0
fi

mkdir -p "$dir"
# Wine takes its ANSI code page and a program's UI language from the C library's locale; without a compiled
# zh_CN.UTF-8 the code page stays 1252. zh_TW.UTF-8 (Traditional Chinese, code page 950) and de_DE.UTF-8 (a language
# the program has no texts in) are there for a program started in them; C.UTF-8, built into the C library, is English.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' || ! locale -a 2>/dev/null | grep -qix 'zh_TW.utf8' ||
  ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  export LOCPATH=$(dirname "$dir")/locale
  for name in zh_CN zh_TW de_DE; do
    if [ ! -f "$LOCPATH/$name.UTF-8/LC_CTYPE" ]; then
      mkdir -p "$LOCPATH"
      localedef -i $name -f UTF-8 "$LOCPATH/$name.UTF-8" >/dev/null 2>&1 || true  # 1 for mere warnings
    fi
  done
fi
export LC_ALL=zh_CN.UTF-8 2>/dev/null  # bash itself cannot take the locale on; Wine can

if [ "${3:-}" != --display ] || [ -z "${DISPLAY:-}" ]; then
  # -displayfd: the server picks a free display itself. -noreset: without it the server drops the
  # keymap whenever its last client leaves.
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$dir/display")
  # Xvfb's own map makes Ctrl+Alt+F1..F12 switch terminals: no program would ever see Ctrl+Alt+F7.
  xkbcomp -w 0 -I/usr/share/X11/xkb "$here/plain-fkeys.xkb" "$DISPLAY" >/dev/null 2>&1
  f7=$(xkbcomp -xkb "$DISPLAY" - 2>/dev/null | grep -A4 'key <FK07>')
  case $f7 in *Switch_VT* | "") echo "wine-env.sh: the keymap did not take: $f7" >&2; exit 1 ;; esac
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  # The prefix made in zh_CN asks for the Chinese character set in the captions' and message boxes' font, which
  # leaves a program started in English nothing but empty boxes there: any character set, as on an English Windows.
  for font in CaptionFont SmCaptionFont MenuFont StatusFont MessageFont IconFont; do
    weight=$([ $font = CaptionFont ] && echo bc020000 || echo 90010000)
    face=$(printf 'MS Shell Dlg' | iconv -t UTF-16LE | od -An -v -tx1 | tr -d ' \n')
    # LOGFONTW: height -12, weight, character set 1 (DEFAULT_CHARSET), pitch and family, the face's 32 characters.
    data=$(printf '%-184s' "f4ffffff$(printf '%024d' 0)${weight}0000000100000022$face" | tr ' ' 0)
    /usr/lib/wine/wine64 reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v $font /t REG_BINARY /d "$data" /f >/dev/null 2>&1
  done
  # Until every program of the set-up is gone, so that none of them is still winding down when the
  # first program of the session starts.
  /usr/lib/wine/wineserver -w
fi
for name in LOCPATH LC_ALL WINEPREFIX WINEDEBUG WINEDLLOVERRIDES DISPLAY; do
  if [ -n "${!name:-}" ]; then printf "export %s='%s'\n" "$name" "${!name}"; fi
done >"$dir/env.sh"
