#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them for the given number of seconds in all
# (default 60): two fifths for the PNG reader and one fifth for the differential inflater target
# (zlib against the fast inflater), both seeded with the standard PNG test images, one fifth for the
# BMP reader, seeded with small bitmaps written here, and the rest for the window-description
# reader, seeded with a small description written here. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
png_seconds=$((seconds * 2 / 5))
inflate_seconds=$((seconds / 5))
bmp_seconds=$((seconds / 5))
form_seconds=$((seconds - png_seconds - inflate_seconds - bmp_seconds))
bash scripts/install-deps.sh
cmake --preset fuzz
cmake --build --preset fuzz -j"$(nproc)" --target fuzz_read_png fuzz_inflate_engines fuzz_read_bmp fuzz_read_formdata

corpus=build/fuzz/corpus
mkdir -p "$corpus"
seeds=()
if [ -d ../shared/pngsuite ]; then seeds+=(../shared/pngsuite); fi
if [ -d tests/data ]; then seeds+=(tests/data); fi
ASAN_OPTIONS=detect_leaks=1 ./build/fuzz/fuzz/fuzz_read_png -artifact_prefix=build/fuzz/ -max_total_time="$png_seconds" \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "$corpus" "${seeds[@]}"
inflate_corpus=build/fuzz/inflate-corpus
mkdir -p "$inflate_corpus"
ASAN_OPTIONS=detect_leaks=1 ./build/fuzz/fuzz/fuzz_inflate_engines -artifact_prefix=build/fuzz/inflate- \
    -max_total_time="$inflate_seconds" -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "$inflate_corpus" "${seeds[@]}"

# BMP seeds: one small file per depth, a top-down one and both run-length encodings.
le() { # value, bytes: the value as little-endian \x escapes
    local v=$1 n=$2 out=""
    for ((i = 0; i < n; i++)); do out+=$(printf '\\x%02x' $(((v >> (8 * i)) & 255))); done
    printf '%s' "$out"
}
bmp() { # file, bits per pixel, width, height, compression, pixel bytes in hex
    local file=$1 bpp=$2 width=$3 height=$4 compression=$5 hex=$6
    local colours=0 table="" pixels=""
    if [ "$bpp" -le 8 ]; then colours=$((1 << bpp)); fi
    for ((i = 0; i < colours; i++)); do table+=$(le $((i * 0x010101 * 255 / (colours - 1 > 0 ? colours - 1 : 1))) 4); done
    for byte in $hex; do pixels+="\\x$byte"; done
    local count=$(wc -w <<<"$hex")
    local offset=$((54 + 4 * colours))
    printf '%b' "BM$(le $((offset + count)) 4)$(le 0 4)$(le "$offset" 4)$(le 40 4)$(le "$width" 4)$(le "$height" 4)$(le 1 2)$(le "$bpp" 2)$(le "$compression" 4)$(le "$count" 4)$(le 0 16)$table$pixels" >"$file"
}
bmp_seeds=build/fuzz/bmp-seeds
bmp_corpus=build/fuzz/bmp-corpus
mkdir -p "$bmp_seeds" "$bmp_corpus"
bmp "$bmp_seeds/1bpp.bmp" 1 3 2 0 "a0 00 00 00 40 00 00 00"
bmp "$bmp_seeds/4bpp.bmp" 4 3 2 0 "12 30 00 00 45 60 00 00"
bmp "$bmp_seeds/8bpp.bmp" 8 2 2 0 "01 02 00 00 03 04 00 00"
bmp "$bmp_seeds/24bpp.bmp" 24 2 2 0 "ff 00 00 00 ff 00 00 00 00 ff 80 80 80 00 00 00"
bmp "$bmp_seeds/24bpp-top-down.bmp" 24 2 -2 0 "ff 00 00 00 ff 00 00 00 00 ff 80 80 80 00 00 00"
bmp "$bmp_seeds/32bpp.bmp" 32 2 1 0 "ff 00 00 00 00 ff 00 80"
bmp "$bmp_seeds/rle8.bmp" 8 4 2 1 "03 01 00 00 00 03 05 06 07 00 00 02 01 00 00 01"
bmp "$bmp_seeds/rle4.bmp" 4 4 2 2 "04 12 00 00 00 03 34 50 00 02 01 00 00 01"
ASAN_OPTIONS=detect_leaks=1 ./build/fuzz/fuzz/fuzz_read_bmp -artifact_prefix=build/fuzz/bmp- -max_total_time="$bmp_seconds" \
    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "$bmp_corpus" "$bmp_seeds"

# Window-description seeds: a window with one value of every kind and a picture child, and an empty one.
name() { # text: a length byte, then the text, as \x escapes
    printf '\\x%02x%s' "${#1}" "$1"
}
form_seeds=build/fuzz/form-seeds
form_corpus=build/fuzz/form-corpus
mkdir -p "$form_seeds" "$form_corpus"
printf '%b' "TPF0$(name TForm4)$(name Form4)$(name Left)\x02\xf5$(name Width)\x03\xff\x00$(name Tag)\x04\x70\x11\x01\x00\
$(name Caption)\x06$(name Vorlanth)$(name BorderStyle)\x07$(name bsNone)$(name OldCreateOrder)\x08$(name Visible)\x09\
$(name BorderIcons)\x0b$(name biSystemMenu)$(name biMinimize)\x00\x00\
$(name TImage)$(name Image1)$(name Picture.Data)\x0a$(le 15 4)$(name TBitmap)$(le 3 4)BM\x00\x00\x00\x00" \
    >"$form_seeds/window.bin"
printf '%b' "TPF0$(name TForm)\x00\x00\x00" >"$form_seeds/empty.bin"
ASAN_OPTIONS=detect_leaks=1 ./build/fuzz/fuzz/fuzz_read_formdata -artifact_prefix=build/fuzz/form- \
    -max_total_time="$form_seconds" -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 "$form_corpus" "$form_seeds"
