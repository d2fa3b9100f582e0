#!/usr/bin/env bash
# Builds everything with a preset (default: the default preset, warnings as errors) and runs every
# test. scripts/test.sh zlib does the same with image data compressed and decompressed by zlib alone.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset" -j"$(nproc)"
