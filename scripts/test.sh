#!/usr/bin/env bash
# Builds Korvalin and runs the whole test suite twice: in Release, and again
# under AddressSanitizer + UndefinedBehaviorSanitizer. Installs what is
# missing first. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0

run_suite() {
    local dir=$1; shift
    echo "== $dir: configure and build"
    cmake -S . -B "$dir" -DKORVALIN_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
    echo "== $dir: tests"
    if ! ctest --test-dir "$dir" --output-on-failure -j"$jobs"; then
        status=1
    fi
}

run_suite build -DCMAKE_BUILD_TYPE=Release
if [ -x build/bin/example_host ]; then
    echo "== example host"
    build/bin/example_host >/dev/null || status=1
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVALIN_SANITIZE=ON -DKORVALIN_BUILD_BENCH=OFF

exit $status
