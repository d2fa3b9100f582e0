#!/usr/bin/env bash
# Runs the Linux pngtool and pngtool.exe (under Wine) with every command over every PNG file of a
# folder, both from the same kind of folder with the same relative paths, and compares standard
# output, standard error, exit code and the file written. Prints each difference and a count;
# exits 1 on any difference.
#
#   scripts/pngtool-compare.sh LINUX_PNGTOOL WINDOWS_PNGTOOL_EXE SUITE_DIR
#
# Wine runs in $WINEPREFIX (default: build/windows/wineprefix of this checkout).
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 LINUX_PNGTOOL WINDOWS_PNGTOOL_EXE SUITE_DIR" >&2
    exit 2
fi
linux=$(realpath "$1") && windows=$(realpath "$2") && suite=$(realpath "$3") || exit 2
repo=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$repo/build/windows/wineprefix} WINEDEBUG=-all
wine=$(command -v wine || command -v wine64) || { echo "$0: no wine" >&2; exit 2; }
# One server for all the runs, gone a minute after the last.
wineserver -p60 2>/dev/null || true

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$suite" "$work/suite"
mkdir "$work/linux" "$work/windows"

# Windows form of a Unix path: Wine's drive Z: is the Unix root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# compare RUN LABEL: prints what differs between the two sides of a run; returns 1 if anything does.
compare() {
    local run=$1 label=$2 what differs=0
    for what in code stdout stderr out.bmp out.png; do
        local a=$work/linux/$run/$what b=$work/windows/$run/$what
        [ -e "$a" ] || [ -e "$b" ] || continue
        if [ ! -e "$a" ] || [ ! -e "$b" ]; then
            echo "DIFF $label: $what written by $([ -e "$a" ] && echo Linux || echo Windows) only"
            differs=1
        elif ! cmp -s "$a" "$b"; then
            echo "DIFF $label: $what differs ($(cmp "$a" "$b" 2>&1 | head -1))"
            [ "$what" = code ] && echo "    Linux $(cat "$a"), Windows $(cat "$b")"
            differs=1
        fi
    done
    return $differs
}

# Each run gets a folder of its own on either side, two levels below the suite link, so both see the
# same relative path. The Linux runs go one by one; the Windows runs go through one batch file in one
# Wine session, as starting Wine costs far more than starting a program inside it.
labels=() commands=()
batch=$work/runs.bat
printf '@echo off\r\n' >"$batch"
for path in "$suite"/*.png; do
    file=../../suite/$(basename "$path")
    # convert is left out: copying a black-and-white 1-bit image to a plain bitmap gives a 1-bit
    # bitmap on Windows and a 32-bit one on Linux, so its BMP files differ in form (not in pixels).
    for command in info dump draw resave optimize check; do
        case $command in
        info | dump | check) args=("$command" "$file") ;;
        draw) args=(draw "$file" out.bmp) ;;
        resave | optimize) args=("$command" "$file" out.png) ;;
        esac
        i=${#labels[@]}
        labels+=("pngtool ${args[*]}")
        mkdir "$work/linux/$i" "$work/windows/$i"
        (cd "$work/linux/$i" && "$linux" "${args[@]}" >stdout 2>stderr; echo $? >code)
        printf -v "commands[$i]" 'cd /d "%s"\r\n"%s" %s >stdout 2>stderr\r\n>code echo %%ERRORLEVEL%%\r\n' \
            "$(winpath "$work/windows/$i")" "$(winpath "$windows")" "${args[*]}"
        printf '%s' "${commands[$i]}" >>"$batch"
    done
done
"$wine" cmd /c "$(winpath "$batch")" >/dev/null 2>&1

# Now and then Wine fails to start one program of a long batch, and cmd reports 9009 (not found) for
# it; such runs go once more, in a batch of their own, before anything is compared.
printf '@echo off\r\n' >"$batch"
retried=0
for i in "${!labels[@]}"; do
    if [ "$(tr -d '\r\n ' <"$work/windows/$i/code" 2>/dev/null)" = 9009 ]; then
        rm -f "$work/windows/$i"/*
        printf '%s' "${commands[$i]}" >>"$batch"
        retried=$((retried + 1))
    fi
done
if [ "$retried" -gt 0 ]; then
    echo "pngtool-compare: $retried runs did not start under Wine; running them again"
    "$wine" cmd /c "$(winpath "$batch")" >/dev/null 2>&1
fi

different=0
for i in "${!labels[@]}"; do
    # cmd writes the exit code with a line end of its own.
    [ -e "$work/windows/$i/code" ] && sed -i 's/\r$//' "$work/windows/$i/code"
    compare "$i" "${labels[$i]}" || different=$((different + 1))
done

echo "pngtool-compare: ${#labels[@]} runs over $(ls "$suite"/*.png | wc -l) files, $different differ"
[ "$different" -eq 0 ]
