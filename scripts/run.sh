#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Lumbrook (debug preset) and opens its window
# on a mail store: the one named as the argument, or else the demo store built from
# demo/.
#
# The window needs a display. Without one ($DISPLAY and $WAYLAND_DISPLAY unset) the
# script shows the store through lumbrook-cli (its folders and the messages of its
# first folder), says how to get a display and stops, unless QT_QPA_PLATFORM names a
# platform to run on anyway (offscreen, for instance). LUMBROOK_BUILD_DIR builds elsewhere than
# build/debug.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build="${LUMBROOK_BUILD_DIR:-build/debug}"
if [ -n "${LUMBROOK_BUILD_DIR:-}" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$build" -j "$(nproc)"
else
    cmake --preset debug >/dev/null
    cmake --build --preset debug -j "$(nproc)"
fi

store="${1:-$build/demo-store}"
if [ ! -d "$store" ]; then
    echo "run.sh: $store is not a directory" >&2
    exit 2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cli="$build/bin/lumbrook-cli"
    echo "== Folders of $store"
    "$cli" --store "$store" folders
    first=$("$cli" --store "$store" folders | sed -n 's/.*"FileName":"\([^"]*\)".*/\1/p' | grep -v '^$' | head -n 1 || true)
    if [ -n "$first" ]; then
        echo "== Messages of $first"
        "$cli" --store "$store" messages "$first"
    fi
    cat >&2 <<MSG
run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset), so the window cannot open.
Run it on a virtual display:            xvfb-run -a scripts/run.sh ${1:-}
or without any display (nothing shown): QT_QPA_PLATFORM=offscreen scripts/run.sh ${1:-}
MSG
    exit 1
fi

echo "== Opening the window on $store"
# The web engine refuses to start as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec "$build/bin/lumbrook" "$store"
