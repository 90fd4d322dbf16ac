#!/usr/bin/env bash
# Real speech in a real window: speech-dispatcher with espeak-ng plays into a private
# PulseAudio's null sink, whose monitor is recorded while speech_drill runs a drill from the
# foreign side with "Aussprache" on.
#  - English and French, a few words each: the words are heard.
#  - A screen reader (screen_reader, a second client of the same daemon) reads a long text
#    while the drill speaks two words: the reader's text is read to its end, not cancelled.
# Without speech-dispatcher the module's answer is tst_speech_contract's, and what the window
# makes of it tst_speech's: no real window is needed for that.
#
# Usage: test_speech.sh <tafelix-executable> <program-folder> [<source-dir>]
# speech_drill and screen_reader are taken from $TAFELIX_SPEECH_DRILL and
# $TAFELIX_SCREEN_READER, else from the build folder. Exit 77 (skipped) when a tool or
# speech-dispatcher with espeak-ng is not installed.
set -euo pipefail

inside() {
    local work=$1
    # A display that cannot be reached is no test result: the caller tries another one.
    require_display
    export QT_QPA_PLATFORM=xcb

    record spoken-en "$drill" spoken en 3
    judge spoken-en
    record spoken-fr "$drill" spoken fr 2
    judge spoken-fr

    # The reader speaks at the priority under which a word of Qt's engine used to cut it off.
    "$reader" text >"$work/reader.log" 2>&1 &
    reader_pid=$!
    local deadline=$((SECONDS + 30))
    until grep -q '^begin ' "$work/reader.log"; do
        kill -0 "$reader_pid" 2>/dev/null || { cat "$work/reader.log" >&2; fail "screen_reader ended at once"; }
        ((SECONDS < deadline)) || fail "the screen reader's text did not begin within 30 s"
        sleep 0.1
    done
    record beside-reader "$drill" spoken en 2
    wait "$reader_pid" || { cat "$work/reader.log" >&2; fail "screen_reader failed"; }
    reader_pid=""
    cat "$work/reader.log"
    local ended last_word
    ended=$(sed -n 's/^\(end\|cancel\) //p' "$work/reader.log")
    last_word=$(sed -n 's/^shown \([0-9]*\) .*/\1/p' "$work/beside-reader.log" | tail -1)
    grep -q '^end ' "$work/reader.log" || fail "the screen reader's text was cut off"
    # Proof only if the words came while the reader was still speaking.
    ((last_word < ended)) || fail "the drill's words came after the reader's text had ended"
    echo "PASS"
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# record NAME COMMAND...: runs the probe while the monitor is recorded into "$work/NAME.raw".
record() {
    local name=$1
    shift
    start_recording "$work/$name.raw" || fail "no recording"
    timeout 120 "$@" >"$work/$name.log" 2>&1 || {
        cat "$work/$name.log" >&2
        fail "speech_drill $name failed"
    }
    stop_recording 0.5
    grep '^speech_drill' "$work/$name.log"
}

# judge NAME: speech clearly above silence.
judge() { judge_recording "$work/$1.raw" loud 2 || fail "$1 should be loud"; }

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    work=$2
    drill=$(cat "$work/drill")
    reader=$(cat "$work/reader")
    parec_pid=""
    reader_pid=""
    trap 'stop_recording
          if [[ -n $reader_pid ]]; then kill "$reader_pid" 2>/dev/null || true; fi' EXIT
    inside "$2"
    exit 0
fi

# ---------------------------------------------------------------- set-up and clean-up
require_tools Xvfb xdotool pulseaudio parec pacat pactl speech-dispatcher /usr/bin/python3
if ! compgen -G "/usr/lib/speech-dispatcher-modules/sd_espeak-ng*" >/dev/null; then
    echo "SKIP: speech-dispatcher-espeak-ng is not installed"
    exit 77
fi

program_dir=$(realpath "$2")
drill=${TAFELIX_SPEECH_DRILL:-$(dirname "$program_dir")/tests/system/speech_drill}
[[ -x $drill ]] || { echo "FAIL: speech_drill not found at $drill (build it first)" >&2; exit 1; }
reader=${TAFELIX_SCREEN_READER:-$(dirname "$program_dir")/tests/system/screen_reader}
[[ -x $reader ]] || { echo "FAIL: screen_reader not found at $reader (build it first)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-speech.XXXXXX")
echo "$drill" >"$work/drill"
echo "$reader" >"$work/reader"
xvfb_pid=""
# speech-dispatcher's socket and its daemon live in the private runtime folder that
# start_private_pulse makes: they belong to this run alone.
unset SPEECHD_ADDRESS SPEECHD_CMD

cleanup() {
    local rc=$?
    stop_xvfb
    stop_speechd
    stop_private_pulse
    if ((rc == 0)); then
        rm -rf "$work"
    else
        echo "kept for inspection: $work (pulse.log, *.raw, *.log)" >&2
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start_private_pulse || fail "no private sound server"

rc=0
run_inside_xvfb "$0" || rc=$?
exit "$rc"
