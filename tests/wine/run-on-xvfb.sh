#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual display of its own (Xvfb, 1024 x 768, 24 bits),
# with Tahoma in the prefix's fonts folder, and passes its exit code on.
#
#   tests/wine/run-on-xvfb.sh PROGRAM.exe [ARGUMENTS...]
set -uo pipefail
xvfb=$(command -v Xvfb) || { echo "$0: Xvfb is not installed" >&2; exit 1; }
wine=$(command -v wine || command -v wine64) || { echo "$0: wine is not installed" >&2; exit 1; }
prefix=${WINEPREFIX:-$HOME/.wine}
fonts=$prefix/drive_c/windows/Fonts
if [ -d "$fonts" ] && [ ! -e "$fonts/tahoma.ttf" ] && [ -e /usr/share/wine/fonts/tahoma.ttf ]; then
    cp /usr/share/wine/fonts/tahoma.ttf "$fonts/"
fi

number=90
while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
"$xvfb" ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done

# A Wine session started without a display would serve this one without it too: wait for it to end.
wineserver -w 2>/dev/null || true
DISPLAY=":$number" WINEDEBUG=${WINEDEBUG:--all} "$wine" "$@"
status=$?
wineserver -w 2>/dev/null || true
exit $status
