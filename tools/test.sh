#!/usr/bin/env bash
# Builds Quillon and runs every test: the main build (warnings as errors) and, when present,
# the sanitizer build and the fuzz targets. Ends with CTest's summary of the main build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

# Includes point down the layers, and the sources are as clang-format makes them; either check
# fails the run before anything builds.
bash tools/check_layers.sh
bash tools/check_format.sh

jobs=$(nproc)
status=0

# Sanitizer build of the core, the CLI and their tests (no Qt), then bounded fuzz runs.
if [ "${QUILLON_SKIP_SANITIZE:-0}" != 1 ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_BUILD_GUI=OFF \
        -DQUILLON_BUILD_BENCH=OFF -DQUILLON_SANITIZE=ON -DQUILLON_WERROR=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DQUILLON_FUZZ=ON > /dev/null
    cmake --build build-asan -j "$jobs"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan -j "$jobs" --output-on-failure || status=1
    if [ -x tools/run_fuzz.sh ]; then
        bash tools/run_fuzz.sh build-asan || status=1
    fi
fi

# The Windows companion, cross-built; the main build's tests run it under Wine.
timeout 1800 bash tools/build_windows.sh build-windows || status=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure || status=1
exit $status
