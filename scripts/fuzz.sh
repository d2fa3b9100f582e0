#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it for the given number of seconds (default 60),
# seeded with the standard PNG test images. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/install-deps.sh
cmake --preset fuzz
cmake --build --preset fuzz -j"$(nproc)" --target fuzz_read_png
corpus=build/fuzz/corpus
mkdir -p "$corpus"
seeds=()
if [ -d ../shared/pngsuite ]; then seeds+=(../shared/pngsuite); fi
if [ -d tests/data ]; then seeds+=(tests/data); fi
ASAN_OPTIONS=detect_leaks=1 ./build/fuzz/fuzz/fuzz_read_png -artifact_prefix=build/fuzz/ -max_total_time="$seconds" -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 "$corpus" "${seeds[@]}"
