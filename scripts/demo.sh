#!/bin/sh
# The program's main job, end to end on this machine: build the console
# program and run an install with a sample disc image.
set -e
cd "$(dirname "$0")/.."
scripts/packages.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target corvane-setup >/dev/null

work=$(mktemp -d /tmp/corvane-demo.XXXXXX)
head -c 1048576 /dev/urandom > "$work/Corvane.iso"
echo "Installing into $work/install from the sample disc image $work/Corvane.iso"
status=0
build/linux/corvane-setup --source "$work/Corvane.iso" --install-dir "$work/install" --yes || status=$?
echo
echo "Install folder: $work/install"
echo "Its log:        $work/install/setup.log"
exit $status
