#!/usr/bin/env bash
# Cross-builds the libraries, pngtool and the test programs for Windows with mingw-w64 and runs the
# tests under Wine; then holds our stand-ins against Wine's drawing with the differential, and
# pngtool.exe against the Linux pngtool. Expects the Linux build of scripts/test.sh beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh windows

export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all
start=$(date +%s)
cmake --preset windows
cmake --build --preset windows -j"$(nproc)"
built=$(date +%s)
# One prefix for every test: made before they start, so that parallel tests do not race to make it.
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1 || true
wineserver --wait || true
# The golden files the Windows conformance is held against come from the Linux build's libpng.
cmake --build --preset default --target golden_writer -j"$(nproc)"
build/default/tests/golden/golden_writer build/golden
rm -rf build/windows/gtest
status=0
ctest --preset windows -j"$(nproc)" || status=$?
tested=$(date +%s)
echo "windows: cross build $((built - start)) s, tests under Wine $((tested - built)) s"
# Each program reports its cases; one that left no report counts as one failure.
cases=0
failures=0
for program in $(ctest --test-dir build/windows -N | sed -n 's/^ *Test *#[0-9]*: //p'); do
    report=build/windows/gtest/$program.xml
    if [ -f "$report" ]; then
        line=$(grep -m1 '<testsuites ' "$report")
        cases=$((cases + $(sed -E 's/.* tests="([0-9]+)".*/\1/' <<<"$line")))
        failures=$((failures + $(sed -E 's/.* failures="([0-9]+)".*/\1/' <<<"$line")))
    else
        cases=$((cases + 1))
        failures=$((failures + 1))
    fi
done

paint=$(grep -o 'name="first_paint_ms" value="[0-9]*"' build/windows/gtest/launcher_wine_tests.xml 2>/dev/null | grep -o '[0-9]\+' || true)
[ -z "$paint" ] || echo "windows: vorlanth.exe showed its painted window $paint ms after its start under Wine"

# Every executable must run on a bare Windows: it may import Windows' own DLLs only.
system_dlls='^(KERNEL32|USER32|GDI32|SHELL32|ADVAPI32|msvcrt)\.dll$'
while IFS= read -r exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
    echo "windows: $exe $(stat -c %s "$exe") bytes, imports $(echo $dlls)"
    if echo "$dlls" | grep -qvE "$system_dlls"; then
        echo "windows: $exe imports a DLL that is not Windows' own" >&2
        status=1
    fi
done < <(find build/windows -name '*.exe' -not -path '*/CMakeFiles/*' -not -path '*/wineprefix/*' | sort)

# The Linux side of the comparisons: the default build's differential, and pngtool from the build
# with zlib alone, as the Windows build compresses with zlib alone (resaved files match byte for byte).
[ -x build/default/tests/gdi_diff ] || cmake --build --preset default --target gdi_diff -j"$(nproc)"
if [ ! -x build/zlib/tools/pngtool ]; then
    cmake --preset zlib >/dev/null
    cmake --build --preset zlib --target pngtool -j"$(nproc)"
fi
bash scripts/gdidiff-compare.sh build/default/tests/gdi_diff build/windows/tests/gdi_diff.exe || status=$?
bash scripts/pngtool-compare.sh build/zlib/tools/pngtool build/windows/tools/pngtool.exe ../shared/pngsuite ||
    status=$?
# The closing count, in ctest's words so that .ci/run can read it.
echo "windows: $(( (cases - failures) * 100 / (cases > 0 ? cases : 1) ))% tests passed, $failures tests failed out of $cases"
exit $status
