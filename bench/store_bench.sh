#!/usr/bin/env bash
# Store benchmarks on a generated folder of N messages (default 100,000, ~1.2 GB):
# listing the records and extracting every raw text, beside `cat FILE > /dev/null`.
# Builds the release tree, writes the folder once into $DIR, prints records/s,
# MB/s, the ratio to cat and the peak memory of each pass.
#   bench/store_bench.sh            (BUILD=build/release N=100000 DIR=/tmp/lumbrook-bench)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/release}
N=${N:-100000}
DIR=${DIR:-/tmp/lumbrook-bench}
FILE=Bench.dbx

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLUMBROOK_BUILD_BENCH=ON \
      -DLUMBROOK_BUILD_GUI=OFF -DLUMBROOK_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target store_bench store_bench_tool >/dev/null
TOOL="$BUILD/bin/store_bench_tool"

mkdir -p "$DIR"
if [ ! -f "$DIR/$FILE" ] || [ "$(cat "$DIR/.messages" 2>/dev/null)" != "$N" ]; then
    "$TOOL" generate "$DIR/$FILE" "$N"
    echo "$N" >"$DIR/.messages"
fi
SIZE=$(stat -c %s "$DIR/$FILE")
echo "folder: $DIR/$FILE, $N messages, $((SIZE / 1000000)) MB"

cat "$DIR/$FILE" >/dev/null  # page cache warm for everyone alike

now() { date +%s.%N; }
t0=$(now); cat "$DIR/$FILE" >/dev/null; t1=$(now)
CAT=$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')

# peak resident memory in MB from /usr/bin/time -v
peak() { awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$1"; }

/usr/bin/time -v "$TOOL" list "$DIR" "$FILE" >"$DIR/list.out" 2>"$DIR/list.time"
/usr/bin/time -v "$TOOL" extract "$DIR" "$FILE" >"$DIR/extract.out" 2>"$DIR/extract.time"
cat "$DIR/list.out"
grep '^extract' "$DIR/extract.out"
EXTRACT=$(awk '/^extract/ {print $5}' "$DIR/extract.out")
awk -v size="$SIZE" -v cat="$CAT" -v extract="$EXTRACT" 'BEGIN {
    printf "cat: %.1f MB in %.3f s (%.0f MB/s)\n", size / 1e6, cat, size / 1e6 / cat
    printf "extract / cat time: %.2f\n", extract / cat
}'
echo "peak memory: list $(peak "$DIR/list.time") MB, list + extract $(peak "$DIR/extract.time") MB"

echo
echo "Google Benchmark (same folder):"
LUMBROOK_BENCH_STORE="$DIR" LUMBROOK_BENCH_FILE="$FILE" "$BUILD/bin/store_bench" \
    --benchmark_min_time=2
