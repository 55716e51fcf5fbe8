#!/bin/sh
# Installs what is missing, builds Sentrel's programs and starts the monitor
# under Wine: on your display when DISPLAY is set, else on an Xvfb of its own.
# Sentrel's Windows lives in ~/.sentrel/wineprefix (or $WINEPREFIX); the
# programs are installed to C:\Program Files\Sentrel there.
#
#   tools/run.sh [arguments for Sentrel.exe]   build, install and start the monitor
#   tools/run.sh --explorer [switch]           start SentrelEx.exe (e.g. -SERVICE)
#   tools/run.sh --status                      tell whether the monitor runs
#   tools/run.sh --screenshot FILE.png         picture of the display Sentrel runs on
#   tools/run.sh --stop                        end the monitor and what run.sh started
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SENTREL_BUILD:-$root/build}
. "$root/tools/wine-env.sh"
export WINEPREFIX=${WINEPREFIX:-$HOME/.sentrel/wineprefix}
state="$WINEPREFIX/sentrel-run.state"   # the display and the Xvfb run.sh started
target="$WINEPREFIX/drive_c/Program Files/Sentrel"

say() { echo "run: $*"; }

load_state() {
    RUN_DISPLAY="" RUN_XVFB_PID=""
    # shellcheck disable=SC1090
    [ -f "$state" ] && . "$state"
    return 0
}

# The process of this prefix whose program is $1 (Sentrel.exe or SentrelEx.exe).
program_pid() {
    for p in $(pgrep -f "$1" 2>/dev/null); do
        { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
        { tr '\0' '\n' <"/proc/$p/cmdline"; } 2>/dev/null | grep -qi "[\\/]$1\$" || continue
        echo "$p"
        return 0
    done
    return 1
}
monitor_pid() { program_pid 'Sentrel.exe'; }
explorer_pid() { program_pid 'SentrelEx.exe'; }

# Why the monitor does not run, when it can be told.
why_not_running() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        say "there is no Windows prefix at $WINEPREFIX yet: tools/run.sh creates it"
    elif [ ! -f "$target/Sentrel.exe" ]; then
        say "Sentrel is not installed in $target: tools/run.sh installs and starts it"
    elif [ -n "$RUN_XVFB_PID" ] && ! kill -0 "$RUN_XVFB_PID" 2>/dev/null; then
        say "the X server it ran on ($RUN_DISPLAY, pid $RUN_XVFB_PID) has ended, and the monitor with it"
    elif ! pgrep -f wineserver >/dev/null 2>&1; then
        say "no Wine program of the prefix runs: it was stopped (tools/run.sh --stop) or has ended"
    else
        say "it has ended or was asked to exit (its record of events: $target/history.txt)"
    fi
}

case "$1" in
--stop)
    load_state
    if [ -f "$WINEPREFIX/system.reg" ]; then
        # Ends the monitor, the explorer and every other Wine process of this prefix.
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
        say "Sentrel stopped"
    fi
    if [ -n "$RUN_XVFB_PID" ] && kill -0 "$RUN_XVFB_PID" 2>/dev/null; then
        kill "$RUN_XVFB_PID"
        say "stopped the Xvfb on $RUN_DISPLAY (pid $RUN_XVFB_PID)"
    fi
    rm -f "$state"
    exit 0
    ;;
--status)
    load_state
    if pid=$(monitor_pid); then
        say "the monitor runs (process $pid)${RUN_DISPLAY:+ on display $RUN_DISPLAY}"
        exit 0
    fi
    say "the monitor does not run"
    why_not_running
    exit 1
    ;;
--screenshot)
    [ -n "$2" ] || { echo "usage: tools/run.sh --screenshot FILE.png" >&2; exit 2; }
    load_state
    display=${RUN_DISPLAY:-$DISPLAY}
    [ -n "$display" ] || { say "no display known: start Sentrel with tools/run.sh first" >&2; exit 1; }
    xwd -root -display "$display" -silent | convert xwd:- "$2"
    say "wrote $2 (display $display)"
    exit 0
    ;;
esac

say "checking the packages Sentrel needs (installed on the first run, a few minutes)"
"$root/tools/install-deps.sh"
say "building Sentrel.exe, SentrelEx.exe and sentrelaux.dll in $build"
"$root/tools/build.sh" Sentrel SentrelEx sentrelaux

load_state
if [ -n "$RUN_DISPLAY" ] && [ -n "$RUN_XVFB_PID" ] && kill -0 "$RUN_XVFB_PID" 2>/dev/null; then
    export DISPLAY="$RUN_DISPLAY"
elif [ -z "$DISPLAY" ]; then
    start_xvfb
    export DISPLAY="$XVFB_DISPLAY"
    mkdir -p "$WINEPREFIX"
    printf 'RUN_DISPLAY=%s\nRUN_XVFB_PID=%s\n' "$DISPLAY" "$XVFB_PID" >"$state"
    RUN_DISPLAY="$DISPLAY"
    say "no DISPLAY: Sentrel runs on Xvfb $DISPLAY (pid $XVFB_PID)"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Windows prefix $WINEPREFIX (about a minute)"
    mkdir -p "$WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
    prefix_settings "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/sentrel-fonts.done" ]; then
    prefix_fonts "$WINEPREFIX"
    touch "$WINEPREFIX/sentrel-fonts.done"
fi
mkdir -p "$target"
# A program that runs is never replaced under it: the new build waits beside
# it until Sentrel is stopped and started again.
if monitor_pid >/dev/null || explorer_pid >/dev/null; then
    changed=""
    for f in "$build"/bin/Sentrel.exe "$build"/bin/SentrelEx.exe "$build"/bin/sentrelaux.dll; do
        cmp -s "$f" "$target/$(basename "$f")" || changed="$changed $(basename "$f")"
    done
    if [ -n "$changed" ]; then
        mkdir -p "$target/update"
        for f in "$build"/bin/Sentrel.exe "$build"/bin/SentrelEx.exe "$build"/bin/sentrelaux.dll; do
            cp "$f" "$target/update/"
        done
        say "Sentrel runs: the new build of$changed waits in $target/update;"
        say "tools/run.sh --stop and then tools/run.sh put it in place"
    fi
else
    for f in "$build"/bin/Sentrel.exe "$build"/bin/SentrelEx.exe "$build"/bin/sentrelaux.dll; do
        cp "$f" "$target/"
    done
    rm -rf "$target/update"
fi

if [ "$1" = "--explorer" ]; then
    shift
    if pid=$(explorer_pid); then
        say "the explorer runs (process $pid): it is handed the page${*:+ $*}"
    else
        say "starting SentrelEx.exe${*:+ $*}"
    fi
    setsid wine "$target/SentrelEx.exe" "$@" >/dev/null 2>&1 </dev/null &
    exit 0
fi
if pid=$(monitor_pid); then
    say "the monitor runs already (process $pid)"
    say "history: $target/history.txt"
    exit 0
fi
say "starting Sentrel.exe${*:+ $*} from $target"
setsid wine "$target/Sentrel.exe" "$@" >/dev/null 2>&1 </dev/null &
for _ in $(seq 1 50); do
    monitor_pid >/dev/null && break
    sleep 0.2
done
if monitor_pid >/dev/null; then
    say "the monitor runs; its icon is in the notification area${RUN_DISPLAY:+ of $DISPLAY}"
else
    say "the monitor did not start (is one running already? try tools/run.sh --status)"
fi
say "history: $target/history.txt"
say "see its windows: tools/run.sh --screenshot shot.png; stop it: tools/run.sh --stop"
