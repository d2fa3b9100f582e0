#!/usr/bin/env bash
# Builds and starts the launcher. Without a display it starts it on a virtual X display (Xvfb),
# saves a screenshot (to $VORLANTH_SCREENSHOT, default build/launcher-screenshot.png), and ends it.
#   launcher.sh             the Linux launcher
#   launcher.sh --windows   vorlanth.exe, cross-built, under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
windows=
[ "${1:-}" = --windows ] && windows=windows
bash scripts/install-deps.sh $windows
cmake --preset default >/dev/null
if [ -n "$windows" ]; then
    export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all
    cmake --build --preset default -j"$(nproc)" --target screenshot
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j"$(nproc)" --target vorlanth
    launcher=("$(command -v wine || command -v wine64)" build/windows/launcher/vorlanth.exe)
else
    cmake --build --preset default -j"$(nproc)" --target vorlanth screenshot
    launcher=(build/default/launcher/vorlanth)
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "${launcher[@]}"
fi

shot="${VORLANTH_SCREENSHOT:-$PWD/build/launcher-screenshot.png}"
number=99
while [ -e "/tmp/.X${number}-lock" ] || [ -e "/tmp/.X11-unix/X${number}" ]; do number=$((number + 1)); done
Xvfb ":${number}" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
launched=
cleanup() {
    [ -n "$launched" ] && kill "$launched" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X${number}" ] && break
    sleep 0.1
done
export DISPLAY=":${number}"
"${launcher[@]}" &
launched=$!
build/default/tools/screenshot "$shot" Vorlanth 60
[ -z "$windows" ] || wineserver -k 2>/dev/null || true
echo "No display: the launcher ran on the virtual display $DISPLAY; screenshot saved to $shot"
