#!/usr/bin/env bash
# The real sound player against a real audio server: a private PulseAudio with a null sink
# is started, its monitor is recorded while sound_drill gives one wrong answer, once with
# "Sound" = "ein" (the recording must be clearly audible) and once with "aus" (it must stay
# silent from start to end).
#
# Usage: test_sound.sh <tafelix-executable> <program-folder> [<source-dir>]
# sound_drill is taken from $TAFELIX_SOUND_DRILL, else from the build folder that holds the
# program folder. Exit 77 (skipped) only when PulseAudio or its tools are not installed; a
# PulseAudio that is installed but does not start is a failure.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"
require_tools pulseaudio parec pacat pactl

program_dir=$(realpath "$2")
drill=${TAFELIX_SOUND_DRILL:-$(dirname "$program_dir")/tests/system/sound_drill}
[[ -x $drill ]] || { echo "FAIL: sound_drill not found at $drill (build it first)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-sound.XXXXXX")
parec_pid=""
unset DISPLAY

cleanup() {
    local rc=$?
    stop_recording
    stop_private_pulse
    if ((rc == 0)); then
        rm -rf "$work"
    else
        echo "kept for inspection: $work (pulse.log, *.raw, drill-*.log)" >&2
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_private_pulse || fail "no private sound server"

# Records the monitor while the drill runs; the recording is in "$work/$1.raw".
record_drill() {
    local mode=$1
    start_recording "$work/$mode.raw" || fail "no recording"
    QT_QPA_PLATFORM=offscreen timeout 60 "$drill" "$mode" >"$work/drill-$mode.log" 2>&1 || {
        cat "$work/drill-$mode.log" >&2
        fail "sound_drill $mode failed"
    }
    stop_recording 0.3
    grep '^sound_drill' "$work/drill-$mode.log"
}

# Checks a recording: "loud" means a sound clearly above silence, "silent" means nothing but
# zeros.
judge() { judge_recording "$work/$1.raw" "$2" 1.5; }

record_drill ein
judge ein loud || fail "Sound = ein"
record_drill aus
judge aus silent || fail "Sound = aus"
echo "PASS"
