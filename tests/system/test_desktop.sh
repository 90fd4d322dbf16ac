#!/usr/bin/env bash
# The program's windows on desktops that are not the default, in a real X window
# (desktop_probe), measured from the pixels the X server shows:
# - under a desktop theme (qt6ct, as KDE Plasma does it) with a dark palette and a 16 pt
#   desktop font: every caption of the find, sort, correction, print-options and import
#   dialogs is whole; the coloured texts and the toolbar icons stand out from what is behind
#   them; the pages show no scroll bar at the designed size;
# - at QT_SCALE_FACTOR=2 on a 1280x900 screen, where the window is lower than designed: every
#   control of every page can be brought into view.
#
# Usage: test_desktop.sh <tafelix-executable> <program-folder> [<source-dir>]
# With TAFELIX_SHOTS naming a folder, the screenshots are kept there.
# Exit 77 (skipped) when Xvfb, qt6ct or the probe (TAFELIX_DESKTOP_PROBE) is missing.
set -euo pipefail

readonly QT6CT_PLUGIN=/usr/lib/x86_64-linux-gnu/qt6/plugins/platformthemes/libqt6ct.so
readonly DARKER=/usr/share/qt6ct/colors/darker.conf

# ---------------------------------------------------------------- inside the X server
inside() {
    local work=$1
    require_display
    [[ $(xdotool getdisplaygeometry) == "1280 900" ]] || { echo "FAIL: the screen is not 1280x900"; exit 1; }

    # probe NAME MODE [VAR=VALUE...]: one run of the probe with its own environment.
    probe() {
        local name=$1 mode=$2 rc=0
        shift 2
        env "$@" QT_QPA_PLATFORM=xcb TAFELIX_SHOTS="$work/shots" \
            timeout 120 "$TAFELIX_DESKTOP_PROBE" "$mode" >"$work/$name.log" 2>&1 || rc=$?
        cat "$work/$name.log"
        if ((rc != 0)); then
            display_lost "$work/$name.log" && exit "$XSERVER_UNUSABLE"
            echo "FAIL: $name (exit $rc)"
            return 1
        fi
    }

    local failed=0
    # A theme that replaces the program's font and palette, with a config of its own.
    probe theme look XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORMTHEME=qt6ct || failed=1
    probe small reach QT_SCALE_FACTOR=2 || failed=1
    exit "$failed"
}

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    inside "$2"
fi

# ---------------------------------------------------------------- set-up and clean-up
require_tools Xvfb xdotool
if [[ -z ${TAFELIX_DESKTOP_PROBE:-} || ! -x $TAFELIX_DESKTOP_PROBE ]]; then
    echo "SKIP: the probe is not built (TAFELIX_DESKTOP_PROBE)"
    exit 77
fi
if [[ ! -f $QT6CT_PLUGIN || ! -f $DARKER ]]; then
    echo "SKIP: qt6ct is not installed"
    exit 77
fi

xserver_test_setup desktop "$1" "$2" "theme.log, small.log, shots/"
mkdir -p "$work/shots" "$work/config/qt6ct" "$work/run"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
cat >"$work/config/qt6ct/qt6ct.conf" <<EOF
[Appearance]
color_scheme_path=$DARKER
custom_palette=true
style=Fusion

[Fonts]
fixed="DejaVu Sans Mono,16,-1,5,50,0,0,0,0,0"
general="DejaVu Sans,16,-1,5,50,0,0,0,0,0"
EOF
export XVFB_SCREEN=1280x900x24

rc=0
run_inside_xvfb "$0" || rc=$?
if [[ -n ${TAFELIX_SHOTS:-} ]]; then
    mkdir -p "$TAFELIX_SHOTS"
    cp "$work"/shots/*.png "$TAFELIX_SHOTS"/ 2>/dev/null || true
fi
exit "$rc"
