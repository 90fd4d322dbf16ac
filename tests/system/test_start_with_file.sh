#!/usr/bin/env bash
# The real program in a real X window, started with a vocabulary file as its argument:
# the window "Tafelix" appears without any message box, the normalized backup stands beside
# the file, and "Datei" → "Beenden" ends the program cleanly.
#
# Usage: test_start_with_file.sh <tafelix-executable> <program-folder> [<source-dir>]
# Exit 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

# ---------------------------------------------------------------- inside the X server
inside() {
    local work=$1
    local exe="$work/Tafelix/tafelix"
    local list="$work/Meine Listen/Übung 1.vkb"
    local pid=""

    fail() {
        echo "FAIL: $*" >&2
        report_program_failure
        exit 1
    }
    require_display

    QT_QPA_PLATFORM=xcb "$exe" "$list" >"$work/program.log" 2>&1 &
    pid=$!
    echo "$pid" >"$work/program.pid"

    # Wait (bounded) for the main window to be mapped; a message box instead is a failure.
    local wid="" deadline=$((SECONDS + 20))
    while [[ -z $wid ]]; do
        kill -0 "$pid" 2>/dev/null || { pid=""; fail "the program ended before its window appeared"; }
        if xdotool search --onlyvisible --name "$BOX_TITLES" >/dev/null 2>&1; then
            fail "a message box appeared at start-up"
        fi
        wid=$(xdotool search --onlyvisible --name '^Tafelix$' 2>/dev/null | head -n 1) || true
        if [[ -z $wid ]]; then
            ((SECONDS < deadline)) || fail "no window 'Tafelix' within 20 s"
            sleep 0.05
        fi
    done
    echo "window 'Tafelix' mapped: $wid"

    # The window carries the program's icon for task bars and docks, in the sizes they use.
    local sizes
    sizes=$(xprop -id "$wid" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr -dc '0-9x\n' || true)
    [[ $sizes == $'16x16\n32x32\n48x48\n64x64' ]] ||
        fail "the window icon has the sizes '${sizes//$'\n'/ }', not 16, 32, 48 and 64"

    # The backup is written once the window has painted itself (bounded wait); the atomic
    # writer makes it appear whole or not at all.
    local bkp="$work/Meine Listen/Übung 1.bkp"
    deadline=$((SECONDS + 10))
    until [[ -f $bkp ]] || ((SECONDS >= deadline)); do
        kill -0 "$pid" 2>/dev/null || { pid=""; fail "the program ended before the .bkp"; }
        sleep 0.05
    done
    [[ -f $bkp ]] || fail "no .bkp beside the file"
    cmp "$work/expected.bkp" "$work/Meine Listen/Übung 1.bkp" ||
        fail "the .bkp is not the normalized file (see $work)"
    cmp "$work/original.vkb" "$list" || fail "loading changed the file itself"

    # Let the window paint before the picture is taken.
    sleep 0.5
    /usr/bin/import -window root "$work/screenshot.png"
    if xdotool search --onlyvisible --name "$BOX_TITLES" >/dev/null 2>&1; then
        fail "a message box appeared after start-up"
    fi

    # "Datei" sits at the left end of the menu bar; the window has no frame without a
    # window manager, so window coordinates are the client's own.
    xdotool mousemove --window "$wid" 22 8 click 1
    deadline=$((SECONDS + 5))
    until (($(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l) > 1)); do
        ((SECONDS < deadline)) || fail "the menu 'Datei' did not open"
        sleep 0.05
    done
    # "Beenden" is the last item: Up from a menu without a current item goes there.
    xdotool key Up Return

    deadline=$((SECONDS + 10))
    while kill -0 "$pid" 2>/dev/null; do
        ((SECONDS < deadline)) || fail "'Beenden' did not end the program within 10 s"
        sleep 0.05
    done
    local rc=0
    wait "$pid" || rc=$?
    pid=""
    ((rc == 0)) || fail "the program ended with exit code $rc"
    # Start-up work on a second thread must leave the program's own thread Qt's main thread.
    if grep -q "not created in the main() thread" "$work/program.log"; then
        fail "Qt took a helper thread for the main thread"
    fi
    echo "program ended cleanly"
}

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    inside "$2"
    exit 0
fi

# ---------------------------------------------------------------- set-up and clean-up
require_tools Xvfb xdotool
xserver_test_setup start "$1" "$2" "screenshot.png, program.log"
mkdir "$work/Meine Listen"

# Leading zeros and a Windows-1252 umlaut; the backup holds the numbers in plain form and
# every text byte unchanged.
crlf() { printf '%s\r\n' "$@"; }
{
    crlf "VKB Vokabeldatei" "007" "0" "Haus" "house" "" ""
    crlf "2" "03" $'T\xfcr' "door" "Pforte" $'Plural: T\xfcren'
} >"$work/original.vkb"
{
    crlf "VKB Vokabeldatei" "7" "0" "Haus" "house" "" ""
    crlf "2" "3" $'T\xfcr' "door" "Pforte" $'Plural: T\xfcren'
} >"$work/expected.bkp"
cp "$work/original.vkb" "$work/Meine Listen/Übung 1.vkb"

rc=0
run_inside_xvfb "$0" || rc=$?
exit "$rc"
