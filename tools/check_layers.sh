#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, from the
# bottom: seams (the interfaces to the outside world), capture, decode, io, analysis, formats,
# portsetup, headless, monitor, then native (the machine without Qt), port (the Qt adapters,
# which may build on native) and metrics (the Prometheus exposer) side by side, then app (the
# window) and cli (the companion) side by side. A folder of sources that has no rank fails too.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
    seams) echo 0 ;; capture) echo 1 ;; decode) echo 2 ;; io) echo 3 ;; analysis) echo 4 ;;
    formats) echo 5 ;; portsetup) echo 6 ;; headless) echo 7 ;; monitor) echo 8 ;;
    native | port | metrics) echo 9 ;;
    app | cli) echo 10 ;; *) echo -1 ;;
    esac
}

layers=(seams capture decode io analysis formats portsetup headless monitor native port metrics app cli)

status=0
# Every top folder that holds product sources has its place in the order.
for dir in */; do
    dir=${dir%/}
    case "$dir" in tests | bench | tools | build* | resources | docs) continue ;; esac
    if [ "$(rank "$dir")" -lt 0 ] &&
        [ -n "$(find "$dir" -name '*.cpp' -o -name '*.h' | head -n 1)" ]; then
        echo "layer missing: $dir/ has sources but no place in the layer order" >&2
        status=1
    fi
done
for layer in "${layers[@]}"; do
    own=$(rank "$layer")
    while IFS= read -r hit; do
        file=${hit%%:*}
        included=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$hit")
        theirs=$(rank "$included")
        if [ "$theirs" -gt "$own" ]; then
            echo "layer violation: $file includes $included/ (above $layer/)" >&2
            status=1
        fi
    done < <(grep -rHE '^\s*#\s*include "[a-z_]+/' "$layer" --include='*.h' --include='*.cpp' || true)
done
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
