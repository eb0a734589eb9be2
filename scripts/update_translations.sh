#!/usr/bin/env bash
# Keeps the English translation in step with the program's texts.
#
#   scripts/update_translations.sh          updates translations/tavix_en.ts from the sources
#   scripts/update_translations.sh --check  changes nothing; fails when a text of the sources
#                                           has no finished translation, or the file is not
#                                           what an update would make (a test of the test command)
#
# The update runs
#   lupdate -locations none -no-obsolete -I . app gui core camera net -ts translations/tavix_en.ts
# from the top of the tree: it adds each new tr()/translate() text of app/, gui/,
# core/ and camera/ (forms included) as unfinished and drops texts no longer
# used. Then give every unfinished message its English text (Qt Linguist, or by
# hand: fill <translation> and remove type="unfinished"; a text that is already
# English gets a translation equal to its source) and run --check.
# LUPDATE names the lupdate program (default: Qt 5's, then lupdate on the PATH).
set -euo pipefail
cd "$(dirname "$0")/.."

lupdate="${LUPDATE:-}"
if [ -z "$lupdate" ]; then
    for candidate in "$(qmake -query QT_INSTALL_BINS 2>/dev/null)/lupdate" /usr/lib/qt5/bin/lupdate lupdate; do
        if command -v "$candidate" >/dev/null 2>&1; then
            lupdate="$candidate"
            break
        fi
    done
fi
[ -n "$lupdate" ] || { echo "lupdate not found (Debian: qttools5-dev-tools)" >&2; exit 1; }

ts=translations/tavix_en.ts
run_lupdate() {
    "$lupdate" -silent -locations none -no-obsolete -I . app gui core camera net -ts "$1"
}

if [ "${1:-}" != "--check" ]; then
    run_lupdate "$ts"
    unfinished=$(grep -c 'type="unfinished"' "$ts" || true)
    echo "$ts: $unfinished message(s) without a finished translation"
    exit 0
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$ts" "$scratch/tavix_en.ts"
run_lupdate "$scratch/tavix_en.ts"
status=0
if grep -q 'type="unfinished"\|type="vanished"\|type="obsolete"' "$scratch/tavix_en.ts"; then
    echo "Texts without a finished English translation (run scripts/update_translations.sh and translate them):" >&2
    python3 - "$scratch/tavix_en.ts" >&2 <<'PY'
import sys
import xml.etree.ElementTree as ET
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    for message in context.iter("message"):
        translation = message.find("translation")
        if translation is not None and translation.get("type") in ("unfinished", "vanished", "obsolete"):
            print(f'  {context.findtext("name")}: "{message.findtext("source")}" ({translation.get("type")})')
PY
    status=1
fi
if ! diff -u "$ts" "$scratch/tavix_en.ts" >"$scratch/diff"; then
    echo "$ts is not what lupdate makes of the sources now (run scripts/update_translations.sh):" >&2
    head -n 40 "$scratch/diff" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "$ts: every text has its English translation"
exit "$status"
