#!/bin/sh
# The memory one release answer of Get's full 8 MB costs the tool stage, by
# kind (see bench/answer.cpp), as /usr/bin/time -v's maximum resident size.
# Usage: bench/answer.sh
set -e
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target answer >/dev/null
for kind in text nested numbers objects strings limit; do
  printf '%-8s ' "$kind"
  /usr/bin/time -v build/linux/bench/answer "$kind" 2>"${TMPDIR:-/tmp}/answer.time" | tr '\n' ' '
  grep 'Maximum resident' "${TMPDIR:-/tmp}/answer.time" | sed 's/.*: /max RSS KiB: /'
done
rm -f "${TMPDIR:-/tmp}/answer.time"
