# Shared Wine settings for running Sentrel's Windows programs. Sourced.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv=d;winemenubuilder.exe=d"
export WINEARCH=win64
# Debian's wine wrapper warns about a missing 32-bit part on every start.
export WINE_SILENCE_WARNINGS=1

# prefix_settings PREFIX: what makes Wine fit for unattended tests: no crash
# debugger (a crash ends at once instead of hanging), no window manager
# wait on every dialog close under Xvfb.
prefix_settings() {
    WINEPREFIX="$1" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1
    WINEPREFIX="$1" wine reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
}

# prefix_fonts PREFIX: glyphs for names in every script. Wine's dialog face
# (Tahoma) links to CJK fonts that Debian does not have, so the dialog faces
# become DejaVu Sans (Latin, Greek, Cyrillic), linked to WenQuanYi Micro Hei
# (Chinese, Japanese, Korean) and Symbola (symbols), as Windows links its
# own dialog face to the fonts of every script.
prefix_fonts() {
    for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
        WINEPREFIX="$1" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            /v "$face" /t REG_SZ /d 'DejaVu Sans' /f >/dev/null 2>&1
    done
    WINEPREFIX="$1" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v 'DejaVu Sans' /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei\0Symbola_hint.ttf,Symbola' \
        /f >/dev/null 2>&1
}

# start_xvfb: starts an X server on a free display; sets XVFB_PID, XVFB_DISPLAY.
start_xvfb() {
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 </dev/null &
    XVFB_PID=$!
    read -r number <"$fifo"
    rm -f "$fifo"
    XVFB_DISPLAY=":$number"
}
