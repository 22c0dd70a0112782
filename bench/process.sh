#!/bin/sh
# Does Run keep up with a child that floods it with build-log lines? Runs the
# flood child (1,000,000 lines of about 60 bytes, 5% progress lines) and
# prints its median wall time for each way of taking its output, and each
# against the floor, the bare pipe ("read"):
#   read  no Run at all: the same pipe read in the same blocks, nothing done
#         with what arrives, the floor any reader of a pipe starts from
#   build everything on: setup.log, a receiver taking the messages, and the
#         build stage's own output handler
#   all   setup.log, a receiver and a counting handler
#   file  a counting handler and setup.log, nobody receiving
#   none  a counting handler only
# The child writing to /dev/null is shown too; it costs the writer nothing,
# so it is no floor for a reader. Then a paced child (PACE lines a second),
# the peak memory of the reading side, the peak memory when a child prints
# one 200 MB line without a line end, and the build handler's Google
# Benchmark. The CPU time of the setup side with its child is shown too: on a loaded
# machine it moves less than the wall times.
# Usage: bench/process.sh [runs]   (LINES=..., PACE=...; BUILD_LINUX=folder
# to measure that build as it is instead of building one under build/bench)
set -e
cd "$(dirname "$0")/.."
. bench/common.sh
RUNS=${1:-5}
LINES=${LINES:-1000000}
PACE=${PACE:-100000}
PACED_LINES=200000
LONG=209715200
linux_build flood run_flood build_output
BIN=$LINUX/bench
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
MODES="read build all file none"

# Interleaved, so that a slow spell of the machine touches every kind alike.
for i in $(seq "$RUNS"); do
  rm -f "$WORK/t"
  "$BIN/flood" "$LINES" "$WORK/t" >/dev/null && cat "$WORK/t" >>"$WORK/null"
  for mode in $MODES; do
    rm -f "$WORK/setup.log" "$WORK/t"
    /usr/bin/time -f "%U %S" -a -o "$WORK/cpu-$mode" \
      "$BIN/run_flood" "$mode" "$WORK" "$BIN/flood" "$LINES" "$WORK/t" 2>>"$WORK/notes"
    cat "$WORK/t" >>"$WORK/$mode"
  done
done
for i in $(seq "$RUNS"); do
  rm -f "$WORK/t"
  "$BIN/flood" "$PACED_LINES" "$WORK/t" "$PACE" >/dev/null && cat "$WORK/t" >>"$WORK/paced-null"
  rm -f "$WORK/setup.log" "$WORK/t"
  "$BIN/run_flood" build "$WORK" "$BIN/flood" "$PACED_LINES" "$WORK/t" "$PACE" 2>>"$WORK/notes"
  cat "$WORK/t" >>"$WORK/paced-build"
done
rm -f "$WORK/setup.log"
/usr/bin/time -f "%M" -o "$WORK/rss" "$BIN/run_flood" build "$WORK" "$BIN/flood" "$LINES" "$WORK/t" 2>/dev/null
rm -f "$WORK/setup.log"
/usr/bin/time -v -o "$WORK/long" "$BIN/run_flood" build "$WORK" \
  sh -c "head -c $LONG /dev/zero | tr '\\0' x" 2>/dev/null
long_logged=$(wc -c <"$WORK/setup.log")
rm -f "$WORK/setup.log"

read=$(median <"$WORK/read")
printf 'child wall time, median of %s interleaved runs, %s lines\n' "$RUNS" "$LINES"
printf '  to /dev/null            %6.3f s   ratio to read %s\n' "$(median <"$WORK/null")" \
  "$(ratio "$(median <"$WORK/null")" "$read")"
for mode in $MODES; do
  t=$(median <"$WORK/$mode")
  printf '  through Run (%-5s)     %6.3f s   ratio to read %s\n' "$mode" "$t" "$(ratio "$t" "$read")"
done
printf 'CPU time of the setup program with its child (user + system), median\n'
cread=$(awk '{ print $1 + $2 }' "$WORK/cpu-read" | median)
for mode in $MODES; do
  c=$(awk '{ print $1 + $2 }' "$WORK/cpu-$mode" | median)
  printf '  %-5s                   %6.3f s   ratio to read %s\n' "$mode" "$c" "$(ratio "$c" "$cread")"
done
printf 'paced at %s lines a second, %s lines, everything on\n' "$PACE" "$PACED_LINES"
printf '  to /dev/null            %6.3f s\n' "$(median <"$WORK/paced-null")"
printf '  through Run (build)     %6.3f s\n' "$(median <"$WORK/paced-build")"
printf 'one flat-out run with everything on: %s\n' "$(grep '^build' "$WORK/notes" | head -n 1)"
printf 'peak memory of the reader (build): %s KiB\n' "$(cat "$WORK/rss")"
printf 'one line of %s bytes without a line end: peak memory %s KiB, %s bytes in setup.log\n' \
  "$LONG" "$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/long")" "$long_logged"
"$BIN/build_output" --benchmark_format=console 2>/dev/null | grep BM_ || true
printf 'ratio build / read: %s\n' "$(ratio "$(median <"$WORK/build")" "$read")"
