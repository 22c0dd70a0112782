#!/bin/sh
# Regenerates the README's pictures of the setup window from the window tests
# (which save every state they show under build/windows/screenshots).
set -e
cd "$(dirname "$0")/.."
scripts/packages.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
. scripts/wine-env.sh
wine_prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
# A screen large enough for the window at 200 %.
xvfb-run -a -s "-screen 0 1600x1200x24" ctest --preset windows -R \
  'WindowStart.OpensWithEveryControlInPlace|WindowStart.ScalesToTheScreensDpiAndEveryTextFits|WindowStart.CopyInsideAnInstallOffersItWithTheUpdateLook|HttpWindowRun.SucceededRunOffersPlayAndUpdate|WindowRun.FailedRunWarnsAndOpensTheLog|HttpWindowInstall.FirstInstallDownloadsTheToolsClonesBuildsAndOffersPlay|HttpWindowInstall.CancelDuringTheBuildLeavesNoProcessOfIt'
mkdir -p docs/screenshots
for shot in idle idle-100 idle-150 idle-200 update-look finished-run failed-run building \
  installed-details; do
  cp "build/windows/screenshots/$shot.window.png" "docs/screenshots/$shot.png"
done
ls -l docs/screenshots
