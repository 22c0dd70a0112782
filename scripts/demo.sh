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
python3 tests/server.py start "$work/server.port"
trap 'python3 "$ROOT/tests/server.py" stop "$work/server.port"' EXIT
port=$(cat "$work/server.port")
base="http://127.0.0.1:$port/web/standin"
python3 tests/standin/web.py --server "$work/server.port" linux

git_() { GIT_AUTHOR_NAME=Corvane GIT_AUTHOR_EMAIL=dev@corvane.invalid \
         GIT_COMMITTER_NAME=Corvane GIT_COMMITTER_EMAIL=dev@corvane.invalid git "$@"; }
bare="$work/mirror/tallowfen/corvane-recomp.git"
git_ init -q --bare -b main "$bare"
cp -r tests/standin/game "$work/game"
git_ -C "$work/game" init -q -b main
git_ -C "$work/game" add -A
git_ -C "$work/game" commit -qm "The game"
git_ -C "$work/game" push -q "$bare" main

mkdir -p "$work/bin" "$work/home/Desktop"
ln -s "$(command -v git)" "$work/bin/git"
ln -s "$(command -v sh)" "$work/bin/sh"
head -c 4194304 /dev/urandom > "$work/Corvane.iso"
# An Xbox 360 disc's header where the game partition's first layout has it.
printf 'MICROSOFT*XBOX*MEDIA' |
  dd of="$work/Corvane.iso" bs=1 seek=65536 conv=notrunc status=none

install="$work/Corvane-Recomp"
timer=""
setup() {
  $timer env -i PATH="$work/bin" HOME="$work/home" LANG=C.UTF-8 no_proxy=127.0.0.1 \
      CORVANE_BUILD_PACE="${CORVANE_BUILD_PACE:-0.05}" \
      "$ROOT/build/linux/corvane-setup" --install-dir "$install" \
      --github-api "$base" --github "file://$work/mirror" --nuget "$base" --yes "$@"
}

echo
echo "== First install, from the disc image $work/Corvane.iso"
# Its peak memory (the program and what it started), for the README's figures.
timer="/usr/bin/time -f %M -o $work/peak"
setup --source "$work/Corvane.iso" --shortcut
timer=""

echo "A change to the game's code" > "$work/game/NEWS"
git_ -C "$work/game" add NEWS
git_ -C "$work/game" commit -qm "News"
git_ -C "$work/game" push -q "$bare" main

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
