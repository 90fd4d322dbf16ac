#!/usr/bin/env bash
# Installs what is missing, builds Tafelix and runs every test: core, widgets (offscreen),
# the real program under Xvfb and real sound, the kill and full-disk proofs, then the core
# again under AddressSanitizer and UndefinedBehaviorSanitizer, the Debian package (in a
# throwaway root: what is installed on this machine stays as it is), and every fuzzer for
# 30 s. Whatever fails, the rest still runs; the last line says whether everything passed and
# what ran, and the exit status is non-zero when anything failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc)

ran=()    # what ran, with its result
failed=() # what failed
step=""   # what runs now: named by the last line if the script stops in it
log=$(mktemp)
summary() {
    local status=$?
    if [[ -n $step ]]; then # stopped in the middle of a step (set -e)
        failed+=("$step")
        ran+=("$step: failed")
    fi
    rm -f "$log"
    local IFS=";"
    local what="${ran[*]}"
    what=${what//;/; }
    if ((status == 0 && ${#failed[@]} == 0)); then
        echo "test.sh: PASSED: ${what:-nothing ran}"
    else
        IFS=","
        echo "test.sh: FAILED (${failed[*]:-exit status $status}): ${what:-nothing ran}"
        ((status != 0)) || status=1
    fi
    exit "$status"
}
trap summary EXIT

# Runs one test command, named $1; its failure is noted and the next one runs. A CTest run
# is summed up by its count of tests.
run() {
    local name=$1 result=0 counted
    shift
    step=$name
    "$@" 2>&1 | tee "$log" || result=$?
    step=""
    counted=$(grep -oE '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1) || true
    if ((result == 0)); then
        ran+=("$name: passed${counted:+ (${counted})}")
    else
        ran+=("$name: FAILED${counted:+ (${counted})}")
        failed+=("$name")
    fi
}

step="installing packages"
bash scripts/install-deps.sh --with-tests
step="building (default)"
cmake --preset default
cmake --build build -j"$jobs"
step=""
run "ctest build" ctest --test-dir build --output-on-failure -j"$jobs"

step="building (asan)"
cmake --preset asan
cmake --build build-asan -j"$jobs"
step=""
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run "ctest build-asan" ctest --test-dir build-asan --output-on-failure -j"$jobs"

run "package test" bash scripts/test-package.sh build
run "fuzzers 30 s each" bash fuzz/run.sh 30
