#!/usr/bin/env bash
# Files per second of "pngtool check": every PNG file of a folder (valid and corrupt ones alike),
# repeated to COUNT arguments of one run, which includes the program's start. Prints each run and
# the best of RUNS runs, the fairest figure on a shared machine.
#
#   bench/bench_pngtool_check.sh PNGTOOL SUITE_DIR [COUNT [RUNS]]    (defaults: 5000 files, 5 runs)
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 4 ]; then
    echo "usage: $0 PNGTOOL SUITE_DIR [COUNT [RUNS]]" >&2
    exit 2
fi
tool=$1 suite=$2 count=${3:-5000} runs=${4:-5}
files=("$suite"/*.png)
[ -e "${files[0]}" ] || { echo "$0: no PNG files in $suite" >&2; exit 2; }

args=()
while [ ${#args[@]} -lt "$count" ]; do
    for f in "${files[@]}"; do
        [ ${#args[@]} -lt "$count" ] && args+=("$f")
    done
done

out=$(mktemp)
trap 'rm -f "$out"' EXIT
best=0
for ((run = 1; run <= runs; run++)); do
    start=$(date +%s%N)
    code=0
    "$tool" check "${args[@]}" >"$out" || code=$?
    end=$(date +%s%N)
    # Exit 2 is expected when the folder holds corrupt files; anything else, or a line missing, is not.
    lines=$(wc -l <"$out")
    if [ "$code" -gt 2 ] || [ "$lines" -ne "$count" ]; then
        echo "$0: run $run ended with $code after $lines of $count lines" >&2
        exit 1
    fi
    rate=$(((count * 1000000000) / (end - start)))
    ok=$(grep -c ': ok$' "$out" || true)
    echo "run $run: $count files ($ok ok) in $(((end - start) / 1000000)) ms, $rate files/s"
    [ "$rate" -gt "$best" ] && best=$rate
done
echo "pngtool check: best of $runs runs: $best files/s over ${#files[@]} distinct files"
