#!/usr/bin/env bash
# Checks that a built executable is of the expected machine type and imports
# nothing but Windows' own DLLs (the C++ run-time is linked in).
set -euo pipefail
objdump=$1 exe=$2 machine=$3

format=$("$objdump" -f "$exe" | sed -n 's/.*file format \(.*\)$/\1/p')
if [ "$format" != "$machine" ]; then
  echo "FAIL: $exe is $format, expected $machine"; exit 1
fi

allowed='^(kernel32|user32|gdi32|advapi32|msvcrt|shell32|comctl32|ole32|oleaut32|oleacc|comdlg32|imm32|version|shlwapi|ws2_32|bcrypt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
bad=0
while read -r dll; do
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  if [[ ! $lower =~ $allowed ]]; then echo "FAIL: $exe imports $dll"; bad=1; fi
done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ $bad -eq 0 ] || exit 1
echo "OK: $exe is $format and imports only: $("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
