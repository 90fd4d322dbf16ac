#!/usr/bin/env bash
# Real speech in a real window: speech-dispatcher with espeak-ng plays into a private
# PulseAudio's null sink, whose monitor is recorded while speech_drill runs a drill from the
# foreign side with "Aussprache" on.
#  - English and French, a few words each: the words are heard.
#  - A screen reader (screen_reader, a second client of the same daemon) reads a long text
#    while the drill speaks two words: the reader's text is read to its end, not cancelled.
#  - speech-dispatcher hidden (the client pointed at a socket nobody serves, and no daemon
#    it may start): the drill runs as before, the recording stays silent, and the speech
#    controls are disabled and name speech-dispatcher.
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
    judge spoken-en loud
    record spoken-fr "$drill" spoken fr 2
    judge spoken-fr loud

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

    SPEECHD_ADDRESS="unix_socket:$work/nobody.sock" SPEECHD_CMD=/nonexistent/speech-dispatcher \
        record hidden "$drill" hidden 2
    judge hidden silent
    grep -q '^speech_drill: Vorlesen disabled, tooltip: .*speech-dispatcher' "$work/hidden.log" ||
        fail "without speech-dispatcher \"Vorlesen\" does not say why it is disabled"
    echo "PASS"
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# record NAME COMMAND...: runs the probe while the monitor is recorded into "$work/NAME.raw".
record() {
    local name=$1 raw="$work/$1.raw"
    shift
    parec -d tafelix_test.monitor --format=s16le --rate=44100 --channels=1 --raw \
        --latency-msec=10 >"$raw" &
    parec_pid=$!
    local deadline=$((SECONDS + 10))
    until [[ -s $raw ]]; do
        kill -0 "$parec_pid" 2>/dev/null || fail "parec ended at once"
        ((SECONDS < deadline)) || fail "no samples from the monitor within 10 s"
        sleep 0.01
    done
    timeout 120 "$@" >"$work/$name.log" 2>&1 || {
        cat "$work/$name.log" >&2
        fail "speech_drill $name failed"
    }
    # A short tail, so that the last word has passed the server's buffers.
    sleep 0.5
    kill -INT "$parec_pid"
    wait "$parec_pid" || true
    parec_pid=""
    grep '^speech_drill' "$work/$name.log"
}

# judge NAME loud|silent: speech clearly above silence, or nothing but zeros.
judge() { judge_recording "$work/$1.raw" "$2" 2 || fail "$1 should be $2"; }

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    work=$2
    drill=$(cat "$work/drill")
    reader=$(cat "$work/reader")
    parec_pid=""
    reader_pid=""
    trap 'if [[ -n $parec_pid ]]; then kill -INT "$parec_pid" 2>/dev/null || true; fi
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

# The daemon the first probe started, found by its pid file in the private runtime folder.
stop_speechd() {
    local f pid
    for f in $(find "$work/run" "$work/home" -name 'speech-dispatcher.pid' 2>/dev/null); do
        pid=$(cat "$f" 2>/dev/null) || continue
        [[ -n $pid ]] || continue
        pkill -P "$pid" 2>/dev/null || true # its output modules
        kill "$pid" 2>/dev/null || continue
        # It may hang on its audio output; it must not outlive the test.
        for _ in {1..20}; do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
    done
}

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
