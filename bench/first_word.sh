#!/usr/bin/env bash
# The first spoken word of a drill after a cold start of speech-dispatcher: no daemon runs
# when the program starts, the list (with its language and "Aussprache" on) is open three
# seconds before "Start". A private PulseAudio's null sink is recorded; the delay is the time
# from "shown" to the first sound of the word. Builds are taken in turns, RUNS times each
# (default 10); prints the median and the worst delay of each.
#
# Usage: bench/first_word.sh <probe> <module-dir> [<probe> <module-dir> ...]
#   e.g. bench/first_word.sh build/bench/first_word build/Tafelix/plugins
# The probe is first_word from bench/ built against the program being measured.
set -euo pipefail

if [[ ${1:-} == --inside ]]; then
    work=$2
    shift 2
    source "$(dirname "${BASH_SOURCE[0]}")/../tests/system/xserver.sh"
    require_display
    export QT_QPA_PLATFORM=xcb
    runs=${RUNS:-10}
    for ((run = 1; run <= runs; run++)); do
        set -- $(cat "$work/builds")
        build=0
        while (($# >= 2)); do
            probe=$1 modules=$2
            shift 2
            build=$((build + 1))
            raw="$work/b$build-$run.raw"
            parec -d tafelix_test.monitor --format=s16le --rate=44100 --channels=1 --raw \
                --latency-msec=10 >"$raw" &
            parec_pid=$!
            until [[ -s $raw ]]; do sleep 0.01; done
            now=$(date +%s%3N)
            bytes=$(stat -c %s "$raw")
            start=$((now - bytes / 2 * 1000 / 44100))
            # No daemon runs: the one the last run started was ended below.
            timeout 60 "$probe" "$modules" >"$work/b$build-$run.log" 2>&1 || true
            kill -INT "$parec_pid"
            wait "$parec_pid" || true
            shown=$(sed -n 's/^shown \([0-9]*\) .*/\1/p' "$work/b$build-$run.log")
            echo "$build $start ${shown:-0} $raw" >>"$work/runs"
            # The daemon it started goes before the next run.
            for f in $(find "$work/run" -name 'speech-dispatcher.pid' 2>/dev/null); do
                pid=$(cat "$f" 2>/dev/null) || continue
                [[ -n $pid ]] || continue
                pkill -P "$pid" 2>/dev/null || true
                kill "$pid" 2>/dev/null || true
                for _ in {1..50}; do
                    kill -0 "$pid" 2>/dev/null || break
                    sleep 0.1
                done
                kill -KILL "$pid" 2>/dev/null || true
                rm -f "$f"
            done
        done
    done
    exit 0
fi

(($# >= 2 && $# % 2 == 0)) || {
    echo "usage: $0 <probe> <module-dir> [<probe> <module-dir> ...]" >&2
    exit 2
}
work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-first-word.XXXXXX")
builds=()
while (($# >= 2)); do
    builds+=("$(realpath "$1")" "$(realpath "$2")")
    shift 2
done
echo "${builds[*]}" >"$work/builds"
xvfb_pid=""
source "$(dirname "${BASH_SOURCE[0]}")/../tests/system/xserver.sh"
unset SPEECHD_ADDRESS SPEECHD_CMD
trap 'stop_xvfb; stop_private_pulse; [[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT
start_private_pulse
run_inside_xvfb "$0"

/usr/bin/python3 - "$work/runs" "${builds[@]}" <<'EOF'
import array, statistics, sys

runs, builds = sys.argv[1], sys.argv[2:]
rate = 44100
delays = {}
for line in open(runs):
    build, start, shown, raw = line.split()
    samples = array.array("h")
    with open(raw, "rb") as f:
        data = f.read()
    samples.frombytes(data[: len(data) // 2 * 2])
    if sys.byteorder != "little":
        samples.byteswap()
    first = max(0, (int(shown) - int(start)) * rate // 1000)
    step = rate // 200  # 5 ms
    onset = None
    for i in range(first, len(samples), step):
        if max((abs(s) for s in samples[i : i + step]), default=0) > 300:
            onset = i
            break
    delays.setdefault(int(build), []).append(
        None if onset is None or int(shown) == 0 else (onset - first) * 1000 / rate)
for build, values in sorted(delays.items()):
    heard = [v for v in values if v is not None]
    probe = builds[2 * (build - 1)]
    if not heard:
        print(f"{probe}: no word heard in {len(values)} runs")
        continue
    print(f"{probe}: first word {statistics.median(heard):.0f} ms after it was shown (median), "
          f"worst {max(heard):.0f} ms, {len(heard)} of {len(values)} runs heard; "
          f"all: {', '.join(f'{v:.0f}' for v in heard)}")
EOF
