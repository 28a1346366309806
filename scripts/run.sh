#!/usr/bin/env bash
# Sets up, builds, creates the database when the data directory has none, and starts Velmora.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
build="${VELMORA_BUILD_DIR:-$here/build}"
export VELMORA_DATA_DIR="${VELMORA_DATA_DIR:-$build/src/app}"
if [ ! -f "$VELMORA_DATA_DIR/clxx.mdb" ]; then
    "$build/src/cli/velmora-cli" init --data-dir "$VELMORA_DATA_DIR"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "没有显示器：在 Xvfb 中运行（xvfb-run）" >&2
    exec xvfb-run -a -s "-screen 0 1366x768x24" "$build/src/app/velmora"
fi
exec "$build/src/app/velmora"
