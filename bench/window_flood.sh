#!/bin/sh
# The flood child's output through the real setup window under Wine (after
# the Windows build): the child's wall time writing to /dev/null, then through
# the window with setup.log and the build stage's handler, interleaved, and
# whether the detail log held every line of setup.log (or trimmed them away
# from its start, in order).
# "read" only reads the pipe, the floor any reader under Wine starts from.
# Usage: bench/window_flood.sh [runs]   (LINES=... to change the 200,000)
set -e
cd "$(dirname "$0")/.."
RUNS=${1:-3}
LINES=${LINES:-200000}
BIN=build/windows/bench
. scripts/wine-env.sh
wine_prefix >/dev/null 2>&1 || true
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"; wineserver -k' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

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
null=$(median <"$WORK/null")
printf 'child wall time under Wine, median of %s runs, %s lines\n' "$RUNS" "$LINES"
printf '  to /dev/null                          %7.3f s\n' "$null"
for mode in read all; do
  t=$(median <"$WORK/$mode")
  printf '  through the window (%-4s)             %7.3f s   ratio %.2f\n' "$mode" "$t" \
    "$(echo "$t $null" | awk '{ print $1 / $2 }')"
done
printf 'with everything on: exit code, lines in setup.log, lines in the detail log, order:\n'
sed 's/^/  /' "$WORK/results"
