#!/usr/bin/env bash
# Fails when a text of the window has no finished English or German translation:
# lupdate reads the code into a copy of translations/*.ts, and every text it
# marks unfinished (new in the code, or never translated) or leaves empty is named.
# scripts/update-translations.sh then brings the .ts files themselves up to date.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/translation-sources.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copies=()
for ts in "${TS_FILES[@]}"; do
    cp "$ts" "$work/"
    copies+=("$work/$(basename "$ts")")
done
"$LUPDATE" "${LUPDATE_OPTIONS[@]}" "${TRANSLATED_DIRS[@]}" -ts "${copies[@]}"
python3 - "${copies[@]}" <<'PY'
import sys
import xml.etree.ElementTree as ET

missing = 0
for path in sys.argv[1:]:
    name = path.rsplit("/", 1)[-1]
    for context in ET.parse(path).getroot().iter("context"):
        for message in context.iter("message"):
            translation = message.find("translation")
            forms = translation.findall("numerusform")
            texts = [f.text for f in forms] if forms else [translation.text]
            if translation.get("type") == "unfinished" or not all(t and t.strip() for t in texts):
                missing += 1
                print(f"{name}: {context.findtext('name')}: {message.findtext('source')!r}")
if missing:
    print(f"{missing} text(s) without a finished translation: run "
          "scripts/update-translations.sh and translate them.", file=sys.stderr)
    sys.exit(1)
PY
