#!/bin/sh
# The program's main job, end to end on this machine: a first install from a
# disc image and then an update, with the console program.
#
# The real program talks to GitHub and NuGet and builds from the user's own
# disc. This machine has no internet, so the demo stands in for them locally:
# a local web server answers as GitHub's release API, its downloads and NuGet
# would (tests/standin/web.py), a local git repository holding a stand-in of
# the game (tests/standin/game, whose build script behaves like the real one)
# is the project's repository, and the disc image is a file of random bytes
# with an Xbox 360 disc's header.
# The program itself is the real one, run with a PATH holding only git and
# the shell, so that it downloads and unpacks the other four build tools.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/packages.sh demo
echo "Building the console program..."
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target corvane-setup >/dev/null

work=$(mktemp -d /tmp/corvane-demo.XXXXXX)
. scripts/world.sh
trap 'cd "$ROOT" && world_stop' EXIT
world_start "$work" linux
git_origin "$work"

mkdir -p "$work/bin" "$work/home/Desktop"
ln -s "$(command -v git)" "$work/bin/git"
ln -s "$(command -v sh)" "$work/bin/sh"
disc_image "$work/Corvane.iso" 4194304

install="$work/Corvane-Recomp"
timer=""
setup() {
  $timer env -i PATH="$work/bin" HOME="$work/home" LANG=C.UTF-8 no_proxy=127.0.0.1 \
      CORVANE_BUILD_PACE="${CORVANE_BUILD_PACE:-0.05}" \
      "$ROOT/build/linux/corvane-setup" --install-dir "$install" \
      --github-api "$BASE" --github "file://$work/mirror" --nuget "$BASE" --yes "$@"
}

echo
echo "== First install, from the disc image $work/Corvane.iso"
# Its peak memory (the program and what it started), for the README's figures.
timer="/usr/bin/time -f %M -o $work/peak"
setup --source "$work/Corvane.iso" --shortcut
timer=""

git_commit "$work" NEWS "A change to the game's code"

echo
echo "== Update: the same install again, after a new commit upstream"
setup

echo
echo "The install:   $install"
echo "Its log:       $install/setup.log"
echo "The launcher:  $install/corvane-recomp/build/runtime/CorvaneLauncher.exe"
echo "The shortcut:  $work/home/Desktop/Corvane Recompiled.desktop"
echo "Peak memory of the first install: $(cat "$work/peak") KiB"
echo "Status lines of both runs, as setup.log has them:"
grep -E '^(== |Corvane Recompiled Setup|Done\.)' "$install/setup.log" | sed 's/^/  /'
