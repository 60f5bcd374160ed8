# shellcheck shell=bash
# Shared Wine set-up for the scripts and for CTest's emulator: source it, then
# call wine_use_prefix PREFIX [headless|x11]. Wine's helper processes outlive
# the command that started them and keep its standard streams open, so every
# wine command here writes to a file or to /dev/null, never to a pipe.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

wine_use_prefix() {
    export WINEPREFIX=$1
    [ "${2:-headless}" != headless ] || unset DISPLAY WAYLAND_DISPLAY
    mkdir -p "$(dirname "$1")"
    (
        flock 9
        [ ! -f "$1/.orvel-ready" ] || exit 0
        # Marked ready only once every step has succeeded, so that the next command does a failed set-up again.
        wineboot -i >/dev/null 2>&1 || { echo "wine.sh: wineboot -i failed; $1 is not marked ready" >&2; exit 1; }
        wineserver -w
        # Without a display, DXGI works through wined3d's no3d renderer only.
        if [ "${2:-headless}" = headless ] &&
            ! wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ /d no3d /f >/dev/null 2>&1; then
            echo "wine.sh: wine reg add of the no3d renderer failed; $1 is not marked ready" >&2; exit 1
        fi
        wineserver -w && touch "$1/.orvel-ready"
    ) 9>"$1.lock" || return 1
    # One persistent server for the session, gone after ten idle minutes (fails when one already runs).
    wineserver -p600 >/dev/null 2>&1 </dev/null || true
}

# Runs a Windows program and passes its output on only after it has ended.
wine_run() {
    local out rc=0
    out=$(mktemp)
    wine "$@" >"$out" 2>&1 </dev/null || rc=$?
    cat "$out" && rm -f "$out"
    return $rc
}
