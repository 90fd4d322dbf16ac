#!/usr/bin/env bash
# The real program in a real X window, as a screen reader and a small screen meet it:
# - on a 1280x900 screen the window keeps its 540 x 480 and sits in the middle; with
#   QT_SCALE_FACTOR=2 it lies wholly inside the screen, title and status bar included, also
#   with a window manager's frame (openbox, when installed); Ctrl+Q from the real keyboard
#   ends it;
# - over AT-SPI every input carries the name of its visible caption, the special characters
#   grid shows its cells by their characters, the status bar names the whole path, the
#   speech row's language box is named by its caption, and the help and special characters
#   windows are windows with their titles (accessible_names.py).
#
# Usage: test_accessibility.sh <tafelix-executable> <program-folder> [<source-dir>]
# Exit 77 (skipped) when Xvfb, xdotool, xwininfo, dbus-run-session or pyatspi is missing.
set -euo pipefail

readonly PYTHON=/usr/bin/python3

# ---------------------------------------------------------------- inside the X server
inside() {
    local work=$1
    local exe="$work/Tafelix/tafelix"
    local pid=""

    fail() {
        echo "FAIL: $*" >&2
        /usr/bin/import -window root "$work/screenshot.png" 2>/dev/null || true
        if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
        echo "--- program output" >&2
        cat "$work/program.log" >&2 || true
        display_lost "$work/program.log" && exit "$XSERVER_UNUSABLE"
        exit 1
    }

    xdotool getdisplaygeometry >/dev/null 2>&1 || exit "$XSERVER_UNUSABLE"
    [[ $(xdotool getdisplaygeometry) == "1280 900" ]] || fail "the screen is not 1280x900"

    # The window 'Tafelix' of the program started last (bounded wait).
    window_of() {
        local wid="" deadline=$((SECONDS + 20))
        while [[ -z $wid ]]; do
            kill -0 "$pid" 2>/dev/null || { pid=""; fail "the program ended before its window appeared"; }
            wid=$(xdotool search --onlyvisible --pid "$pid" --name '^Tafelix$' 2>/dev/null | head -n 1) || true
            if [[ -z $wid ]]; then
                ((SECONDS < deadline)) || fail "no window 'Tafelix' within 20 s"
                sleep 0.05
            fi
        done
        echo "$wid"
    }

    # "x y width height" of a window on the screen, and of its frame when a window manager
    # has put one around it (the frame's sizes as the window manager announces them).
    geometry_of() {
        xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
            /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
    }
    frame_of() {
        local x y w h l=0 r=0 t=0 b=0 extents
        read -r x y w h <<<"$(geometry_of "$1")"
        extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -o '[0-9]*, [0-9]*, [0-9]*, [0-9]*$' | tr -d ',') || true
        [[ -n $extents ]] && read -r l r t b <<<"$extents"
        echo $((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))
    }

    # Ctrl+Q typed on the real keyboard into the window ends the program.
    quit_by_keyboard() {
        local wid=$1 x y w h
        read -r x y w h <<<"$(geometry_of "$wid")"
        # Without a window manager nothing gives the window the keyboard: the test does.
        xdotool mousemove $((x + w / 2)) $((y + h / 2))
        xdotool windowfocus --sync "$wid"
        xdotool key ctrl+q
        local deadline=$((SECONDS + 10))
        while kill -0 "$pid" 2>/dev/null; do
            ((SECONDS < deadline)) || fail "Ctrl+Q did not end the program within 10 s"
            sleep 0.05
        done
        wait "$pid" || fail "the program ended with an error after Ctrl+Q"
        pid=""
    }

    # The window's place at both scales; `$1` says whether a window manager frames it.
    check_placement() {
        local framed=$1 wid x y w h fx fy fw fh
        for scale in 1 2; do
            QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$exe" >"$work/program.log" 2>&1 &
            pid=$!
            echo "$pid" >"$work/program.pid"
            wid=$(window_of)
            # Let the window settle where it was put (and framed) before it is measured.
            sleep 1
            read -r x y w h <<<"$(geometry_of "$wid")"
            read -r fx fy fw fh <<<"$(frame_of "$wid")"
            echo "$framed, QT_SCALE_FACTOR=$scale: window at $x,$y, $w x $h pixels; frame at $fx,$fy, $fw x $fh"
            ((fx >= 0 && fy >= 0 && fx + fw <= 1280 && fy + fh <= 900)) ||
                fail "$framed, QT_SCALE_FACTOR=$scale: the window ($fx,$fy $fw x $fh) is not inside the 1280x900 screen"
            if ((scale == 1)); then
                ((w == 540 && h == 480)) || fail "$framed: the window is $w x $h, not 540 x 480"
                [[ $framed == framed ]] || ((x == 370 && y == 210)) ||
                    fail "the window is at $x,$y, not centred at 370,210"
            else
                ((w == 1080)) || fail "$framed, QT_SCALE_FACTOR=2: the window is $w wide, not 1080"
            fi
            quit_by_keyboard "$wid"
        done
    }

    check_placement unframed
    # With a window manager the title bar counts too (skipped where none is installed).
    if command -v openbox >/dev/null; then
        HOME="$work/home" openbox >"$work/wm.log" 2>&1 &
        local wm=$!
        local deadline=$((SECONDS + 10))
        until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
            ((SECONDS < deadline)) || fail "openbox did not start"
            sleep 0.05
        done
        check_placement framed
        kill "$wm"
        wait "$wm" 2>/dev/null || true
    else
        echo "openbox is not installed: the framed placement is not checked"
    fi

    # The accessibility tree, read over a bus of this test's own.
    dbus-run-session -- bash "$0" --atspi "$work" || fail "the accessibility tree check failed"
}

# ---------------------------------------------------------------- inside the session bus
atspi() {
    local work=$1
    local list="$work/Meine Listen mit einem recht langen Namen/Englisch Lektion 12 Verben.vkb"
    # A desktop without a viewer for the help page: "Hilfe" opens the program's own window.
    mkdir -p "$work/bin"
    printf '#!/bin/sh\nexit 3\n' >"$work/bin/xdg-open"
    chmod +x "$work/bin/xdg-open"
    PATH="$work/bin:$PATH" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
        "$work/Tafelix/tafelix" "$list" >"$work/program.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$work/program.pid"
    local rc=0
    timeout 120 "$PYTHON" "$work/accessible_names.py" "$list" || rc=$?
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    rm -f "$work/program.pid"
    if ((rc != 0)); then
        /usr/bin/import -window root "$work/screenshot.png" 2>/dev/null || true
        cat "$work/program.log" >&2 || true
    fi
    return "$rc"
}

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    inside "$2"
    exit 0
fi
if [[ ${1:-} == --atspi ]]; then
    atspi "$2"
    exit
fi

# ---------------------------------------------------------------- set-up and clean-up
require_tools Xvfb xdotool xwininfo dbus-run-session
if ! "$PYTHON" -c 'import pyatspi' 2>/dev/null; then
    echo "SKIP: pyatspi (python3-pyatspi) is not installed"
    exit 77
fi

here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
xserver_test_setup a11y "$1" "$2" "screenshot.png, program.log"
cp "$here/accessible_names.py" "$work/"
list_dir="$work/Meine Listen mit einem recht langen Namen"
mkdir "$list_dir"
printf '%s\r\n' "VKB Vokabeldatei" 1 0 Haus house "" "" 1 0 Baum tree "" "" \
    >"$list_dir/Englisch Lektion 12 Verben.vkb"

# Each run has its own accessibility bus: tests run side by side would otherwise share one
# under the same user's runtime folder.
mkdir -m 700 "$work/run" "$work/home"
export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
export XVFB_SCREEN=1280x900x24

rc=0
run_inside_xvfb "$0" || rc=$?
exit "$rc"
