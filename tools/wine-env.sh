# Sourced: the Wine environment of the build tree (its own prefix, quiet, pinned locale),
# and a persistent wineserver that qv_wine_stop ends.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QV_BUILD_DIR:-$root/build}
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win32
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Wine processes that start together on a prefix without a server race to start one, and the
# losers fail ("chdir to" the server's folder): the server is started only under the prefix's lock.
#   qv_wine_start            a server that stays until qv_wine_stop; a timed one that the build
#                            left gives way to it (were it to end between two tests, the next
#                            test would start a server whose services hold ctest's pipes)
#   qv_wine_start <seconds>  a server that is up is kept, else one starts that ends by itself that
#                            long after its last process (the build's Wine steps, see wine-run.sh)
qv_wine_start() {
    qv_wine_locked qv_wine_up "$@"
}

# Runs a command while holding the prefix's lock (the lock file lies beside the prefix, which a
# clean build may remove); the command's own processes do not inherit the lock.
qv_wine_locked() {
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        "$@" 9>&-
    ) 9>"$WINEPREFIX.lock"
}

qv_wine_up() {
    if [ $# -gt 0 ]; then
        local status=0
        wineserver -p"$1" </dev/null >/dev/null 2>&1 || status=$?
        # 2: a server of this prefix is up already.
        if [ "$status" = 2 ]; then return 0; fi
    else
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1
    fi
    wine wineboot </dev/null >/dev/null 2>&1 || true
    # A crashing test must end, not wait in a crash dialog or a debugger.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f </dev/null >/dev/null 2>&1 || true
    # Xvfb has no window manager: a managed window would wait 2 s for one on every hide.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || true
    # The updater's window takes its font from its own resource file: the face that an
    # earlier set-up copied into the prefix's fonts folder must not stand in for it.
    rm -f "$WINEPREFIX/drive_c/windows/Fonts/LiberationSans-Regular.ttf"
    qv_wine_fonts
}

# Debian's Wine does not look for its own faces (fonts-wine) where that package puts them:
# without Marlett the title bar's buttons show as letters, so it goes into the prefix's fonts
# folder. No other face goes there: the window's text comes from its resource file.
qv_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" face=/usr/share/wine/fonts/marlett.ttf
    [ -d "$fonts" ] && [ -f "$face" ] || return 0
    [ -f "$fonts/marlett.ttf" ] || cp "$face" "$fonts/"
}

qv_wine_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
}

# The updater plays two sounds; ALSA's null device takes them when there is no sound card: HOME
# becomes <dir>, which holds the device's settings.
qv_null_sound_home() { # <dir>
    [ ! -e /dev/snd ] || return 0
    export XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}"
    export HOME="$1"
    mkdir -p "$HOME"
    printf 'pcm.!default { type null }\nctl.!default { type null }\n' >"$HOME/.asoundrc"
}

# Waits for a local server's "<pid> <port>" file and prints the port.
qv_wait_port_file() { # <file>
    local pid port
    for _ in $(seq 200); do [ -s "$1" ] && break; sleep 0.05; done
    read -r pid port <"$1"
    echo "$port"
}
