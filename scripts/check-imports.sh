#!/bin/sh
# Fails unless every Windows program given imports only DLLs that ship with
# Windows (the static build carries its C++ runtime inside).
status=0
for exe in "$@"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|ole32.dll|\
      oleaut32.dll|advapi32.dll|winhttp.dll|bcrypt.dll|msvcrt.dll|ws2_32.dll|shlwapi.dll|\
      uxtheme.dll|oleacc.dll|\
      api-ms-win-*) ;;
      *) echo "$exe imports $dll, which isn't a system DLL"; status=1 ;;
    esac
  done
  echo "$exe: $(echo $dlls | tr '\n' ' ')"
done
exit $status
