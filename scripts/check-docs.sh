#!/usr/bin/env bash
# Holds the library guide to the examples: every code block in a guide that follows a line
#   <!-- snippet NAME examples/PATH -->
# must equal, line for line after removing the common indentation, the lines between
# "// [snippet NAME]" and "// [end]" in that example. The examples are built against the installed
# package in CI, so the guide's code cannot rot.
# Usage: scripts/check-docs.sh [GUIDE.md ...]   (default docs/library.md); exit 1 on a mismatch.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- docs/library.md

# The lines of stdin without their common leading spaces.
dedent() { awk '{ lines[NR] = $0; if ($0 ~ /[^ ]/) { match($0, /^ */); if (min == "" || RLENGTH < min) min = RLENGTH } }
    END { for (i = 1; i <= NR; ++i) print substr(lines[i], min + 1) }'; }

failed=0
checked=0
for guide in "$@"; do
    while read -r line name source; do
        block=$(awk -v from="$line" 'NR > from && /^```/ { if (open) exit; open = 1; next } open { print }' "$guide" | dedent)
        if [ ! -f "$source" ]; then
            echo "$guide:$line: snippet $name: no file $source"
            failed=1
            continue
        fi
        code=$(awk -v name="$name" '$0 ~ "// \\[end\\]" { open = 0 } open { print } $0 ~ "// \\[snippet " name "\\]" { open = 1 }' "$source" | dedent)
        if [ -z "$code" ]; then
            echo "$guide:$line: snippet $name: not marked in $source"
            failed=1
        elif [ "$block" != "$code" ]; then
            echo "$guide:$line: snippet $name differs from $source:"
            diff <(echo "$block") <(echo "$code") || true
            failed=1
        fi
        checked=$((checked + 1))
    done < <(grep -n '<!-- snippet ' "$guide" | sed -E 's/^([0-9]+):<!-- snippet ([^ ]+) ([^ ]+) -->.*/\1 \2 \3/')
done
if [ "$failed" -ne 0 ]; then
    echo "check-docs: the guide and the examples disagree"
    exit 1
fi
if [ "$checked" -eq 0 ]; then
    echo "check-docs: no snippet found"
    exit 1
fi
echo "check-docs: $checked snippets match the examples"
