#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (preset "fuzz", folder build-fuzz) and runs each
# for SECONDS, then prints runs, coverage and features per harness. Fails on any finding; the
# input that caused it is kept as build-fuzz/findings/<harness>/crash-… (or leak-…, oom-…).
#
# Usage: fuzz/run.sh [SECONDS | --long] [HARNESS...]
#   SECONDS defaults to 30; --long is 600. Without names every harness runs, one after another.
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

status=0
summary=()
for h in "${harnesses[@]}"; do
    work=build-fuzz/corpus/$h
    findings=build-fuzz/findings/$h
    log=build-fuzz/logs/$h.log
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    for s in $(seeds_of "$h"); do
        if [[ -d $s ]]; then cp -n "$s"/* "$work"/ 2>/dev/null || true; else cp -n "$s" "$work"/; fi
    done
    echo "== $h: $seconds s"
    if ! "build-fuzz/fuzz/$h" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" >"$log" 2>&1; then
        status=1
        echo "FINDING in $h (log $log):"
        tail -n 40 "$log"
    fi
    runs=$(grep -oE '^Done [0-9]+ runs' "$log" | grep -oE '[0-9]+' || echo "?")
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
    ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
    summary+=("$(printf '%-16s %12s %6s %7s' "$h" "$runs" "$cov" "$ft")")
done

printf '\n%-16s %12s %6s %7s\n' harness runs cov ft
printf '%s\n' "${summary[@]}"
exit "$status"
