#!/bin/sh
# Fails when an executable imports a DLL that is not part of Windows itself
# (a MinGW runtime DLL such as libstdc++-6.dll or libwinpthread-1.dll, say).
objdump=$1; shift
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')
  [ -n "$dlls" ] || { echo "$exe: no import table found"; status=1; continue; }
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|ole32.dll|winmm.dll|msvcrt.dll|advapi32.dll|shell32.dll|ntdll.dll|api-ms-win-crt-*.dll|ucrtbase.dll) ;;
      *) echo "$exe imports $dll, which is not a system DLL"; status=1 ;;
    esac
  done
  echo "$(basename "$exe"): $(echo $dlls)"
done
exit $status
