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

# start_xvfb [ARG...]: starts an X server in a session of its own (pid in `xvfb_pid`, display
# ":N" in `xvfb_display`) with the screen `XVFB_SCREEN` (1024x768x24 unless set) and the
# further server arguments ARG; fails when it does not come up (its log: "$work/xvfb.log"). The server picks a free display number itself and names it on a file
# descriptor (-displayfd): tests that start servers at the same time cannot take the same
# number, as they could when each chose one and then started a server.
start_xvfb() {
    rm -f "$work/display"
    exec 3>"$work/display"
    setsid Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset "$@" \
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

# ---- what every real-window test script shares

# Message box titles the program uses; any of them on screen unasked is a failure.
readonly BOX_TITLES='^(Fehler|Warnung|Information|Best.{1,2}tigung)$'

# require_tools TOOL...: skips the test (exit 77) naming the first tool that is missing.
require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

# xserver_test_setup NAME EXE PROGRAM_DIR KEEP: a work folder (`work`) that is removed after a
# pass and kept after a failure (KEEP names what is worth looking at), the X server stopped
# on every exit, and a private copy of the program folder in "$work/Tafelix" with EXE as its
# program: the program reads and writes beside itself.
xserver_test_setup() {
    local name=$1 exe program_dir
    exe=$(realpath "$2")
    program_dir=$(realpath "$3")
    xserver_keep=$4
    work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-$name.XXXXXX")
    xvfb_pid=""
    trap xserver_test_cleanup EXIT
    trap 'exit 1' INT TERM
    cp -a "$program_dir" "$work/Tafelix"
    cp "$exe" "$work/Tafelix/tafelix"
}

xserver_test_cleanup() {
    local rc=$?
    stop_xvfb
    if ((rc == 0)); then
        rm -rf "$work"
    else
        echo "kept for inspection: $work ($xserver_keep)" >&2
    fi
}

# Inside the X server: whether the display answers at all. One that does not is no test
# result, and the caller tries another one.
require_display() {
    xdotool getdisplaygeometry >/dev/null 2>&1 || exit "$XSERVER_UNUSABLE"
}

# Inside the X server, after a failure: a screenshot and the program's output for the log;
# exits XSERVER_UNUSABLE when the display went away under the program, as that is no result.
report_program_failure() {
    /usr/bin/import -window root "$work/screenshot.png" 2>/dev/null || true
    if [[ -f $work/program.pid ]]; then kill "$(cat "$work/program.pid")" 2>/dev/null || true; fi
    echo "--- program output" >&2
    cat "$work/program.log" >&2 || true
    display_lost "$work/program.log" && exit "$XSERVER_UNUSABLE"
    return 0
}

# Inside the X server: puts the German letters the US layout lacks on free key codes for good.
# Otherwise xdotool binds a spare key code to such a letter only for the moment of its press,
# and a program that reads the key after the binding was taken back (a loaded machine) gets
# no letter at all.
map_german_letters() {
    local -a free
    mapfile -t free < <(xmodmap -pke | awk 'NF == 3 && $2 > 8 { print $2 }' | head -n 4)
    ((${#free[@]} == 4)) || return 1
    xmodmap -e "keycode ${free[0]} = adiaeresis Adiaeresis" \
        -e "keycode ${free[1]} = odiaeresis Odiaeresis" \
        -e "keycode ${free[2]} = udiaeresis Udiaeresis" \
        -e "keycode ${free[3]} = ssharp ssharp"
}

# A private PulseAudio with one null sink, "tafelix_test", as the default: its own runtime
# folder and home under $work, so that neither a desktop's sound server nor another test run
# can hear or disturb this one. A stream of zeros keeps the sink running, so that its
# monitor delivers samples all the time and silence can be told from a recorder that hears
# nothing at all. Fails, with PulseAudio's log on stderr, when the server does not come up.
start_private_pulse() {
    mkdir -p -m 700 "$work/run" "$work/home"
    export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
    export PULSE_SERVER="unix:$work/run/pulse/native"
    unset PULSE_SINK PULSE_SOURCE
    pulse_silence_pid=""
    # Only what the tests need: the socket and one null sink. No suspend-on-idle, no hardware.
    if ! pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
            --log-target="file:$work/pulse.log" \
            --load="module-native-protocol-unix auth-anonymous=1" \
            --load="module-null-sink sink_name=tafelix_test rate=44100" 2>>"$work/pulse.log"; then
        cat "$work/pulse.log" >&2 || true
        echo "PulseAudio is installed but did not start" >&2
        return 1
    fi
    pulse_started=true
    local deadline=$((SECONDS + 10))
    until pactl info >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            cat "$work/pulse.log" >&2
            echo "PulseAudio does not answer" >&2
            return 1
        fi
        sleep 0.1
    done
    pactl set-default-sink tafelix_test
    pacat --playback --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20 </dev/zero &
    pulse_silence_pid=$!
}

# Ends what start_private_pulse started; a bounded wait, so that the next run does not meet a
# dying server.
stop_private_pulse() {
    if [[ -n ${pulse_silence_pid:-} ]]; then kill "$pulse_silence_pid" 2>/dev/null || true; fi
    pulse_silence_pid=""
    ${pulse_started:-false} || return 0
    local daemon
    daemon=$(cat "$work/run/pulse/pid" 2>/dev/null) || daemon=""
    pulseaudio --kill 2>/dev/null || true
    for _ in {1..50}; do
        if [[ -z $daemon ]] || ! kill -0 "$daemon" 2>/dev/null; then break; fi
        sleep 0.1
    done
    pulse_started=false
}

# The folder of this file: samples.py, the one reader of raw recordings, lives beside it.
harness_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# start_recording RAW: records the private sink's monitor (s16le, 44.1 kHz, mono) into RAW in
# the background (pid in `parec_pid`) and returns once samples arrive: a sound started
# before then could be missed. Fails, saying why, when the recorder does not deliver.
start_recording() {
    local raw=$1 deadline=$((SECONDS + 10))
    parec -d tafelix_test.monitor --format=s16le --rate=44100 --channels=1 --raw \
        --latency-msec=10 >"$raw" &
    parec_pid=$!
    until [[ -s $raw ]]; do
        if ! kill -0 "$parec_pid" 2>/dev/null; then
            echo "parec ended at once" >&2
            return 1
        fi
        if ((SECONDS >= deadline)); then
            echo "no samples from the monitor within 10 s" >&2
            return 1
        fi
        sleep 0.01
    done
}

# stop_recording [TAIL]: ends the recording after TAIL seconds (default none), the time the
# end of a sound needs to pass the server's buffers. Safe when none runs.
stop_recording() {
    [[ -n ${parec_pid:-} ]] || return 0
    sleep "${1:-0}"
    kill -INT "$parec_pid" 2>/dev/null || true
    wait "$parec_pid" 2>/dev/null || true
    parec_pid=""
}

# stop_speechd: ends the speech-dispatcher daemons a client started in the private runtime
# folder (found by their pid files), with their output modules. One may hang on its audio
# output; none outlives the caller.
stop_speechd() {
    local f pid
    for f in $(find "$work/run" "$work/home" -name 'speech-dispatcher.pid' 2>/dev/null); do
        pid=$(cat "$f" 2>/dev/null) || continue
        [[ -n $pid ]] || continue
        pkill -P "$pid" 2>/dev/null || true # its output modules
        if kill "$pid" 2>/dev/null; then
            for _ in {1..50}; do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -KILL "$pid" 2>/dev/null || true
        fi
        rm -f "$f"
    done
}

# judge_recording RAW loud|silent MIN_SECONDS: a recording of the sink's monitor holds a
# sound clearly above silence ("loud": a click would have a high peak but no energy, so the
# loudest 50 ms count too), or nothing but zeros apart from the last bit of rounding
# ("silent"). Both need at least MIN_SECONDS recorded to mean anything.
judge_recording() {
    PYTHONPATH="$harness_dir" /usr/bin/python3 - "$@" <<'PY'
import math, sys
from samples import RATE, read_samples

path, expect, least = sys.argv[1], sys.argv[2], float(sys.argv[3])
samples = read_samples(path)
seconds = len(samples) / RATE
peak = max((abs(s) for s in samples), default=0)
window = RATE // 20
loudest = 0.0
for start in range(0, max(len(samples) - window, 0) + 1, window // 2):
    chunk = samples[start : start + window]
    if chunk:
        loudest = max(loudest, math.sqrt(sum(s * s for s in chunk) / len(chunk)))
print(f"{expect:>6}: {seconds:.2f} s recorded, peak {peak}, loudest 50 ms RMS {loudest:.0f}")
if seconds < least:
    sys.exit(f"only {seconds:.2f} s recorded: the recording did not cover the drill")
if expect == "loud" and (peak < 2000 or loudest < 500):
    sys.exit("nothing clearly audible was captured")
if expect == "silent" and peak > 16:
    sys.exit("sound was captured where there should be none")
PY
}
