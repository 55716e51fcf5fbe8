#!/bin/sh
# SentrelSetup.exe in the test prefix: a silent install to a folder whose
# name has a blank puts the programs, the uninstaller, its registration and
# the monitor's start with Windows in place; the monitor is started from
# there; the silent uninstall ends it, takes away what was installed and
# leaves the user's own startup entries, a look-alike "Sentrel" entry,
# Sentrel's settings and the files the user keeps in the folder alone, and
# puts back, byte for byte, an entry the user had disabled.
#   installer_test.sh SOURCE SETUP PREFIX TOGGLE
# TOGGLE disables a Run value as the explorer's Disable button does.
# The programs beside SETUP are the ones it must have installed.
set -e
root=$1
setup=$2
export WINEPREFIX="$3"
toggle=$4
[ -f "$setup" ] || { echo "FAILED: no setup program at $setup"; exit 1; }
DISPLAY=$(cat "$WINEPREFIX.display")
export DISPLAY
. "$root/tools/wine-env.sh"
bin=$(cd "$(dirname "$setup")" && pwd)

target='C:\Program Files\Sentrel Test'
dir="$WINEPREFIX/drive_c/Program Files/Sentrel Test"
data="$WINEPREFIX/drive_c/ProgramData/Sentrel"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Sentrel.lnk"
user_run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
machine_run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel'
work=$(mktemp -d /tmp/installer_test.XXXXXX)
[ -d "$data" ] && had_data=1 || had_data=0

# The Wine process of this prefix whose command line contains $1 (any case).
prefix_pid() {
    for p in $(pgrep -f -i "$1" 2>/dev/null); do
        { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
        echo "$p"
        return 0
    done
    return 1
}
monitor_pid() { prefix_pid 'Sentrel Test\\Sentrel\.exe'; }

cleanup() {
    # What this test started and may have left running: the monitor, the
    # explorer and the uninstaller's copy of itself.
    for pattern in 'Sentrel Test\\Sentrel\.exe' 'Sentrel Test\\SentrelEx\.exe' '_[?]=C:\\Program Files\\Sentrel Test'; do
        while p=$(prefix_pid "$pattern"); do kill "$p" 2>/dev/null || break; sleep 0.1; done
    done
    wine reg delete "$user_run" /v 'Quillon Tray' /f >/dev/null 2>&1 || true
    wine reg delete "$user_run" /v 'Quillon Updater' /f >/dev/null 2>&1 || true
    wine reg delete "$user_run" /v Sentrel /f >/dev/null 2>&1 || true
    wine reg delete "$machine_run" /v Sentrel /f >/dev/null 2>&1 || true
    wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
    wine reg delete 'HKCU\Software\Orvendale' /f >/dev/null 2>&1 || true
    wine reg delete 'HKLM\Software\Orvendale' /f >/dev/null 2>&1 || true
    rm -rf "$dir" "$shortcut" "$work"
    [ "$had_data" = 1 ] || rm -rf "$data"
    # The uninstaller's copy of itself, left for the next restart.
    rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/~nsu*.tmp
}
trap cleanup EXIT
fail() {
    printf 'FAILED: %s\n' "$*"
    exit 1
}

# reg_file FILE LINE...: a registry export as reg export writes it (UTF-16
# with its byte order mark, CRLF lines).
reg_file() {
    file=$1
    shift
    { printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      for line in "$@"; do printf '%s\r\n' "$line"; done
      printf '\r\n'; } | iconv -f UTF-8 -t UTF-16LE >"$file.utf8"
    { printf '\377\376'; cat "$file.utf8"; } >"$file"
    rm -f "$file.utf8"
}
export_key() { wine reg export "$1" "$2" /y >/dev/null 2>&1 || fail "reg export $1"; }

# A clean start: no monitor registration or store left by another test
# (the store's Version value tells below that the started monitor is up).
wine reg delete "$machine_run" /v Sentrel /f >/dev/null 2>&1 || true
# Windows always has the machine's Run key; a test before may have taken it.
wine reg add "$machine_run" /f >/dev/null 2>&1 || fail "making the machine's Run key"
wine reg delete 'HKCU\Software\Orvendale' /f >/dev/null 2>&1 || true
wine reg delete 'HKLM\Software\Orvendale' /f >/dev/null 2>&1 || true
rm -rf "$dir"

# The user's own entries: one Sentrel never touches, and one named like the
# monitor's registration that starts another program.
wine reg add "$user_run" /v 'Quillon Tray' /t REG_SZ /d '"C:\Quillon\tray.exe" /min' /f >/dev/null 2>&1 ||
    fail "planting Quillon Tray"
wine reg add "$user_run" /v Sentrel /t REG_SZ /d 'C:\evil\NotSentrel.exe' /f >/dev/null 2>&1 ||
    fail "planting the look-alike"
wine reg add "$user_run" /v 'Quillon Updater' /t REG_EXPAND_SZ /d '"%ProgramFiles%\Quillon\upd.exe" -q' /f \
    >/dev/null 2>&1 || fail "planting Quillon Updater"
export_key "$user_run" "$work/user-run-before.reg"
export_key "$machine_run" "$work/machine-run-before.reg"

# Silent install. NSIS takes /D= unquoted and last; Wine quotes an argument
# that has a blank, so the folder goes as words that Wine joins with blanks.
wine "$setup" /S '/D=C:\Program' 'Files\Sentrel' 'Test' >"$work/setup.out" 2>&1 ||
    { cat "$work/setup.out"; fail "SentrelSetup.exe /S ended with an error"; }
for f in Sentrel.exe SentrelEx.exe sentrelaux.dll; do
    [ -f "$dir/$f" ] || fail "$f was not installed in $dir"
    cmp -s "$bin/$f" "$dir/$f" || fail "the installed $f differs from $bin/$f"
done
[ -f "$dir/Uninstall.exe" ] || fail "no Uninstall.exe in $dir"
[ -f "$shortcut" ] || fail "no Start menu shortcut"
[ -d "$data" ] || fail "no data folder $data"

# The uninstall registration, byte for byte; its size is that of the files
# installed, in KB.
bytes=$(cat "$dir/Sentrel.exe" "$dir/SentrelEx.exe" "$dir/sentrelaux.dll" "$dir/Uninstall.exe" | wc -c)
size=$(printf '%08x' $((bytes / 1024)))
[ "$size" != 00000000 ] || fail "no size"
reg_file "$work/uninstall-expected.reg" \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel]' \
    '"DisplayIcon"="C:\\Program Files\\Sentrel Test\\Sentrel.exe"' \
    '"DisplayName"="Sentrel"' \
    '"DisplayVersion"="12.5.2007.0"' \
    "\"EstimatedSize\"=dword:$size" \
    '"InstallLocation"="C:\\Program Files\\Sentrel Test"' \
    '"NoModify"=dword:00000001' \
    '"NoRepair"=dword:00000001' \
    '"Publisher"="Orvendale"' \
    '"QuietUninstallString"="\"C:\\Program Files\\Sentrel Test\\Uninstall.exe\" /S"' \
    '"UninstallString"="\"C:\\Program Files\\Sentrel Test\\Uninstall.exe\""'
export_key "$uninstall_key" "$work/uninstall.reg"
cmp -s "$work/uninstall-expected.reg" "$work/uninstall.reg" ||
    fail "the uninstall registration: $(iconv -f UTF-16 -t UTF-8 "$work/uninstall.reg")"

# The monitor's start with Windows, as the monitor itself writes it.
wine reg query "$machine_run" /v Sentrel 2>/dev/null | tr -d '\r' >"$work/run.txt" || true
grep -qFx "    Sentrel    REG_SZ    $target\\sentrel.exe -expressboot" "$work/run.txt" ||
    fail "HKLM Run Sentrel: $(cat "$work/run.txt")"

# A file of the user's beside the programs (a saved report) stays.
printf 'report of the user\r\n' >"$work/report.html"
cp "$work/report.html" "$dir/SentrelLog.html"

# The installed monitor, started as Windows starts it, up once its store is.
setsid wine "$target\\Sentrel.exe" >/dev/null 2>&1 </dev/null &
tries=0
until wine reg query 'HKCU\Software\Orvendale\Sentrel' /v Version >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || fail "the installed monitor did not start"
    sleep 0.2
done
monitor=$(monitor_pid) || fail "no monitor process"

# The user disables an entry: it leaves the Run key, kept in Sentrel's store.
wine "$toggle" 'Quillon Updater' >/dev/null 2>&1 || fail "disabling Quillon Updater"
wine reg query "$user_run" /v 'Quillon Updater' >/dev/null 2>&1 && fail "Quillon Updater was not disabled"

# Silent uninstall: the uninstaller runs a copy of itself and ends at once;
# the copy removes its registration last.
wine "$target\\Uninstall.exe" /S >"$work/uninstall.out" 2>&1 ||
    { cat "$work/uninstall.out"; fail "Uninstall.exe /S ended with an error"; }
tries=0
while wine reg query "$uninstall_key" >/dev/null 2>&1 || prefix_pid '_[?]=C:\\Program Files\\Sentrel Test' >/dev/null; do
    tries=$((tries + 1))
    [ $tries -lt 150 ] || fail "the uninstaller did not finish in 30 s; still running:
$(for p in $(pgrep -f -i 'Sentrel Test'); do tr '\0' ' ' <"/proc/$p/cmdline"; echo; done)"
    sleep 0.2
done

tries=0
while kill -0 "$monitor" 2>/dev/null && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
monitor_pid >/dev/null && fail "the monitor still runs after the uninstall"
for f in Sentrel.exe SentrelEx.exe sentrelaux.dll Uninstall.exe; do
    [ ! -e "$dir/$f" ] || fail "$f is left in $dir"
done
[ ! -e "$shortcut" ] || fail "the Start menu shortcut is left"
cmp -s "$work/report.html" "$dir/SentrelLog.html" || fail "the user's report in the program folder was not kept"
export_key "$machine_run" "$work/machine-run-after.reg"
cmp -s "$work/machine-run-before.reg" "$work/machine-run-after.reg" ||
    fail "HKLM Run after the uninstall: $(iconv -f UTF-16 -t UTF-8 "$work/machine-run-after.reg")"
export_key "$user_run" "$work/user-run-after.reg"
cmp -s "$work/user-run-before.reg" "$work/user-run-after.reg" ||
    fail "the user's Run entries (the disabled one put back) differ: $(iconv -f UTF-16 -t UTF-8 "$work/user-run-after.reg")"
# Unasked (silent), settings and the data folder stay.
wine reg query 'HKCU\Software\Orvendale\Sentrel' /v Version >/dev/null 2>&1 ||
    fail "the silent uninstall removed Sentrel's settings"
[ -d "$data" ] || fail "the silent uninstall removed $data"

echo "installer: silent install to a folder with a blank, monitor started, silent uninstall puts the disabled entry back and keeps the user's entries and files"
