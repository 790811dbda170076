#!/usr/bin/env bash
# Brings translations/*.ts up to date with the window's tr() texts: texts new in
# the code come in unfinished, texts gone from it go. Then fill in the unfinished
# ones (Qt Linguist: `linguist translations/lumbrook_de.ts`, or by hand in the XML:
# write the translation, drop type="unfinished"); scripts/check-translations.sh
# says which are left. The build turns the .ts files into the program's .qm files.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/translation-sources.sh
"$LUPDATE" "${LUPDATE_OPTIONS[@]}" "${TRANSLATED_DIRS[@]}" -ts "${TS_FILES[@]}"
