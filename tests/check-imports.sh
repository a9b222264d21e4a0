#!/bin/sh
# Fails when an executable imports a DLL that is not part of Windows itself (a MinGW runtime DLL
# such as libstdc++-6.dll or libwinpthread-1.dll, say), and when the first one, ferrulon.exe,
# imports a function that LIST does not give with its oldest Windows, or LIST names one it no longer
# imports. Prints the newest of those Windows versions and the functions that need it.
# usage: check-imports.sh OBJDUMP LIST EXE...
objdump=$1 list=$2
shift 2
status=0
for exe in "$@"; do
  imports=$("$objdump" -p "$exe" | tr -d '\r' |
            awk '/DLL Name:/ { dll = tolower($3) } dll && /^\t[0-9a-f]+\t +[0-9]+ / { print $3 "\t" dll }')
  [ -n "$imports" ] || { echo "$exe: no import table found"; status=1; continue; }
  dlls=$(echo "$imports" | cut -f2 | sort -u)
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|ole32.dll|winmm.dll|msvcrt.dll|advapi32.dll|shell32.dll|ntdll.dll|api-ms-win-crt-*.dll|ucrtbase.dll) ;;
      *) echo "$exe imports $dll, which is not a system DLL"; status=1 ;;
    esac
  done
  echo "$(basename "$exe"): $(echo $dlls)"
  [ "$exe" = "$1" ] || continue
  echo "$imports" | awk -F '\t' -v list="$list" -v exe="$(basename "$exe")" '
    BEGIN {
      n = split("Windows 2000 Professional|Windows XP|Windows Vista|Windows 7|Windows 8|Windows 8.1|Windows 10|Windows 11", v, "|")
      for (i = 1; i <= n; i++) rank[v[i]] = i
      rank["none"] = rank["msvcrt"] = 0
      while ((getline line < list) > 0) if (line !~ /^#/) { split(line, f, "\t"); least[f[1] "\t" f[2]] = f[3] }
    }
    !($0 in least) { print exe " imports " $1 " from " $2 ", which " list " does not list: add it with the oldest Windows client Microsoft documents for it"; bad = 1; next }
    { w = least[$0]; seen[$0] = 1 }
    !(w in rank) { print list ": \"" w "\" for " $1 " is not a Windows version this check knows"; bad = 1; next }
    rank[w] > top { top = rank[w]; newest = w; who = "" }
    rank[w] == top && top > 0 { who = who " " $1 }
    END {
      for (key in least) if (!(key in seen)) { split(key, f, "\t"); print list " lists " f[1] " (" f[2] "), which " exe " no longer imports"; bad = 1 }
      if (!bad) print exe ": " NR " functions listed; the newest minimum, " newest ", for" who
      exit bad
    }' || status=1
done
exit $status
