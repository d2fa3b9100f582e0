#!/usr/bin/env bash
# Installs the libraries as a package, static and then shared, and builds and runs the programs of
# examples/ against each installed tree as a user would: through the CMake package and through
# pkg-config. Build folders: build/install-{static,shared} (the libraries and pngtool),
# build/prefix-{static,shared} (the installed trees), build/examples-{static,shared}.
#   test-install.sh [static|shared]   both when none is given
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh

image="$root/../shared/pngsuite/basn6a08.png"
kinds=("$@")
if [ ${#kinds[@]} -eq 0 ]; then kinds=(static shared); fi
step=""
trap 'echo "test-install: FAILED (${step:-setup})"' ERR

for kind in "${kinds[@]}"; do
    case $kind in
        static) shared=OFF ;;
        shared) shared=ON ;;
        *) echo "usage: test-install.sh [static|shared]" >&2; exit 1 ;;
    esac
    build="$root/build/install-$kind"
    prefix="$root/build/prefix-$kind"
    examples="$root/build/examples-$kind"
    rm -rf "$build" "$prefix" "$examples"

    step="$kind: build and install"
    echo "== $step"
    start=$SECONDS
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLANTH_TESTS=OFF -DBUILD_SHARED_LIBS=$shared \
        -DCMAKE_INSTALL_PREFIX="$prefix" >"$build.configure.log"
    cmake --build "$build" -j2 --target vorlanth_platform vorlanth_toolkit_core vorlanth_toolkit_controls \
        vorlanth_toolkit_host vorlanth_png vorlanth_pngbutton pngtool
    cmake --install "$build" >/dev/null
    echo "built and installed in $((SECONDS - start)) s: $(find "$prefix" -type f | wc -l) files"

    step="$kind: examples through the CMake package"
    echo "== $step"
    # Our installed headers must compile cleanly for users who turn warnings into errors.
    cmake -S examples -B "$examples" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS=-Werror >/dev/null
    cmake --build "$examples" -j2
    test -x "$examples/buttons"
    if [ "$kind" = shared ]; then
        # The programs use the installed shared libraries, not copies of their code.
        readelf -d "$examples/pnginfo" >"$examples/pnginfo.dynamic"
        grep -q 'NEEDED.*libvorlanth_png\.so\.0' "$examples/pnginfo.dynamic"
        readelf -d "$prefix/bin/pngtool" >"$examples/pngtool.dynamic"
        # shellcheck disable=SC2016
        grep -qF 'runpath: [$ORIGIN/../lib]' "$examples/pngtool.dynamic"
    fi
    "$examples/pnginfo" "$image" "$examples/out.png" "$examples/out.bmp" 336699
    test -s "$examples/out.png"
    test -s "$examples/out.bmp"
    [ "$(head -c 2 "$examples/out.bmp")" = BM ]
    # The installed pngtool reads the result back: drawn over a colour, it is opaque.
    "$prefix/bin/pngtool" info "$examples/out.png" | tee "$examples/out.info"
    grep -q '^header 32 32 8 2 ' "$examples/out.info"
    grep -q '^transparency ptkOpaque$' "$examples/out.info"
    # A file that is no PNG is reported as the library's error, with exit code 2.
    status=0
    "$examples/pnginfo" "$root/examples/CMakeLists.txt" "$examples/bad.png" "$examples/bad.bmp" || status=$?
    [ "$status" = 2 ]

    step="$kind: pkg-config"
    echo "== $step"
    pcdir=$(dirname "$(find "$prefix" -name vorlanth-png.pc)")
    flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs vorlanth-png)
    echo "pkg-config --cflags --libs vorlanth-png: $flags"
    # shellcheck disable=SC2086
    c++ -std=c++20 -Wall -Wextra -Werror examples/pnginfo/main.cpp -o "$examples/pnginfo-pc" $flags \
        -Wl,-rpath,"$prefix/lib"
    "$examples/pnginfo-pc" "$image" "$examples/pc.png" "$examples/pc.bmp"
    "$prefix/bin/pngtool" info "$examples/pc.png" >"$examples/pc.info"
    grep -q '^transparency ptkOpaque$' "$examples/pc.info"
    # Every installed header compiles where the installed ones are all there is: nothing they
    # include was left out. (One unit with all of them, by the flags of the libraries that need most.)
    find "$prefix/include/vorlanth" -name '*.h' | sort | sed 's/.*/#include "&"/' >"$examples/all_headers.cpp"
    flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags vorlanth-pngbutton vorlanth-toolkit-host)
    # shellcheck disable=SC2086
    c++ -std=c++20 -fPIC -fsyntax-only -Wall -Wextra -Werror $flags "$examples/all_headers.cpp"
    echo "$(wc -l <"$examples/all_headers.cpp") installed headers compile together"
done
trap - ERR
echo "test-install: passed (${kinds[*]})"
