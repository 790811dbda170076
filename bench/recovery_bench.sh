#!/usr/bin/env bash
# Recovery scan of a generated folder file (default ~1 GB) in the page cache, beside
# `cat FILE > /dev/null`: real time and processor time (user + system, steadier
# when other work shares the machine), medians of ROUNDS runs taken in turn, and
# the scan's peak memory.
#   bench/recovery_bench.sh      (BUILD=build/release MB=1000 ROUNDS=5 DIR=/tmp/lumbrook-recovery-bench)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/release}
MB=${MB:-1000}
ROUNDS=${ROUNDS:-5}
DIR=${DIR:-/tmp/lumbrook-recovery-bench}
FILE=$DIR/Bench.dbx

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLUMBROOK_BUILD_BENCH=ON \
      -DLUMBROOK_BUILD_GUI=OFF -DLUMBROOK_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target recovery_bench >/dev/null
TOOL=$BUILD/bin/recovery_bench

mkdir -p "$DIR"
if [ ! -f "$FILE" ] || [ "$(cat "$DIR/.mb" 2>/dev/null)" != "$MB" ]; then
    "$TOOL" generate "$FILE" "$MB"
    echo "$MB" >"$DIR/.mb"
fi
cat "$FILE" >/dev/null  # into the page cache for both alike

# one line per run: real seconds, processor seconds, peak KB
timed() { /usr/bin/time -f '%e %U %S %M' "$@" 2>&1 >/dev/null | tail -1 | awk '{print $1, $2 + $3, $4}'; }
for _ in $(seq "$ROUNDS"); do
    timed cat "$FILE" >>"$DIR/cat.times"
    timed "$TOOL" scan "$FILE" >>"$DIR/scan.times"
done
"$TOOL" scan "$FILE"
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
SIZE=$(stat -c %s "$FILE")
for what in cat scan; do
    real=$(tail -n "$ROUNDS" "$DIR/$what.times" | awk '{print $1}' | median)
    cpu=$(tail -n "$ROUNDS" "$DIR/$what.times" | awk '{print $2}' | median)
    peak=$(tail -n "$ROUNDS" "$DIR/$what.times" | awk '{print $3}' | median)
    awk -v w="$what" -v r="$real" -v c="$cpu" -v p="$peak" -v s="$SIZE" 'BEGIN {
        printf "%-4s real %.2f s (%.0f MB/s), processor %.2f s (%.0f MB/s), peak %.1f MB\n",
               w, r, s / 1e6 / r, c, s / 1e6 / c, p / 1024 }'
done
rm -f "$DIR/cat.times" "$DIR/scan.times"
