#!/usr/bin/env bash
# Installs what is missing, builds Tafelix and runs every test: core, widgets (offscreen),
# the real program under Xvfb and real sound, the kill and full-disk proofs, then the core
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzzer for 30 s.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc)

bash scripts/install-deps.sh --with-tests

cmake --preset default
cmake --build build -j"$jobs"
status=0
ctest --test-dir build --output-on-failure -j"$jobs" || status=$?

cmake --preset asan
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" || status=$?

bash scripts/test-package.sh build || status=$?
bash fuzz/run.sh 30 || status=$?

exit "$status"
