#!/bin/sh
# Does Run keep up with a child that floods it with build-log lines? Runs the
# flood child (1,000,000 lines of about 60 bytes, 5% progress lines) writing
# to /dev/null and through Run, and prints the child's median wall time for
# each and their ratio. Run takes parts away to show what each costs:
#   all   a counting handler, setup.log, and a receiver taking the messages
#   file  a counting handler and setup.log, nobody receiving
#   none  a counting handler only
#   build everything on, with the build stage's own output handler
#   read  no Run at all: the same pipe read in the same blocks, nothing done
#         with what arrives, the floor any reader of a pipe starts from
# Then the same with a child paced at PACE lines a second (200,000 lines), as
# a fast real build might print, with everything on.
# Usage: bench/process.sh [runs]   (LINES=..., PACE=... to change them)
set -e
cd "$(dirname "$0")/.."
RUNS=${1:-5}
LINES=${LINES:-1000000}
PACE=${PACE:-100000}
PACED_LINES=200000
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target flood run_flood build_output >/dev/null
BIN=build/linux/bench
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Interleaved, so that a slow spell of the machine touches every kind alike.
for i in $(seq "$RUNS"); do
  rm -f "$WORK/t"
  "$BIN/flood" "$LINES" "$WORK/t" >/dev/null && cat "$WORK/t" >>"$WORK/null"
  for mode in read all file none build; do
    rm -f "$WORK/setup.log" "$WORK/t"
    "$BIN/run_flood" "$mode" "$WORK" "$BIN/flood" "$LINES" "$WORK/t" 2>>"$WORK/notes"
    cat "$WORK/t" >>"$WORK/$mode"
  done
done
for i in $(seq "$RUNS"); do
  rm -f "$WORK/t"
  "$BIN/flood" "$PACED_LINES" "$WORK/t" "$PACE" >/dev/null && cat "$WORK/t" >>"$WORK/paced-null"
  rm -f "$WORK/setup.log" "$WORK/t"
  "$BIN/run_flood" all "$WORK" "$BIN/flood" "$PACED_LINES" "$WORK/t" "$PACE" 2>>"$WORK/notes"
  cat "$WORK/t" >>"$WORK/paced-all"
done
# Peak memory of the setup program's side, once.
/usr/bin/time -f "%M" -o "$WORK/rss" "$BIN/run_flood" all "$WORK" "$BIN/flood" "$LINES" "$WORK/t" 2>/dev/null

null=$(median <"$WORK/null")
printf 'child wall time, median of %s runs, %s lines\n' "$RUNS" "$LINES"
printf '  to /dev/null          %6.3f s\n' "$null"
for mode in read all file none build; do
  t=$(median <"$WORK/$mode")
  printf '  through Run (%-4s)     %6.3f s   ratio %.2f\n' "$mode" "$t" "$(echo "$t $null" | awk '{ print $1 / $2 }')"
done
pnull=$(median <"$WORK/paced-null")
pall=$(median <"$WORK/paced-all")
printf 'paced at %s lines a second, %s lines\n' "$PACE" "$PACED_LINES"
printf '  to /dev/null          %6.3f s\n' "$pnull"
printf '  through Run (all )    %6.3f s   ratio %.2f\n' "$pall" "$(echo "$pall $pnull" | awk '{ print $1 / $2 }')"
printf 'one flat-out run with everything on: %s\n' "$(grep '^all' "$WORK/notes" | head -n 1)"
printf 'the same with the build handler: %s\n' "$(grep '^build' "$WORK/notes" | head -n 1)"
printf 'peak memory of the reader (all): %s KiB\n' "$(cat "$WORK/rss")"
"$BIN/build_output" --benchmark_format=console 2>/dev/null | grep BM_ || true
printf 'ratio %.2f\n' "$(echo "$(median <"$WORK/all") $null" | awk '{ print $1 / $2 }')"
