#!/bin/sh
# Regenerates the pictures of the setup window in docs/screenshots from the
# window tests, which save every state they show under
# build/windows/screenshots (see tests/window/with-screenshots.sh).
set -e
cd "$(dirname "$0")/.."
scripts/packages.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
. scripts/wine-env.sh
wine_prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
# Only this run's pictures: a test that failed before its picture must not
# leave an old one to be copied.
rm -rf build/windows/screenshots
# A screen large enough for the window at 200 %.
xvfb-run -a -s "-screen 0 1600x1200x24" ctest --preset windows --repeat until-pass:3 -R \
  'WindowStart\.(OpensWithEveryControlInPlace|LargerTextKeepsEveryTextFitting|ScalesToTheScreensDpiAndEveryTextFits|EveryLanguageFitsAtEveryDpi|CopyInsideAnInstallOffersItWithTheUpdateLook)|HttpWindowInstall\.(PacedDownloadsShowOneLineAndBarAndCancelStopsThem|CancelDuringTheBuildLeavesNoProcessOfIt|ABuildThatFailsOrLeavesNoLauncherEndsInAWarning|FirstInstallDownloadsTheToolsClonesBuildsAndOffersPlay)'
mkdir -p docs/screenshots
# The test's name for a state, and the picture's.
for pair in idle:idle idle-100:idle-100 idle-150:idle-150 idle-200:idle-200 \
  update-look:update-look larger-text:larger-text getting-the-tools:downloading building:building \
  stop-question:stop-question stopped-150:stopped-150 failed-build:failed-build \
  failed-update:failed-update installed-message:summary \
  idle-150-zh-CN:idle-150-zh-CN idle-150-de:idle-150-de idle-150-ru:idle-150-ru; do
  cp "build/windows/screenshots/${pair%%:*}.window.png" "docs/screenshots/${pair#*:}.png"
done

# The window as it opens under Windows' "High Contrast Black": its colours in
# the test prefix and the visual style off, as Windows has them; the prefix's
# own come back afterwards.
saved=build/windows/saved-colours
mkdir -p "$saved"
colours='HKCU\Control Panel\Colors'
theme='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
wine reg export "$colours" "$(winepath -w "$saved/colours.reg")" /y >/dev/null
wine reg export "$theme" "$(winepath -w "$saved/theme.reg")" /y >/dev/null
for pair in Window:0,0,0 WindowText:255,255,255 ButtonFace:0,0,0 ButtonText:255,255,255 \
  GrayText:63,242,63 Hilight:26,235,255 HilightText:0,0,0 ButtonHilight:255,255,255 \
  ButtonShadow:255,255,255 ButtonLight:0,0,0 ButtonDkShadow:0,0,0 WindowFrame:255,255,255 \
  Menu:0,0,0 MenuText:255,255,255 InfoWindow:0,0,0 InfoText:255,255,255 \
  HotTrackingColor:255,255,0; do
  # Wine takes the colours kept for the classic look when the style is off.
  for key in "$colours" "$theme\\Control Panel\\Colors"; do
    wine reg add "$key" /v "${pair%%:*}" /d "$(echo "${pair#*:}" | tr , ' ')" /f >/dev/null
  done
done
wine reg add "$theme" /v ThemeActive /d 0 /f >/dev/null
# The colours are read as Wine's desktop starts.
restart() { wineserver -k || true; wineserver -w || true; wine_prefix; }
restart
xvfb-run -a -s "-screen 0 1600x1200x24" ctest --preset windows --repeat until-pass:3 -R \
  'WindowStart\.OpensWithEveryControlInPlace' || status=$?
wine reg import "$(winepath -w "$saved/colours.reg")" >/dev/null
wine reg import "$(winepath -w "$saved/theme.reg")" >/dev/null
restart
[ -z "${status:-}" ]
cp build/windows/screenshots/idle.window.png docs/screenshots/high-contrast.png
ls -l docs/screenshots
