#!/bin/sh
# Downloads 256 MiB from the local test server into a file with Get.
#
# What the digest costs (Linux): interleaved runs of Get without a digest, Get
# computing the SHA-256 as it writes (as the tool stage does, on a thread of
# its own), and the same library hashing the same bytes in line; the medians
# of the client's CPU time (user + system) give the digest's extra CPU against
# the in-line hash's, and the wall times the digest's cost in time.
#
# Throughput (hyperfine): on Linux Get against curl -o, under Wine Get against
# a plain WinHTTP loop that reads 1 MiB at a time, each with and without the
# digest. WINE=0 leaves Wine out.
#
# Usage: bench/http.sh [runs]   (BUILD_LINUX / BUILD_WINDOWS=folder to
# measure those builds as they are instead of building under build/bench)
set -e
cd "$(dirname "$0")/.."
. bench/common.sh
SIZE=268435456
RUNS=${1:-5}
WINE=${WINE:-1}
linux_build fetch
[ "$WINE" = 0 ] || windows_build fetch winhttp_loop
WORK=$(mktemp -d)

python3 tests/server.py start "$WORK/server.port"
URL="http://127.0.0.1:$(cat "$WORK/server.port")/bytes?n=$SIZE"
cleanup() {
  python3 tests/server.py stop "$WORK/server.port"
  wine_end
  rm -rf "$WORK"
}
trap cleanup EXIT

# Time and CPU of one command, appended to a file: "wall user system".
timed() { out=$1; shift; /usr/bin/time -f "%e %U %S" -a -o "$out" "$@" >/dev/null; }
wall() { awk '{ print $1 }' "$1" | median; }
cpu() { awk '{ print $2 + $3 }' "$1" | median; }

echo "Linux: $SIZE bytes into a file, median of $RUNS interleaved runs"
for i in $(seq "$RUNS"); do
  timed "$WORK/plain" "$LINUX/bench/fetch" "$URL" "$WORK/get.bin"
  timed "$WORK/digest" "$LINUX/bench/fetch" "$URL" "$WORK/sha.bin" sha256
  "$LINUX/bench/fetch" --hash "$WORK/get.bin" >>"$WORK/inline"
done
cmp "$WORK/get.bin" "$WORK/sha.bin"
# The digest Get computed is the file's.
test "$("$LINUX/bench/fetch" "$URL" "$WORK/sha.bin" sha256)" = "$(sha256sum <"$WORK/sha.bin" | cut -d' ' -f1)"
plain=$(cpu "$WORK/plain")
digest=$(cpu "$WORK/digest")
inline=$(median <"$WORK/inline")
printf '  client CPU without a digest     %6.3f s   (wall %.3f s)\n' "$plain" "$(wall "$WORK/plain")"
printf '  client CPU with the digest      %6.3f s   (wall %.3f s)\n' "$digest" "$(wall "$WORK/digest")"
printf '  hashing the same bytes in line  %6.3f s CPU\n' "$inline"
printf '  the digest'"'"'s extra CPU against the in-line hash: %s\n' \
  "$(echo "$digest $plain $inline" | awk '{ printf "%.2f", ($1 - $2) / $3 }')"
printf '  wall time with the digest against without: %s\n' "$(ratio "$(wall "$WORK/digest")" "$(wall "$WORK/plain")")"
/usr/bin/time -f "  peak memory with the digest: %M KiB" "$LINUX/bench/fetch" "$URL" "$WORK/sha.bin" sha256 >/dev/null

# Throughput of each command in a hyperfine JSON export (Get + SHA-256,
# Get, the other client) and the ratios that matter.
report() {
  python3 - "$1" "$2" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["results"]
size = int(sys.argv[2])
for r in runs:
    print("  %-16s %7.1f MB/s  (%.3f s ± %.3f)" % (r["command"], size / r["mean"] / 1e6, r["mean"], r["stddev"]))
print("  ratio Get / %s: %.2f" % (runs[2]["command"], runs[2]["mean"] / runs[1]["mean"]))
print("  ratio Get + SHA-256 / Get: %.2f" % (runs[1]["mean"] / runs[0]["mean"]))
PY
}

echo "Linux: Get (libcurl) against curl -o"
hyperfine -N --style none --warmup 1 --runs "$RUNS" --export-json "$WORK/linux.json" \
  -n "Get + SHA-256" "$LINUX/bench/fetch $URL $WORK/sha.bin sha256" \
  -n Get "$LINUX/bench/fetch $URL $WORK/get.bin" \
  -n "curl -o" "curl -s -o $WORK/curl.bin $URL" >/dev/null
report "$WORK/linux.json" "$SIZE"
cmp "$WORK/get.bin" "$WORK/curl.bin"
[ "$WINE" = 0 ] && exit 0

echo "Wine: Get (WinHTTP) against a WinHTTP loop of 1 MiB reads"
wine_start "$WORK"
hyperfine -N --style none --warmup 1 --runs "$RUNS" --export-json "$WORK/wine.json" \
  -n "Get + SHA-256" "wine $WINDOWS/bench/fetch.exe $URL $WORK/sha.bin sha256" \
  -n Get "wine $WINDOWS/bench/fetch.exe $URL $WORK/get.bin" \
  -n "WinHTTP loop" "wine $WINDOWS/bench/winhttp_loop.exe $URL $WORK/loop.bin" >/dev/null
report "$WORK/wine.json" "$SIZE"
cmp "$WORK/get.bin" "$WORK/loop.bin"
cmp "$WORK/sha.bin" "$WORK/loop.bin"
test "$(wine "$WINDOWS/bench/fetch.exe" "$URL" "$WORK/sha.bin" sha256 | tr -d '\r')" = \
  "$(sha256sum <"$WORK/sha.bin" | cut -d' ' -f1)"
