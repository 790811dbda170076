#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages, build) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Every text of the window has its English and German translation.
scripts/check-translations.sh
jobs=$(nproc)
cmake --preset debug
cmake --build --preset debug -j "$jobs"
# The upload tests (ctest label "imap") start the Dovecot that setup.sh installs;
# with CI set they fail rather than skip when it is missing.
ctest --preset debug -j "$jobs"

# The whole suite again under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer (the asan preset), so that a memory fault or leak fails CI.
# The window tests that start Qt WebEngine are left out of this run: the engine's own
# prebuilt Chromium code, which we cannot instrument or fix, trips AddressSanitizer
# (new-delete-type-mismatch inside libQt6WebEngineCore when a page is destroyed) and
# LeakSanitizer (its allocations still held at exit). They run in the normal pass
# above; the window's other tests run here too. Such tests carry the ctest label
# "webengine"; the suites that start the engine are also named here until they do.
# The package test (label "package": the .deb in a clean Debian 12 root) ran in the
# normal pass; it tests the package, not the code, and is not run twice.
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" -LE 'webengine|package' -E '^(MainWindowTest|BrowserTest)\.'
