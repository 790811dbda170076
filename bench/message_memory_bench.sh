#!/usr/bin/env bash
# Peak memory of the message model and the page pipeline on single large messages:
# short lines, empty lines, one long line, a base64 attachment (MB megabytes each,
# default 50). Each is written as a raw message and as a folder file holding it
# alone; then `lumbrook-cli parse` (the raw message), `render` and `export --format
# html` (the folder, with --head: header table and design) run under /usr/bin/time,
# and the maximum resident set is printed beside the limit of 4 times the message
# plus 64 MB. The outputs of each run are compared with those of the first.
#   bench/message_memory_bench.sh     (BUILD=build/release MB=50 DIR=/tmp/lumbrook-memory-bench)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build/release}
MB=${MB:-50}
DIR=${DIR:-/tmp/lumbrook-memory-bench}
CLI=${CLI:-$BUILD/bin/lumbrook-cli}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLUMBROOK_BUILD_BENCH=ON \
      -DLUMBROOK_BUILD_GUI=OFF -DLUMBROOK_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target lumbrook-cli message_memory_bench >/dev/null

mkdir -p "$DIR"
"$BUILD/bin/message_memory_bench" write "$DIR" "$MB" >"$DIR/shapes"

# maximum resident set in MB of one command, its output thrown away
peak() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f", $1 / 1024}'; }

printf '%-12s %8s %8s %8s %8s %8s\n' shape "size MB" "limit" parse render export
while read -r shape offset bytes; do
    out="$DIR/out-$shape"
    rm -rf "$out" && mkdir -p "$out/export"
    p=$(peak "$CLI" parse "$DIR/$shape.eml")
    r=$(peak "$CLI" --store "$DIR" render "$shape.dbx" "$offset" --out "$out/page.htm")
    e=$(peak "$CLI" --store "$DIR" export "$shape.dbx" --to "$out/export" --format html --head "$offset")
    awk -v s="$shape" -v b="$bytes" -v p="$p" -v r="$r" -v e="$e" 'BEGIN {
        printf "%-12s %8.1f %8.0f %8s %8s %8s\n", s, b / 1e6, 4 * b / 1048576 + 64, p, r, e }'
    # Fingerprints of what was written, for comparing two builds.
    {
        "$CLI" parse "$DIR/$shape.eml" | sha256sum
        find "$out" -type f -printf '%P\n' | sort | while read -r f; do
            echo "$f $(sha256sum <"$out/$f")"
        done
    } >"$DIR/$shape.sums"
    rm -rf "$out"
done <"$DIR/shapes"
echo "output fingerprints: $DIR/*.sums"
