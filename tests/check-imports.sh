#!/bin/sh
# Fails when an executable imports a DLL that is not part of Windows itself (a MinGW runtime DLL
# such as libstdc++-6.dll or libwinpthread-1.dll, say), and when the first one, ferrulon.exe,
# imports a function that LIST does not give with its oldest Windows. LIST describes the exe that
# the release's toolchain builds (TOOLCHAIN "release"): there a line that is no longer imported fails
# too, and so does an import of a line marked "newer" (imported only by newer toolchains). With any
# other toolchain ("other") the exe may import fewer, but every import still needs its line. Prints
# the newest of those Windows versions and the functions that need it.
# usage: check-imports.sh OBJDUMP LIST release|other EXE...
objdump=$1 list=$2 toolchain=$3
shift 3
status=0
for exe in "$@"; do
  # An import line: binutils 2.40 prints "<vma> <hint> Name", 2.44 "<vma> <none> <hint> Name".
  imports=$("$objdump" -p "$exe" | tr -d '\r' |
            awk '/DLL Name:/ { dll = tolower($3) }
                 dll && /^\t[0-9a-f]+\t +[0-9]+ / { print $3 "\t" dll }
                 dll && /^\t[0-9a-f]+ +<none> +[0-9a-f]+ / { print $4 "\t" dll }')
  [ -n "$imports" ] || { echo "$exe: no import line that this check reads in $objdump -p"; status=1; continue; }
  dlls=$(echo "$imports" | cut -f2 | sort -u)
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|ole32.dll|winmm.dll|msvcrt.dll|advapi32.dll|shell32.dll|ntdll.dll|api-ms-win-crt-*.dll|ucrtbase.dll) ;;
      *) echo "$exe imports $dll, which is not a system DLL"; status=1 ;;
    esac
  done
  echo "$(basename "$exe"): $(echo "$dlls" | tr '\n' ' ')"
  [ "$exe" = "$1" ] || continue
  echo "$imports" | awk -F '\t' -v list="$list" -v exe="$(basename "$exe")" -v toolchain="$toolchain" '
    BEGIN {
      n = split("Windows 2000 Professional|Windows XP|Windows Vista|Windows 7|Windows 8|Windows 8.1|Windows 10|Windows 11", v, "|")
      for (i = 1; i <= n; i++) rank[v[i]] = i
      rank["none"] = rank["msvcrt"] = 0
      while ((getline line < list) > 0) if (line !~ /^#/) { split(line, f, "\t"); least[f[1] "\t" f[2]] = f[3]; newer[f[1] "\t" f[2]] = f[4] == "newer" }
      built = toolchain == "release" ? "" : " (built with another toolchain than the release'"'"'s)"
    }
    !($0 in least) { print exe " imports " $1 " from " $2 ", which " list " does not list: add it with the oldest Windows client Microsoft documents for it" (built ? ", marked newer" : ""); bad = 1; next }
    { w = least[$0]; seen[$0] = 1 }
    toolchain == "release" && newer[$0] { print list " marks " $1 " as imported only by newer toolchains, but the release'"'"'s imports it"; bad = 1 }
    !(w in rank) { print list ": \"" w "\" for " $1 " is not a Windows version this check knows"; bad = 1; next }
    rank[w] > top { top = rank[w]; newest = w; who = "" }
    rank[w] == top && top > 0 { who = who " " $1 }
    END {
      if (toolchain == "release")
        for (key in least) if (!(key in seen) && !newer[key]) { split(key, f, "\t"); print list " lists " f[1] " (" f[2] "), which " exe " no longer imports"; bad = 1 }
      if (!bad) print exe built ": " NR " functions listed; the newest minimum, " newest ", for" who
      exit bad
    }' || status=1
done
exit $status
