#!/bin/sh
# Fails when the executable imports any DLL that is not one of Windows' KnownDLLs, which the
# system always takes from its own folder: any other DLL imported by name is looked for beside
# the program first, where its user can write. Fails too when the PE header lacks what Windows'
# release checks ask for: ASLR (a dynamic base, with relocations to move it by), DEP, and in a
# 64-bit build high-entropy ASLR.
objdump=$1
exe=$2
known="kernel32.dll user32.dll gdi32.dll shell32.dll advapi32.dll shlwapi.dll msvcrt.dll"
header=$("$objdump" -p "$exe") || exit 1
dlls=$(printf '%s\n' "$header" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no import table found in $exe"; exit 1; }
status=0
for dll in $dlls; do
  case " $known " in
    *" $dll "*) echo "ok: imports $dll" ;;
    *) echo "NOT A KNOWNDLL: $exe imports $dll"; status=1 ;;
  esac
done

flags="DYNAMIC_BASE NX_COMPAT"
printf '%s\n' "$header" | grep -q '^Magic.*PE32+' && flags="$flags HIGH_ENTROPY_VA"
for flag in $flags; do
  if printf '%s\n' "$header" | grep -qw "$flag"; then
    echo "ok: $flag"
  else
    echo "MISSING FROM THE PE HEADER: $flag"; status=1
  fi
done
if printf '%s\n' "$header" | grep -q 'relocations stripped' ||
   ! printf '%s\n' "$header" | grep -q '^Entry 5 [0-9a-f]* 0*[1-9a-f][0-9a-f]* Base Relocation'; then
  echo "NO RELOCATIONS: the dynamic base cannot be used"; status=1
fi
exit $status
