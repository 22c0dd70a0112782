#!/bin/bash
# Runs a Windows test program under Wine and takes the screenshots it asks
# for: a Windows program can't start import itself. The program prints
#   screenshot NAME X Y WIDTH HEIGHT
# and waits for NAME.png (the whole screen) to appear; NAME.window.png is the
# same picture cut to the rectangle given.
# Usage: with-screenshots.sh SHOTS_DIR PROGRAM [ARGS...]
set -o pipefail
export CORVANE_SHOTS=$1
shift
mkdir -p "$CORVANE_SHOTS"
wine "$@" | while IFS= read -r line; do
  line=${line%$'\r'}
  case $line in
    "screenshot "*)
      read -r _ name x y w h <<< "$line"
      shot=$CORVANE_SHOTS/$name
      import -window root "$shot.tmp.png" &&
        convert "$shot.tmp.png" -crop "${w}x${h}+${x}+${y}" +repage "$shot.window.png" &&
        mv "$shot.tmp.png" "$shot.png" ||
        echo "screenshot $name failed"
      ;;
    *) printf '%s\n' "$line" ;;
  esac
done
