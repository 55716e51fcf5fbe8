#!/bin/sh
# tools/run.sh in the test prefix: it starts the monitor once, --explorer
# opens a page without ever replacing the running monitor (its process
# stays the same), and --status says whether the monitor runs and, when it
# does not, why.
#   run_script_test.sh SOURCE BUILD PREFIX
set -e
root=$1
export SENTREL_BUILD=$2
export WINEPREFIX=$3
DISPLAY=$(cat "$WINEPREFIX.display")
export DISPLAY
. "$root/tools/wine-env.sh"
fail() { echo "FAILED: $*"; exit 1; }
target="$WINEPREFIX/drive_c/Program Files/Sentrel"
# The test prefix keeps Wine's own fonts, which the other tests expect.
touch "$WINEPREFIX/sentrel-fonts.done"

"$root/tools/run.sh" >/tmp/run_script_test.$$ 2>&1 || { cat /tmp/run_script_test.$$; fail "run.sh"; }
status=$("$root/tools/run.sh" --status) || fail "the monitor does not run: $status"
monitor=$(echo "$status" | sed -n 's/.*(process \([0-9]*\)).*/\1/p')
[ -n "$monitor" ] || fail "no process in: $status"
installed=$(md5sum "$target/Sentrel.exe" | cut -d' ' -f1)

"$root/tools/run.sh" --explorer -SERVICE >/dev/null 2>&1 || fail "run.sh --explorer"
tries=0
until pgrep -f 'SentrelEx.exe' >/dev/null 2>&1 || [ $tries -ge 100 ]; do sleep 0.1; tries=$((tries + 1)); done
sleep 1
kill -0 "$monitor" 2>/dev/null || fail "the monitor (process $monitor) ended when the explorer was started"
status=$("$root/tools/run.sh" --status) || fail "the monitor does not run after --explorer: $status"
echo "$status" | grep -q "(process $monitor)" || fail "another monitor runs: $status"
[ "$(md5sum "$target/Sentrel.exe" | cut -d' ' -f1)" = "$installed" ] || fail "the running monitor's file was replaced"
"$root/tools/run.sh" >/dev/null 2>&1 || fail "a second run.sh"
status=$("$root/tools/run.sh" --status)
echo "$status" | grep -q "(process $monitor)" || fail "a second run.sh started another monitor: $status"

# End the programs started here (and only those), then ask again.
wine "$target/Sentrel.exe" -Q >/dev/null 2>&1 || true
for p in $(pgrep -f 'SentrelEx.exe'); do kill "$p" 2>/dev/null || true; done
tries=0
while kill -0 "$monitor" 2>/dev/null && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
if status=$("$root/tools/run.sh" --status); then fail "still running: $status"; fi
[ "$(echo "$status" | wc -l)" -ge 2 ] || fail "no reason given: $status"
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Sentrel /f >/dev/null 2>&1 || true
wine reg delete 'HKCU\Software\Orvendale' /f >/dev/null 2>&1 || true
wine reg delete 'HKLM\Software\Orvendale' /f >/dev/null 2>&1 || true
rm -rf "$target"
rm -f /tmp/run_script_test.$$
echo "run.sh: one monitor, never replaced; status with its reason"
