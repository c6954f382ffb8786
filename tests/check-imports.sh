#!/bin/sh
# Fails when the executable imports any DLL outside the system set a bare Windows has.
objdump=$1
exe=$2
allowed="kernel32.dll user32.dll gdi32.dll shell32.dll advapi32.dll shlwapi.dll winmm.dll msvcrt.dll comctl32.dll"
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no import table found in $exe"; exit 1; }
status=0
for dll in $dlls; do
  case " $allowed " in
    *" $dll "*) echo "ok: $dll" ;;
    *) echo "NOT A SYSTEM DLL: $dll"; status=1 ;;
  esac
done
exit $status
