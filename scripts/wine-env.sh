# Sourced from the project's root folder: a private Wine prefix under the
# Windows build folder, so tests never touch the user's own Wine setup or home.
ROOT=$(pwd)
export WINEPREFIX="$ROOT/build/windows/wine-prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$ROOT/build/windows/home"
mkdir -p "$HOME"

wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix (once)"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
    # Wine links Desktop, Documents and the like to the home folder; real
    # folders keep shortcuts and files the tests make inside the prefix.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$link" ]; then rm "$link"; mkdir -p "$link"; fi
    done
  fi
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
  # Wine's own dialog fonts have no Chinese, Japanese or Korean; it links
  # them to the Windows fonts that have, which stand in for a system font
  # that has them too: the window then shows those languages.
  if ! grep -q '"SimSun"="WenQuanYi Micro Hei"' "$WINEPREFIX/user.reg"; then
    for face in SimSun "Microsoft YaHei" "Microsoft YaHei UI" "MS UI Gothic" "Yu Gothic UI" \
      "Malgun Gothic" Gulim; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
        /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
    done
  fi
}
