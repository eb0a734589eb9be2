#!/usr/bin/env bash
# Checks the printed manual against its source: the PDF has pages, every
# heading of the Markdown is in its text, and it holds every picture the
# Markdown shows. Needs poppler-utils (pdfinfo, pdftotext, pdfimages).
#   tests/check_manual.sh docs/manual.md build/Tavix.pdf
set -euo pipefail
md="$1"
pdf="$2"
[ -s "$pdf" ] || { echo "no manual at $pdf" >&2; exit 1; }

pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
[ "${pages:-0}" -ge 5 ] || { echo "$pdf has ${pages:-no} pages, a manual has at least 5" >&2; exit 1; }

# Text with each run of blanks and line breaks as one blank, so that a heading
# reads the same wherever its line breaks, and ligatures (fi, fl, ...) as letters.
text=$(pdftotext -enc UTF-8 "$pdf" - | sed -e 's/ﬁ/fi/g' -e 's/ﬂ/fl/g' -e 's/ﬀ/ff/g' -e 's/ﬃ/ffi/g' -e 's/ﬄ/ffl/g' \
    | tr -s ' \n\f\t' '    ')
status=0
headings=0
while IFS= read -r heading; do
    headings=$((headings + 1))
    # The heading as printed: Markdown emphasis and code marks are no text.
    plain=$(printf '%s' "$heading" | sed -e 's/^#* *//' -e 's/[`*]//g' | tr -s ' ')
    if ! grep -qF -- "$plain" <<<"$text"; then
        echo "heading not in the PDF: $plain" >&2
        status=1
    fi
done < <(grep -E '^#{1,4} ' "$md")
[ "$headings" -ge 10 ] || { echo "$md has only $headings headings" >&2; status=1; }

shown=$(grep -oE '!\[[^]]*\]\([^)]+\)' "$md" | wc -l)
images=$(pdfimages -list "$pdf" | awk 'NR > 2 && $3 == "image"' | wc -l)
if [ "$shown" -lt 1 ] || [ "$images" -lt "$shown" ]; then
    echo "$md shows $shown pictures, $pdf holds $images" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "$pdf: $pages pages, $headings headings, $images pictures"
exit "$status"
