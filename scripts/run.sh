#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Lumbrook and opens a mail store: the one named
# as the argument, or else the demo store built from demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset debug >/dev/null
cmake --build --preset debug -j "$(nproc)"
store="${1:-build/debug/demo-store}"
cli=build/debug/cli/lumbrook-cli
echo "== Folders of $store"
"$cli" --store "$store" folders
first=$("$cli" --store "$store" folders | sed -n 's/.*"FileName":"\([^"]*\)".*/\1/p' | grep -v '^$' | head -n 1)
if [ -n "$first" ]; then
    echo "== Messages of $first"
    "$cli" --store "$store" messages "$first"
fi
