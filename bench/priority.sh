#!/bin/sh
# Does the PC stay usable while the build runs? The build's processes run
# below normal priority (nice 10 here). A stand-in build, one CPU-bound
# Python loop per core, is run through Run as the build stage runs it
# ("lowered") and as any other command ("normal"), interleaved:
#   idle    the build alone: lowered must cost it nothing (within 2 %)
#   beside  a CPU-bound foreground program (the same loop, once) started
#           with the build: its wall time against its time alone shows the
#           share it gets
# Prints the medians, and the niceness the build's processes ran at.
# Usage: bench/priority.sh [runs]   (LOOP=iterations of each loop;
# BUILD_LINUX=folder to measure that build as it is)
set -e
cd "$(dirname "$0")/.."
. bench/common.sh
RUNS=${1:-5}
LOOP=${LOOP:-15000000}
linux_build priority
BIN=$LINUX/bench
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
CORES=$(nproc)
cat >"$WORK/spin.py" <<PY
x = 0
for i in range($LOOP):
    x += i
PY
cat >"$WORK/build.sh" <<SH
cut -d' ' -f19 /proc/\$\$/stat
for i in \$(seq $CORES); do python3 "$WORK/spin.py" & done
wait
SH

for i in $(seq "$RUNS"); do
  /usr/bin/time -f %e -a -o "$WORK/alone" python3 "$WORK/spin.py"
  for mode in normal lowered; do
    "$BIN/priority" "$mode" sh "$WORK/build.sh" >>"$WORK/idle-$mode" 2>>"$WORK/nice-$mode"
    "$BIN/priority" "$mode" sh "$WORK/build.sh" >>"$WORK/build-$mode" 2>/dev/null &
    sleep 0.1
    /usr/bin/time -f %e -a -o "$WORK/beside-$mode" python3 "$WORK/spin.py"
    wait
  done
done

alone=$(median <"$WORK/alone")
echo "cores: $CORES, runs: $RUNS, loop: $LOOP iterations (medians, seconds)"
echo "foreground program alone: $alone"
for mode in normal lowered; do
  idle=$(median <"$WORK/idle-$mode")
  beside=$(median <"$WORK/beside-$mode")
  build=$(median <"$WORK/build-$mode")
  echo "$mode (niceness $(sort -u "$WORK/nice-$mode" | tr '\n' ' ' | sed 's/ $//')): build alone $idle," \
    "foreground beside it $beside ($(ratio "$beside" "$alone")x its time alone), build meanwhile $build"
done
echo "build alone, lowered against normal: $(ratio "$(median <"$WORK/idle-lowered")" "$(median <"$WORK/idle-normal")")x"
