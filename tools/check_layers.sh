#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, from the
# bottom: seams (the interfaces to the outside world), capture, decode, control, port, app.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
    seams) echo 0 ;; capture) echo 1 ;; decode) echo 2 ;; control) echo 3 ;; port) echo 4 ;;
    app) echo 5 ;; *) echo -1 ;;
    esac
}

status=0
for layer in seams capture decode control port app; do
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
