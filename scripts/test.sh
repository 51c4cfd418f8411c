#!/usr/bin/env bash
# Builds Korvalin and runs the whole test suite: in Release; again in Release
# with the plain text scanning paths (KORVALIN_PORTABLE_SCAN: no SSE2; the tests
# labelled slow are left out there); and again under AddressSanitizer +
# UndefinedBehaviorSanitizer. Installs what is missing first. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0

# run_suite DIR [CMAKE ARGS...]; CTEST_ARGS (an array) adds arguments to ctest.
CTEST_ARGS=()
run_suite() {
    local dir=$1; shift
    echo "== $dir: configure and build"
    cmake -S . -B "$dir" -DKORVALIN_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
    echo "== $dir: tests"
    if ! ctest --test-dir "$dir" --output-on-failure -j"$jobs" "${CTEST_ARGS[@]}"; then
        status=1
    fi
}

run_suite build -DCMAKE_BUILD_TYPE=Release
if [ -x build/bin/example_host ]; then
    echo "== example host"
    build/bin/example_host >/dev/null || status=1
fi
CTEST_ARGS=(-LE slow)
run_suite build-portable -DCMAKE_BUILD_TYPE=Release -DKORVALIN_PORTABLE_SCAN=ON -DKORVALIN_LTO=OFF \
    -DKORVALIN_BUILD_BENCH=OFF
CTEST_ARGS=()
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVALIN_SANITIZE=ON -DKORVALIN_BUILD_BENCH=OFF

exit $status
