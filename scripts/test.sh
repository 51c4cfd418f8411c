#!/usr/bin/env bash
# Builds Korvalin and runs the whole test suite: in Release; again in Release
# with the plain text scanning paths (KORVALIN_PORTABLE_SCAN: no SSE2; the tests
# labelled slow and the viewer, which scans no text of its own, are left out
# there); and again under AddressSanitizer +
# UndefinedBehaviorSanitizer; then fuzzes the readers for a bounded time
# (KORVALIN_FUZZ_SECONDS per target, default 60; 0 skips). Installs what is
# missing first. Exits non-zero on any failure.
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
    -DKORVALIN_BUILD_BENCH=OFF -DKORVALIN_VIEWER=OFF
CTEST_ARGS=()
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVALIN_SANITIZE=ON -DKORVALIN_BUILD_BENCH=OFF

# libFuzzer over the text importer, the legacy table reader and formula text, with ASan and UBSan: only the fuzz
# targets and the libraries they need are built. New inputs go to build-fuzz/corpus (kept between local runs), a failing
# input to build-fuzz/artifacts; the seeds are tests/fuzz/corpus.
fuzz_seconds=${KORVALIN_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
    echo "== build-fuzz: configure and build"
    cmake -S . -B build-fuzz -DKORVALIN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        >/dev/null
    cmake --build build-fuzz -j"$jobs" --target text_import_fuzz qtc_file_fuzz formula_fuzz
    for pair in text_import_fuzz:text qtc_file_fuzz:qtc formula_fuzz:formula; do
        target=${pair%%:*}
        corpus=${pair##*:}
        echo "== fuzz: $target for ${fuzz_seconds} s"
        mkdir -p "build-fuzz/corpus/$corpus" build-fuzz/artifacts
        if ! "build-fuzz/bin/$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -malloc_limit_mb=512 -max_len=4096 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
            "build-fuzz/corpus/$corpus" "tests/fuzz/corpus/$corpus" 2>"build-fuzz/$target.log"; then
            tail -n 60 "build-fuzz/$target.log"
            status=1
        else
            grep -E "^stat::number_of_executed_units|^Done" "build-fuzz/$target.log" || true
        fi
    done
fi

exit $status
