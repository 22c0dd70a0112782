# Sourced from the project's root by scripts/demo.sh and scripts/try.sh: the
# stand-ins for what a real run reaches on the internet and on the user's
# disk, made in a work folder.
#
#   world_start WORK linux|windows [EXE]
#       starts the local server (tests/server.py) and lays out the stand-in
#       GitHub API, its downloads and NuGet under it (tests/standin/web.py;
#       EXE is the Windows stand-in program the archives hold). Sets BASE to
#       the URL for --github-api and --nuget. world_stop stops the server.
#   git_origin WORK / git_commit WORK FILE TEXT
#       the project's repository as a bare git repository under
#       WORK/mirror, holding tests/standin/game; a new commit on main.
#   plain_origin WORK / plain_commit WORK FILE TEXT
#       the same for the Windows stand-in git, which Wine can start: plain
#       folders in the layout tests/standin/windows/repo.h describes.
#   disc_image FILE SIZE
#       random bytes with an Xbox 360 disc's header where the game
#       partition's first layout has it.

world_start() {
  WORLD_PORT="$1/server.port"
  python3 tests/server.py start "$WORLD_PORT"
  BASE="http://127.0.0.1:$(cat "$WORLD_PORT")/web/standin"
  python3 tests/standin/web.py --server "$WORLD_PORT" "$2" ${3:+"$3"}
}

world_stop() {
  [ -z "$WORLD_PORT" ] || python3 tests/server.py stop "$WORLD_PORT"
}

git_() {
  GIT_AUTHOR_NAME=Corvane GIT_AUTHOR_EMAIL=dev@corvane.invalid \
    GIT_COMMITTER_NAME=Corvane GIT_COMMITTER_EMAIL=dev@corvane.invalid git "$@"
}

git_origin() {
  git_ init -q --bare -b main "$1/mirror/tallowfen/corvane-recomp.git"
  cp -r tests/standin/game "$1/game"
  git_ -C "$1/game" init -q -b main
  git_ -C "$1/game" add -A
  git_ -C "$1/game" commit -qm "The game"
  git_ -C "$1/game" push -q "$1/mirror/tallowfen/corvane-recomp.git" main
}

git_commit() {
  printf '%s\n' "$3" >"$1/game/$2"
  git_ -C "$1/game" add "$2"
  git_ -C "$1/game" commit -qm "$2"
  git_ -C "$1/game" push -q "$1/mirror/tallowfen/corvane-recomp.git" main
}

# Forty hexadecimal digits, as git's ids have.
plain_id() { od -An -N20 -tx1 /dev/urandom | tr -d ' \n'; }

plain_origin() {
  repo="$1/mirror/tallowfen/corvane-recomp.git"
  id=$(plain_id)
  mkdir -p "$repo/refs/heads" "$repo/revs/$id"
  echo "ref: refs/heads/main" >"$repo/HEAD"
  cp -r tests/standin/game "$repo/revs/$id/tree"
  echo "The game" >"$repo/revs/$id/subject"
  echo "$id" >"$repo/refs/heads/main"
}

plain_commit() {
  repo="$1/mirror/tallowfen/corvane-recomp.git"
  parent=$(cat "$repo/refs/heads/main") id=$(plain_id)
  mkdir -p "$repo/revs/$id"
  cp -r "$repo/revs/$parent/tree" "$repo/revs/$id/tree"
  printf '%s\n' "$3" >"$repo/revs/$id/tree/$2"
  echo "$parent" >"$repo/revs/$id/parent"
  echo "$2" >"$repo/revs/$id/subject"
  echo "$id" >"$repo/refs/heads/main"
}

disc_image() {
  head -c "$2" /dev/urandom >"$1"
  printf 'MICROSOFT*XBOX*MEDIA' | dd of="$1" bs=1 seek=65536 conv=notrunc status=none
}
