#!/bin/sh
# Download throughput of Get against the local test server, 256 MiB into a
# file: on Linux against curl -o, under Wine against a plain WinHTTP loop that
# reads 1 MiB at a time, and Get computing the SHA-256 of what it writes (as
# the tool stage does) against Get without it. Prints the ratios of the
# throughputs.
# Run from the project's root after both builds (scripts/test.sh makes them).
set -e
cd "$(dirname "$0")/.."
SIZE=268435456
RUNS=${RUNS:-5}
WORK=build/bench
mkdir -p "$WORK"
WORK=$(cd "$WORK" && pwd)

cmake --build --preset linux -j2 --target fetch >/dev/null
cmake --build --preset windows -j2 --target fetch winhttp_loop >/dev/null

python3 tests/server.py start "$WORK/server.port"
URL="http://127.0.0.1:$(cat "$WORK/server.port")/bytes?n=$SIZE"
cleanup() {
    python3 tests/server.py stop "$WORK/server.port"
    wineserver -k 2>/dev/null || true
    rm -f "$WORK"/*.bin
}
trap cleanup EXIT

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

echo "Linux: Get (libcurl) against curl -o, $SIZE bytes into a file"
hyperfine -N --style none --warmup 1 --runs "$RUNS" --export-json "$WORK/linux.json" \
    -n "Get + SHA-256" "build/linux/bench/fetch $URL $WORK/sha.bin sha256" \
    -n Get "build/linux/bench/fetch $URL $WORK/get.bin" \
    -n "curl -o" "curl -s -o $WORK/curl.bin $URL" >/dev/null
report "$WORK/linux.json" "$SIZE"
cmp "$WORK/get.bin" "$WORK/curl.bin"
cmp "$WORK/sha.bin" "$WORK/curl.bin"
# The digest Get computed is the file's.
test "$(build/linux/bench/fetch "$URL" "$WORK/sha.bin" sha256)" = "$(sha256sum <"$WORK/sha.bin" | cut -d' ' -f1)"
/usr/bin/time -f "  Get's peak memory: %M KiB; CPU: %U s user, %S s system" \
    build/linux/bench/fetch "$URL" "$WORK/get.bin"
# What the digest costs whatever else the machine is doing: its CPU time.
/usr/bin/time -f "  Get + SHA-256's peak memory: %M KiB; CPU: %U s user, %S s system" \
    build/linux/bench/fetch "$URL" "$WORK/sha.bin" sha256 >/dev/null

echo "Wine: Get (WinHTTP) against a WinHTTP loop of 1 MiB reads, $SIZE bytes into a file"
. scripts/wine-env.sh
wine_prefix
hyperfine -N --style none --warmup 1 --runs "$RUNS" --export-json "$WORK/wine.json" \
    -n "Get + SHA-256" "wine build/windows/bench/fetch.exe $URL $WORK/sha.bin sha256" \
    -n Get "wine build/windows/bench/fetch.exe $URL $WORK/get.bin" \
    -n "WinHTTP loop" "wine build/windows/bench/winhttp_loop.exe $URL $WORK/loop.bin" >/dev/null
report "$WORK/wine.json" "$SIZE"
cmp "$WORK/get.bin" "$WORK/loop.bin"
cmp "$WORK/sha.bin" "$WORK/loop.bin"
test "$(wine build/windows/bench/fetch.exe "$URL" "$WORK/sha.bin" sha256 | tr -d '\r')" = \
    "$(sha256sum <"$WORK/sha.bin" | cut -d' ' -f1)"
