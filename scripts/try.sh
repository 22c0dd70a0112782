#!/bin/sh
# Try the program by hand against the stand-ins, without the internet:
#
#   scripts/try.sh             the setup window, under Wine
#   scripts/try.sh --console   the console program
#
# It builds what it needs, starts the local server with the stand-in GitHub
# and NuGet (tests/server.py, tests/standin/web.py), makes the project's
# repository holding the stand-in game and a small disc image, and runs the
# program with the mirror options three times into one install folder:
#
#   1. a first install from the disc image, downloading every build tool;
#   2. an update after a new commit upstream, whose build fails;
#   3. the same update again, which succeeds.
#
# The window opens on the screen of DISPLAY; close it after each run to go on.
# Without a DISPLAY it runs in a virtual one, answers the final box itself and
# saves a picture of each run's end. CORVANE_BUILD_PACE sets the seconds per
# build step (0.1); TRY_SLOW=KB slows every tool's download to that many
# kilobytes a second, to watch the figures' line (the window's archives hold
# a few megabytes each; the console's are tiny). Everything stays in the
# work folder it prints.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
case "${1:-}" in
  --console) FRONT=console ;;
  "" | --window) FRONT=window ;;
  *) echo "usage: $0 [--console]" >&2; exit 2 ;;
esac
export CORVANE_BUILD_PACE="${CORVANE_BUILD_PACE:-0.1}"

if [ "$FRONT" = window ] && [ -z "$DISPLAY" ] && [ -z "$TRY_VIRTUAL" ]; then
  scripts/packages.sh test
  TRY_VIRTUAL=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
[ "$FRONT" = console ] && scripts/packages.sh demo
[ "$FRONT" = window ] && scripts/packages.sh test
echo "Building what the $FRONT needs..."
if [ "$FRONT" = console ]; then
  cmake --preset linux >/dev/null
  cmake --build --preset linux -j2 --target corvane-setup >/dev/null
else
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j2 --target corvane-setup standin tar >/dev/null
fi

WORK=$(mktemp -d /tmp/corvane-try.XXXXXX)
. scripts/world.sh
# The releases' downloads through the server's paced route: TRY_SLOW KB a
# second, in tenths.
slow_downloads() {
  [ -n "${TRY_SLOW:-}" ] || return 0
  find "$WORK/web/standin/repos" -name latest -exec sed -i \
    "s#/web/standin/download/#/paced/$((TRY_SLOW * 1024 / 10))/100/standin/download/#g" {} +
}
INSTALL="$WORK/Corvane-Recomp"
IMAGE="$WORK/Corvane (disc).iso"
disc_image "$IMAGE" 4194304

# The runs' order, the same for both front ends; `setup NAME EXPECTED ARGS`
# runs the program, expecting that exit code; `path` gives a path as the
# program takes it.
runs() {
  echo
  echo "== 1. A first install, from the disc image $IMAGE"
  setup first 0 --source "$(path "$IMAGE")" --install-dir "$(path "$INSTALL")" --shortcut
  commit NEWS "A change to the game's code"
  echo
  echo "== 2. An update after a new commit upstream, whose build fails"
  export CORVANE_BUILD_FAIL=1
  setup failed 1 --install-dir "$(path "$INSTALL")"
  unset CORVANE_BUILD_FAIL
  echo
  echo "== 3. The same update again"
  setup update 0 --install-dir "$(path "$INSTALL")"
  echo
  echo "The work folder: $WORK"
  echo "The install:     $INSTALL (setup.log holds all three runs)"
  if [ -n "$UNEXPECTED" ]; then
    echo "Not as expected:$UNEXPECTED" >&2
    exit 1
  fi
}

# ended NAME EXPECTED CODE: notes a run that ended otherwise than expected.
ended() {
  echo "(exit code $3)"
  [ "$2" = "$3" ] || UNEXPECTED="$UNEXPECTED $1 ended with $3, not $2;"
}

# The console program with only git and the shell on its PATH, so that it
# downloads the other four tools.
console() {
  trap 'cd "$ROOT" && world_stop' EXIT
  world_start "$WORK" linux
  slow_downloads
  git_origin "$WORK"
  mkdir -p "$WORK/bin" "$WORK/home/Desktop"
  ln -s "$(command -v git)" "$WORK/bin/git"
  ln -s "$(command -v sh)" "$WORK/bin/sh"
  commit() { git_commit "$WORK" "$@"; }
  path() { printf '%s' "$1"; }
  setup() {
    name=$1 expected=$2
    shift 2
    code=0
    env -i PATH="$WORK/bin" HOME="$WORK/home" LANG=C.UTF-8 TERM="${TERM:-dumb}" \
      no_proxy=127.0.0.1 CORVANE_BUILD_PACE="$CORVANE_BUILD_PACE" \
      CORVANE_BUILD_FAIL="${CORVANE_BUILD_FAIL:-}" \
      "$ROOT/build/linux/corvane-setup" --github-api "$BASE" --github "file://$WORK/mirror" \
      --nuget "$BASE" --yes "$@" || code=$?
    ended "$name" "$expected" "$code"
  }
  runs
}

window() {
  . scripts/wine-env.sh
  wine_prefix
  trap 'cd "$ROOT" && world_stop; wineserver -k 2>/dev/null || true' EXIT
  # Wine has no tar.exe; the tests' stand-in takes its place in this prefix.
  cp build/windows/tests/tar.exe "$WINEPREFIX/drive_c/windows/system32/tar.exe"
  world_start "$WORK" windows "$ROOT/build/windows/tests/standin.exe"
  slow_downloads
  plain_origin "$WORK"
  commit() { plain_commit "$WORK" "$@"; }
  # Wine's drive Z: is the root of the Linux file system.
  path() { printf 'Z:%s' "$1" | tr / '\\'; }
  setup() {
    name=$1 expected=$2
    shift 2
    # Wine's PATH has only the system's folders: every tool is downloaded.
    # Wine says "Read access denied for device" of drive Z: at each look at
    # its free space: noise, left out of what the run printed.
    wine build/windows/setup/window/corvane-setup.exe --github-api "$BASE" \
      --github "file:///Z:$WORK/mirror" --nuget "$BASE" $TRY_YES "$@" 2>"$WORK/$name.err" &
    pid=$!
    [ -z "$TRY_VIRTUAL" ] && echo "(close the window to go on)" || answer "$name"
    code=0
    wait "$pid" || code=$?
    grep -v "Read access denied for device" "$WORK/$name.err" >&2 || true
    ended "$name" "$expected" "$code"
    # The run as setup.log has it: its statuses and its last three lines.
    awk '/^Corvane Recompiled Setup, installing to/ { n = 0 } { line[++n] = $0 }
      END { for (i = 1; i <= n; i++) if (line[i] ~ /^== / || i >= n - 2) print "  " line[i] }' \
      "$INSTALL/setup.log"
  }
  [ -n "$TRY_VIRTUAL" ] && TRY_YES=--yes
  runs
}

# In the virtual display: waits for the box that ends the run (the window and
# the box both have the program's title), saves the screen, then presses
# Enter on the box and Esc on the idle window, which closes it.
answer() {
  for _ in $(seq 600); do
    shown=$(xdotool search --onlyvisible --name '^Corvane Recompiled Setup$' 2>/dev/null | wc -l)
    [ "$shown" -ge 2 ] && break
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.5
  done
  sleep 1
  import -window root "$WORK/$1.png"
  echo "The window at the run's end: $WORK/$1.png"
  xdotool key Return
  sleep 1
  xdotool key Escape
  for _ in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.5
  done
  kill "$pid" 2>/dev/null || true
}

$FRONT
