#!/usr/bin/env bash
# "Diagramm" on a log of 10,000 drills, timed from the X server's click to the last change of
# the screen it causes, in the real main window under Xvfb (xcb). See x_repaint.c.
#
# Usage: bash bench/diagram_x.sh [build-dir]   (default: build; RUNS=n sets the runs, 21)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-build}")
click="$build/bench/diagram_click"
runs=${RUNS:-21}
[[ -x $click ]] || { echo "missing $click: build diagram_click first" >&2; exit 1; }
for h in X11/extensions/XTest.h X11/extensions/Xdamage.h; do
    [[ -f /usr/include/$h ]] || { echo "missing $h (libxtst-dev, libxdamage-dev)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-diagram.XXXXXX")
xvfb_pid=""
serve_pid=""
source "$here/../tests/system/xserver.sh"
cleanup() {
    [[ -n $serve_pid ]] && kill "$serve_pid" 2>/dev/null
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

cc -O2 -o "$work/x_repaint" "$here/x_repaint.c" -lX11 -lXtst -lXdamage
start_xvfb || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=$xvfb_display

QT_QPA_PLATFORM=xcb "$click" serve >"$work/where" 2>"$work/serve.log" &
serve_pid=$!
for _ in {1..400}; do
    [[ -s $work/where ]] && break
    kill -0 "$serve_pid" 2>/dev/null || { cat "$work/serve.log" >&2; exit 1; }
    sleep 0.05
done
read -r back_x back_y diagram_x diagram_y <"$work/where"
"$work/x_repaint" "$runs" "$back_x" "$back_y" "$diagram_x" "$diagram_y"
