#!/bin/sh
# The flood child's output through the real setup window under Wine: the
# child's wall time when the window program only reads the pipe ("read", the
# floor of any reader of a Wine pipe) and when the output goes through the
# window with setup.log and the build stage's handler ("all"), interleaved;
# then whether the detail log held every line of setup.log (or trimmed them
# away from its start, in order) and how long after the child's end it showed
# the last one. The child writing to /dev/null is shown too; it is no floor.
# Usage: bench/window_flood.sh [runs]   (LINES=... to change the 50,000;
# BUILD_WINDOWS=folder to measure that build as it is instead of building one
# under build/bench). The Wine prefix is made for this run and removed after.
set -e
cd "$(dirname "$0")/.."
. bench/common.sh
RUNS=${1:-5}
LINES=${LINES:-50000}
windows_build flood window_flood
BIN=$WINDOWS/bench
WORK=$(mktemp -d)
trap 'wine_end; rm -rf "$WORK"' EXIT
wine_start "$WORK"

window() {
  rm -f "$WORK/setup.log" "$WORK/time.txt" "$WORK/result.txt"
  CORVANE_FLOOD="$(winepath -w "$BIN/flood.exe")" CORVANE_FLOOD_LINES="$LINES" \
    CORVANE_FLOOD_DIR="$(winepath -w "$WORK")" \
    timeout 900 xvfb-run -a -s "-screen 0 1024x768x24" wine "$BIN/window_flood.exe" 2>/dev/null
  tr -d '\r' <"$WORK/time.txt" >>"$WORK/$1"
}

# Interleaved, so that a slow spell of the machine touches every kind alike.
for i in $(seq "$RUNS"); do
  wine "$BIN/flood.exe" "$LINES" "$(winepath -w "$WORK/t")" >/dev/null
  tr -d '\r' <"$WORK/t" >>"$WORK/null"
  CORVANE_FLOOD_READ=1 window read
  window all
  tr -d '\r' <"$WORK/result.txt" >>"$WORK/results"
done
read=$(median <"$WORK/read")
printf 'child wall time under Wine, median of %s interleaved runs, %s lines\n' "$RUNS" "$LINES"
printf '  to /dev/null                   %7.3f s   ratio to read %s\n' "$(median <"$WORK/null")" \
  "$(ratio "$(median <"$WORK/null")" "$read")"
for mode in read all; do
  t=$(median <"$WORK/$mode")
  printf '  through the window (%-4s)      %7.3f s   ratio to read %s\n' "$mode" "$t" "$(ratio "$t" "$read")"
done
printf 'with everything on: exit code, lines in setup.log, lines in the detail log, order, seconds from the child'"'"'s end to its last line shown:\n'
sed 's/^/  /' "$WORK/results"
printf 'last line shown after the child'"'"'s end, median: %s s\n' "$(cut -d' ' -f5 "$WORK/results" | median)"
printf 'ratio all / read: %s\n' "$(ratio "$(median <"$WORK/all")" "$read")"
