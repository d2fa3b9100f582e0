#!/usr/bin/env bash
# Builds everything and starts the launcher.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
if [ -x build/default/launcher/vorlanth ]; then
    exec build/default/launcher/vorlanth
fi
echo "The launcher is not built yet: the libraries and tools are in build/default."
