# Sourced: the Wine environment of the build tree (its own prefix, quiet, pinned locale),
# and a persistent wineserver that qv_wine_stop ends.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win32
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

qv_wine_start() {
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1 || true
    # A crashing test must end, not wait in a crash dialog or a debugger.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f </dev/null >/dev/null 2>&1 || true
    # Xvfb has no window manager: a managed window would wait 2 s for one on every hide.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || true
    qv_wine_fonts
}

# A fresh prefix's fonts folder has no Arial: the updater's window then takes the free face
# with Arial's metrics that set-up installed from Debian's packages. Debian's Wine does not look
# for its own faces (fonts-wine) where that package puts them: without Marlett the title bar's
# buttons show as letters, so it goes into the prefix's fonts folder too.
qv_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -d "$fonts" ] || return 0
    local face
    for face in /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf /usr/share/wine/fonts/marlett.ttf; do
        if [ -f "$face" ] && [ ! -f "$fonts/$(basename "$face")" ]; then
            cp "$face" "$fonts/"
        fi
    done
}

qv_wine_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
}
