#!/bin/sh
# The memory one release answer of Get's full 8 MB costs the tool stage, by
# kind (see bench/answer.cpp), as /usr/bin/time -v's maximum resident size.
# Usage: bench/answer.sh   (BUILD_LINUX=folder to measure that build as it is
# instead of building one under build/bench)
set -e
cd "$(dirname "$0")/.."
. bench/common.sh
linux_build answer
for kind in text nested numbers objects strings limit; do
  printf '%-8s ' "$kind"
  /usr/bin/time -v "$LINUX/bench/answer" "$kind" 2>"${TMPDIR:-/tmp}/answer.time" | tr '\n' ' '
  grep 'Maximum resident' "${TMPDIR:-/tmp}/answer.time" | sed 's/.*: /max RSS KiB: /'
done
rm -f "${TMPDIR:-/tmp}/answer.time"
