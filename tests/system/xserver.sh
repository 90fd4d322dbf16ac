# Sourced by the real-window tests. They run their part inside the X server as
# `"$0" --inside "$work"`, which marks "$work/started" once the display answers, and keep the
# program's pid in "$work/program.pid". Needs `work` and `xvfb_pid` set by the caller.
# shellcheck shell=bash

# Ends the program and the X server (xvfb-run runs in its own process group).
stop_xvfb() {
    if [[ -f $work/program.pid ]]; then
        kill "$(cat "$work/program.pid")" 2>/dev/null || true
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

# Runs the inside part under a fresh X server and returns its status. Several X servers may
# start at once on a busy machine: a display number taken meanwhile makes xvfb-run fail, or
# leaves a server nobody can reach, before the test starts; another number is tried then.
run_inside_xvfb() {
    local script=$1 rc=1
    for attempt in 1 2 3; do
        rm -f "$work/started"
        setsid xvfb-run -n $((RANDOM % 500 + 100)) -s "-screen 0 1024x768x24" \
            bash "$script" --inside "$work" &
        xvfb_pid=$!
        rc=0
        wait "$xvfb_pid" || rc=$?
        stop_xvfb
        [[ -f $work/started ]] && break
        echo "Xvfb did not start (attempt $attempt)" >&2
    done
    return "$rc"
}
