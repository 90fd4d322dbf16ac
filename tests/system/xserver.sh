# Sourced by the real-window tests. They run their part inside the X server as
# `"$0" --inside "$work"` and keep the program's pid in "$work/program.pid". The inside part
# exits with XSERVER_UNUSABLE when the display it was given cannot be used (it does not
# answer, or the program cannot connect to it): that is no test result, and another X server
# is tried. Needs `work` and `xvfb_pid` set by the caller.
# shellcheck shell=bash

readonly XSERVER_UNUSABLE=3

# Whether the program's log (in $1) says it could not reach its display.
display_lost() {
    grep -q "could not connect to display" "$1" 2>/dev/null
}

# Ends the program and the X server (started in a session of its own).
stop_xvfb() {
    if [[ -f $work/program.pid ]]; then
        kill "$(cat "$work/program.pid")" 2>/dev/null || true
        rm -f "$work/program.pid"
    fi
    if [[ -n $xvfb_pid ]]; then
        kill -- "-$xvfb_pid" 2>/dev/null || true
        for _ in {1..50}; do
            kill -0 -- "-$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    fi
}

# Starts an X server in a session of its own (pid in `xvfb_pid`, display ":N" in
# `xvfb_display`) with the screen `XVFB_SCREEN` (1024x768x24 unless set); fails when it does
# not come up. The server picks a free display number itself and names it on a file
# descriptor (-displayfd): tests that start servers at the same time cannot take the same
# number, as they could when each chose one and then started a server.
start_xvfb() {
    rm -f "$work/display"
    exec 3>"$work/display"
    setsid Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in {1..200}; do
        [[ -s $work/display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    [[ -s $work/display ]] || return 1
    xvfb_display=":$(head -n 1 "$work/display")"
}

# Runs the inside part under a fresh X server and returns its status.
run_inside_xvfb() {
    local script=$1 rc=1
    for attempt in 1 2 3; do
        rc=$XSERVER_UNUSABLE
        if start_xvfb; then
            rc=0
            DISPLAY=$xvfb_display bash "$script" --inside "$work" || rc=$?
        fi
        stop_xvfb
        ((rc == XSERVER_UNUSABLE)) || break
        echo "the X server could not be used (attempt $attempt)" >&2
        cat "$work/xvfb.log" >&2 || true
    done
    return "$rc"
}
