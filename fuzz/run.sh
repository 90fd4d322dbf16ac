#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (preset "fuzz", folder build-fuzz) and runs each
# for SECONDS, then prints runs, coverage and features per harness. Fails on any finding; the
# input that caused it is kept as build-fuzz/findings/<harness>/crash-… (or leak-…, oom-…).
#
# Usage: fuzz/run.sh [SECONDS | --long] [HARNESS...]
#   SECONDS defaults to 30; --long is 600. Without names every harness runs, two at a time.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

seconds=30
if [[ "${1:-}" == "--long" ]]; then
    seconds=600
    shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
harnesses=("$@")
if ((${#harnesses[@]} == 0)); then
    harnesses=(fuzz_vkb fuzz_settings fuzz_statistics fuzz_cp1252 fuzz_rtf fuzz_csv fuzz_kvtml)
fi

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"${FUZZ_BUILD_JOBS:-$(nproc)}" --target "${harnesses[@]}"

# The committed seeds plus the matching fixtures of the core tests.
seeds_of() {
    local h=$1
    echo "fuzz/corpus/${h#fuzz_}"
    case $h in
    fuzz_vkb) ls tests/data/*.vkb ;;
    fuzz_settings) ls tests/data/*.dat ;;
    fuzz_statistics) ls tests/data/statistik*.dat ;;
    fuzz_csv) ls tests/data/convert/*.csv tests/data/convert/*.tsv tests/data/convert/*.txt 2>/dev/null ;;
    fuzz_kvtml) ls tests/data/convert/*.kvtml ;;
    esac
}

# One harness in the background; its log and its exit status land in build-fuzz/logs.
fuzz_one() {
    local h=$1 work=build-fuzz/corpus/$1 findings=build-fuzz/findings/$1 rc=0
    "build-fuzz/fuzz/$h" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" >"build-fuzz/logs/$h.log" 2>&1 || rc=$?
    echo "$rc" >"build-fuzz/logs/$h.status"
}

# Prints what one finished harness found; fails when it found anything.
report() {
    local h=$1 log=build-fuzz/logs/$1.log rc
    rc=$(cat "build-fuzz/logs/$h.status" 2>/dev/null || echo "?")
    if [[ $rc == 0 ]]; then
        echo "== $h: done"
        return 0
    fi
    echo "FINDING in $h (exit $rc, log $log):"
    tail -n 40 "$log"
    return 1
}

# Two at a time on two cores (FUZZ_JOBS to change): each still gets its full time, and the
# whole run takes half as long.
parallel=${FUZZ_JOBS:-2}
status=0
declare -A pid_of=()
for h in "${harnesses[@]}"; do
    work=build-fuzz/corpus/$h
    mkdir -p "$work" "build-fuzz/findings/$h" build-fuzz/logs
    rm -f "build-fuzz/logs/$h.status"
    for s in $(seeds_of "$h"); do
        if [[ -d $s ]]; then cp -n "$s"/* "$work"/ 2>/dev/null || true; else cp -n "$s" "$work"/; fi
    done
    while ((${#pid_of[@]} >= parallel)); do
        wait -n -p done_pid || true
        for k in "${!pid_of[@]}"; do
            if [[ ${pid_of[$k]} == "$done_pid" ]]; then
                unset "pid_of[$k]"
                report "$k" || status=1
            fi
        done
    done
    echo "== $h: $seconds s"
    fuzz_one "$h" &
    pid_of[$h]=$!
done
for k in "${!pid_of[@]}"; do
    wait "${pid_of[$k]}" || true
    report "$k" || status=1
done

summary=()
for h in "${harnesses[@]}"; do
    log=build-fuzz/logs/$h.log
    runs=$(grep -oE '^Done [0-9]+ runs' "$log" | grep -oE '[0-9]+' || echo "?")
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
    ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
    summary+=("$(printf '%-16s %12s %6s %7s' "$h" "$runs" "$cov" "$ft")")
done

printf '\n%-16s %12s %6s %7s\n' harness runs cov ft
printf '%s\n' "${summary[@]}"
exit "$status"
