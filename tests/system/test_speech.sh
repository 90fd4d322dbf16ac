#!/usr/bin/env bash
# Real speech in a real window: speech-dispatcher with espeak-ng plays into a private
# PulseAudio's null sink, whose monitor is recorded while speech_drill runs a drill from the
# foreign side with "Aussprache" on.
#  - English, 20 words: every word is heard (the recording is clearly audible), and the time
#    from "word shown" to the first sound of it is measured (median printed).
#  - French, 3 words: heard too, and speech-dispatcher names a different voice for fr than
#    for en.
#  - speech-dispatcher hidden (the client pointed at a socket nobody serves, and no daemon
#    it may start): the drill runs as before, the recording stays silent, and the speech
#    controls are disabled and name speech-dispatcher.
#
# Usage: test_speech.sh <tafelix-executable> <program-folder> [<source-dir>]
# speech_drill is taken from $TAFELIX_SPEECH_DRILL, else from the build folder. Exit 77
# (skipped) when a tool or speech-dispatcher with espeak-ng is not installed.
set -euo pipefail

inside() {
    local work=$1
    # A display that cannot be reached is no test result: the caller tries another one.
    require_display
    export QT_QPA_PLATFORM=xcb

    record spoken-en "$drill" spoken en 20
    judge spoken-en loud
    onsets spoken-en
    record spoken-fr "$drill" spoken fr 3
    judge spoken-fr loud

    local en fr
    en=$(sed -n 's/^speech_drill: voice en: //p' "$work/spoken-en.log")
    fr=$(sed -n 's/^speech_drill: voice fr: //p' "$work/spoken-en.log")
    echo "voices: en \"$en\", fr \"$fr\""
    [[ -n $en && -n $fr && $en != "$fr" ]] || fail "speech-dispatcher names no distinct voices for en and fr"

    SPEECHD_ADDRESS="unix_socket:$work/nobody.sock" SPEECHD_CMD=/nonexistent/speech-dispatcher \
        record hidden "$drill" hidden 3
    judge hidden silent
    grep -q '^speech_drill: Vorlesen disabled, tooltip: .*speech-dispatcher' "$work/hidden.log" ||
        fail "without speech-dispatcher \"Vorlesen\" does not say why it is disabled"
    echo "PASS"
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# record NAME COMMAND...: runs the probe while the monitor is recorded into "$work/NAME.raw";
# "$work/NAME.start" holds the time of the recording's first sample, in ms since the epoch.
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
    # The monitor delivers samples without a gap from here on (the silence stream keeps the
    # sink running), so the bytes already there date the first sample.
    local now bytes
    now=$(date +%s%3N)
    bytes=$(stat -c %s "$raw")
    echo $((now - bytes / 2 * 1000 / 44100)) >"$work/$name.start"
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

# onsets NAME: every shown word must be heard within 1.2 s (before the next word); prints
# the median time from "shown" to the first sound of the word.
onsets() {
    /usr/bin/python3 - "$work/$1.raw" "$work/$1.start" "$work/$1.log" <<'EOF' || fail "$1: a word was not heard"
import array, statistics, sys

raw, start_file, log = sys.argv[1:4]
samples = array.array("h")
with open(raw, "rb") as f:
    data = f.read()
samples.frombytes(data[: len(data) // 2 * 2])
if sys.byteorder != "little":
    samples.byteswap()
rate = 44100
start = int(open(start_file).read())
shown = [int(l.split()[1]) for l in open(log) if l.startswith("shown ")]
step = rate // 200  # 5 ms
delays = []
for t in shown:
    first = max(0, (t - start) * rate // 1000)
    onset = None
    for i in range(first, min(len(samples), first + int(1.2 * rate)), step):
        chunk = samples[i : i + step]
        if chunk and max(abs(s) for s in chunk) > 300:
            onset = i
            break
    if onset is None:
        sys.exit(f"the word shown at {t} was not heard within 1.2 s")
    delays.append((onset - first) * 1000 / rate)
print(f"{len(delays)} words: shown -> audio starts, median {statistics.median(delays):.0f} ms,"
      f" min {min(delays):.0f} ms, max {max(delays):.0f} ms")
EOF
}

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    work=$2
    drill=$(cat "$work/drill")
    parec_pid=""
    trap 'if [[ -n $parec_pid ]]; then kill -INT "$parec_pid" 2>/dev/null || true; fi' EXIT
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

work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-speech.XXXXXX")
echo "$drill" >"$work/drill"
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
