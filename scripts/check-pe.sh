#!/usr/bin/env bash
# Checks that a built executable is of the expected machine type and imports
# nothing but Windows' known DLLs (the C++ run-time is linked in): any other
# DLL in the import table is looked for in the program's own folder first,
# where a DLL put beside vardix.exe would run in the elevated copy. Also that
# it takes every later DLL from System32 (SetDefaultDllDirectories), and
# carries a manifest, without which a .local folder or an external manifest
# beside it would redirect its DLLs, that asks for no execution level (which
# would end the 32-bit build's registry virtualisation).
set -euo pipefail
objdump=$1 exe=$2 machine=$3

format=$("$objdump" -f "$exe" | sed -n 's/.*file format \(.*\)$/\1/p')
if [ "$format" != "$machine" ]; then
  echo "FAIL: $exe is $format, expected $machine"; exit 1
fi

# The known DLLs of Windows 10 and 11, as their registry key lists them
# (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs, the list
# Microsoft's "Dynamic-link library search order" refers to); API sets are
# resolved by the loader, never searched for. Load anything else at run time
# from System32 (LoadLibraryExW with LOAD_LIBRARY_SEARCH_SYSTEM32).
known='kernel32|user32|gdi32|advapi32|msvcrt|ole32|oleaut32|shell32|comdlg32|imm32|shlwapi|ws2_32|combase|rpcrt4'
known+='|sechost|psapi|setupapi|shcore|normaliz|nsi|wldap32|imagehlp|gdiplus|msctf|clbcatq|coml2|difxapi'
allowed="^($known|api-ms-win-[a-z0-9-]+)\\.dll$"
bad=0
while read -r dll; do
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  if [[ ! $lower =~ $allowed ]]; then echo "FAIL: $exe imports $dll"; bad=1; fi
done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ $bad -eq 0 ] || exit 1

# Read whole first: grep -q ending early would fail the pipe.
imports=$("$objdump" -p "$exe")
grep -qE '^\s+[0-9a-f]+\s+[0-9]+\s+SetDefaultDllDirectories$' <<<"$imports" ||
  { echo "FAIL: $exe does not import SetDefaultDllDirectories"; exit 1; }
# The manifest (resource type 24, id 1) as windres decompiles it: quoted lines with doubled quotes.
resources=$("${objdump%objdump}windres" -i "$exe" -O rc)
manifest=$(awk '/^1 24( |$)/ {on = 1; next} on && /^END/ {exit} on' <<<"$resources" | sed -n 's/^ *"\(.*\)"$/\1/p')
grep -q '<assembly' <<<"$manifest" || { echo "FAIL: $exe has no application manifest"; exit 1; }
if grep -qiE 'trustInfo|requestedExecutionLevel' <<<"$manifest"; then
  echo "FAIL: $exe's manifest asks for an execution level"; exit 1
fi
echo "OK: $exe is $format, has a manifest that asks for nothing, and imports only: $("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
