#!/bin/sh
# Installs what is missing, builds the Linux and Windows targets and runs
# every test: natively, and under Wine in a virtual display.
set -e
cd "$(dirname "$0")/.."
scripts/packages.sh

cmake --preset linux
cmake --build --preset linux -j"$(nproc)"
ctest --preset linux -j"$(nproc)"

cmake --preset windows
cmake --build --preset windows -j"$(nproc)"
. scripts/wine-env.sh
wine_prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows -j2
