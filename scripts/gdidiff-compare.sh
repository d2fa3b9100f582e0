#!/usr/bin/env bash
# Runs the drawing differential natively and under Wine and compares the cases by name.
# Usage: gdidiff-compare.sh NATIVE_EXE WINDOWS_EXE
# Prints every case that disagrees, the agreement per section and in total. Exits 1 when a case
# disagrees that tests/gdidiff/wine_choices.txt does not list, when a listed pattern matches no
# disagreeing case (the list must not go stale), or when the two runs hold different cases.
# WINEPREFIX is the caller's; Wine's debug output is silenced.
set -euo pipefail
export LC_ALL=C

if [ $# -ne 2 ]; then
    echo "usage: $0 NATIVE_EXE WINDOWS_EXE" >&2
    exit 2
fi
native_exe=$1
windows_exe=$2
choices="$(cd "$(dirname "$0")/.." && pwd)/tests/gdidiff/wine_choices.txt"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$native_exe" 2>"$work/native.err" | tr -d '\r' | sort >"$work/native"
WINEDEBUG=-all wine "$windows_exe" 2>"$work/wine.err" | tr -d '\r' | sort >"$work/wine"

# Patterns: the first field of each line that is not blank or a comment (shell glob syntax).
patterns=()
if [ -f "$choices" ]; then
    while read -r pattern _; do
        case "$pattern" in '' | '#'*) continue ;; esac
        patterns+=("$pattern")
    done <"$choices"
fi

join -a1 -a2 -e MISSING -o 0,1.2,2.2 "$work/native" "$work/wine" >"$work/joined"

status=0
declare -A total agree
declare -A used
while read -r name mine theirs; do
    section=${name%%/*}
    total[$section]=$((${total[$section]:-0} + 1))
    if [ "$mine" = "$theirs" ]; then
        agree[$section]=$((${agree[$section]:-0} + 1))
        continue
    fi
    if [ "$mine" = MISSING ] || [ "$theirs" = MISSING ]; then
        echo "only in one run: $name (native $mine, wine $theirs)"
        status=1
        continue
    fi
    listed=""
    for pattern in "${patterns[@]}"; do
        # shellcheck disable=SC2053
        if [[ $name == $pattern ]]; then
            listed=$pattern
            used[$pattern]=1
            break
        fi
    done
    if [ -n "$listed" ]; then
        echo "differs (Wine's choice, $listed): $name"
    else
        echo "differs: $name"
        status=1
    fi
done <"$work/joined"

all=0
all_agree=0
for section in $(printf '%s\n' "${!total[@]}" | sort); do
    echo "$section ${agree[$section]:-0}/${total[$section]} agree"
    all=$((all + total[$section]))
    all_agree=$((all_agree + ${agree[$section]:-0}))
done
echo "total $all_agree/$all agree"

for pattern in "${patterns[@]}"; do
    if [ -z "${used[$pattern]:-}" ]; then
        echo "stale: $pattern in $(basename "$choices") matches no disagreeing case"
        status=1
    fi
done
exit $status
