#!/bin/sh
# Installs what is missing, builds Sentrel and starts the monitor under
# Wine: on your display when DISPLAY is set, else on an Xvfb of its own.
# Sentrel's Windows lives in ~/.sentrel/wineprefix; the programs are
# installed to C:\Program Files\Sentrel there.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SENTREL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
. "$root/tools/wine-env.sh"

export WINEPREFIX=${WINEPREFIX:-$HOME/.sentrel/wineprefix}
if [ -z "$DISPLAY" ]; then
    start_xvfb
    export DISPLAY="$XVFB_DISPLAY"
    echo "run: no DISPLAY, Sentrel runs on Xvfb $DISPLAY (pid $XVFB_PID)"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "run: creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    prefix_settings "$WINEPREFIX"
fi
target="$WINEPREFIX/drive_c/Program Files/Sentrel"
mkdir -p "$target"
for f in "$build"/bin/Sentrel.exe "$build"/bin/SentrelEx.exe "$build"/bin/sentrelaux.dll; do
    [ -f "$f" ] && cp "$f" "$target/"
done
echo "run: starting Sentrel.exe (stop it with: WINEPREFIX=$WINEPREFIX wine '$target/Sentrel.exe' -Q)"
setsid wine "$target/Sentrel.exe" "$@" >/dev/null 2>&1 </dev/null &
