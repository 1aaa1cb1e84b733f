#!/usr/bin/env bash
# Builds Quillon and starts the monitor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)"
if [ -x build/quillon ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/quillon
fi
exec build/quillon-cli replay tests/data/sample.mlog
