#!/usr/bin/env bash
# scripts/test.sh and scripts/run.sh in a copy of the tree whose helpers and build tools are
# stand-ins: each stand-in notes that it ran and ends with the status the case asks for.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # DESCRIPTION CONDITION...
    local what=$1
    shift
    if ! "$@"; then
        echo "FAILED: $what" >&2
        failures=$((failures + 1))
    fi
}

tree=$work/tree
mkdir -p "$tree/scripts" "$tree/fuzz" "$tree/data" "$work/bin"
cp "$source_dir/scripts/test.sh" "$source_dir/scripts/run.sh" "$tree/scripts/"
stand_in() { # PATH NAME: a script that notes NAME and exits with $<NAME>_STATUS (default 0)
    cat >"$1" <<STUB
#!/usr/bin/env bash
echo "$2 \$*" >>"\$CALLS"
[[ "$2" != ctest ]] || echo "100% tests passed, 0 tests failed out of 7"
exit "\${${2//-/_}_STATUS:-0}"
STUB
    chmod +x "$1"
}
stand_in "$tree/scripts/install-deps.sh" install_deps
stand_in "$tree/scripts/test-package.sh" test_package
stand_in "$tree/fuzz/run.sh" fuzz
stand_in "$work/bin/cmake" cmake
stand_in "$work/bin/ctest" ctest
export PATH="$work/bin:$PATH" CALLS=$work/calls

# Runs scripts/test.sh with the given statuses; its output in $work/out, status in $status.
test_sh() {
    rm -f "$CALLS"
    status=0
    env "$@" bash "$tree/scripts/test.sh" >"$work/out" 2>&1 || status=$?
    last=$(tail -n 1 "$work/out")
}

test_sh
check "all passed: exit 0 (was $status)" test "$status" -eq 0
check "all passed: last line '$last'" \
    test "$last" = "test.sh: PASSED: ctest build: passed (0 tests failed out of 7); ctest build-asan: passed (0 tests failed out of 7); package test: passed; fuzzers 30 s each: passed"

test_sh test_package_STATUS=1
check "package failed: exit non-zero" test "$status" -ne 0
check "package failed: last line '$last'" \
    test "$last" = "test.sh: FAILED (package test): ctest build: passed (0 tests failed out of 7); ctest build-asan: passed (0 tests failed out of 7); package test: FAILED; fuzzers 30 s each: passed"
check "package failed: the fuzzers still ran" grep -q "^fuzz" "$CALLS"

test_sh ctest_STATUS=8 fuzz_STATUS=1
check "tests failed: exit non-zero" test "$status" -ne 0
check "tests failed: last line '$last'" \
    test "$last" = "test.sh: FAILED (ctest build,ctest build-asan,fuzzers 30 s each): ctest build: FAILED (0 tests failed out of 7); ctest build-asan: FAILED (0 tests failed out of 7); package test: passed; fuzzers 30 s each: FAILED"

test_sh cmake_STATUS=1
check "build failed: exit non-zero" test "$status" -ne 0
check "build failed: last line '$last'" \
    test "$last" = "test.sh: FAILED (building (default)): building (default): failed"
check "build failed: no test ran" bash -c "! grep -qE '^(ctest|test_package|fuzz)' '$CALLS'"

# run.sh without any display says so, in German and English, before installing or building.
rm -f "$CALLS"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" bash "$tree/scripts/run.sh" "$work/prefix" \
    >"$work/out" 2>&1 || status=$?
check "run.sh without a display: exit non-zero" test "$status" -ne 0
check "run.sh without a display: German text" grep -q "braucht eine grafische Sitzung" "$work/out"
check "run.sh without a display: English text" grep -q "needs a desktop session" "$work/out"
check "run.sh without a display: nothing installed or built" test ! -e "$CALLS"
check "run.sh without a display: no program folder" test ! -e "$work/prefix"

if ((failures > 0)); then
    echo "--- last output:" >&2
    cat "$work/out" >&2
    exit 1
fi
echo "scripts/test.sh and scripts/run.sh behave"
