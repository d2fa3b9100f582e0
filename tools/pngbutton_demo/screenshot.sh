#!/usr/bin/env bash
# Builds the PNG button demo, shows it on a virtual X display and saves its window as
# docs/pngbuttons.png (or the file given).
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-$PWD/docs/pngbuttons.png}"
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target pngbutton_demo

number=99
while [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ]; do number=$((number + 1)); done
Xvfb ":${number}" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${number}" ] && break
    sleep 0.1
done
DISPLAY=":${number}" build/default/tools/pngbutton_demo --screenshot "$out"
echo "saved $out"
