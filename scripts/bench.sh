#!/usr/bin/env bash
# Builds the release preset and runs the benchmarks, which print time ratios against the peer libraries.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release -j"$(nproc)"
for b in build/release/bench/bench_*; do
    [ -x "$b" ] && "$b" "$@"
done
