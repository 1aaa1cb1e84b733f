#!/usr/bin/env bash
# Cross-builds the companion for 64-bit Windows with Debian's mingw-w64: the core and
# quillon-cli.exe, without the window, linked statically so that the .exe needs no DLL beyond
# Windows' own. Checks the DLLs the .exe imports.
#
#   tools/build_windows.sh [BUILD_FOLDER]     (default: build-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-windows}

command -v x86_64-w64-mingw32-g++-posix > /dev/null ||
    { echo "build_windows: x86_64-w64-mingw32-g++-posix is missing (tools/setup.sh installs mingw-w64)" >&2; exit 1; }
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# GCC 12 takes short string copies at -O3 for overlapping ones (its bug 105329): -Wrestrict
# is off for this build.
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_GUI=OFF -DQUILLON_BUILD_TESTS=OFF \
    -DQUILLON_BUILD_BENCH=OFF -DQUILLON_WERROR=ON "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS=-Wno-restrict > "$build/configure.log" ||
    { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j"${QUILLON_JOBS:-2}" --target quillon-cli

exe=$build/quillon-cli.exe
# Only Windows' own DLLs: a plain Windows has nothing else.
system_dlls='^(kernel32|user32|advapi32|shell32|msvcrt|ws2_32|ole32|shlwapi|api-ms-win-.*)\.dll$'
extra=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
    tr 'A-Z' 'a-z' | grep -Ev "$system_dlls" || true)
if [ -n "$extra" ]; then
    echo "build_windows: $exe needs DLLs a plain Windows lacks: $extra" >&2
    exit 1
fi
echo "build_windows: $exe"
