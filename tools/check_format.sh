#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp' 2>/dev/null || find seams capture decode io analysis formats portsetup headless monitor port app cli tests bench tools -name '*.h' -o -name '*.cpp')
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as clang-format makes them"
