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
  'WindowStart\.(OpensWithEveryControlInPlace|ScalesToTheScreensDpiAndEveryTextFits|EveryLanguageFitsAtEveryDpi|CopyInsideAnInstallOffersItWithTheUpdateLook)|HttpWindowInstall\.(PacedDownloadsShowOneLineAndBarAndCancelStopsThem|CancelDuringTheBuildLeavesNoProcessOfIt|ABuildThatFailsOrLeavesNoLauncherEndsInAWarning|FirstInstallDownloadsTheToolsClonesBuildsAndOffersPlay)'
mkdir -p docs/screenshots
# The test's name for a state, and the picture's.
for pair in idle:idle idle-100:idle-100 idle-150:idle-150 idle-200:idle-200 \
  update-look:update-look getting-the-tools:downloading building:building \
  stop-question:stop-question failed-build:failed-build installed-message:summary \
  idle-150-zh-CN:idle-150-zh-CN idle-150-de:idle-150-de idle-150-ru:idle-150-ru; do
  cp "build/windows/screenshots/${pair%%:*}.window.png" "docs/screenshots/${pair#*:}.png"
done
ls -l docs/screenshots
