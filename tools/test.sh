#!/usr/bin/env bash
# Builds Quellbox, its tests and its release package, and runs every test under Wine (the
# package's among them), installing what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
. tools/wine-env.sh
cmake --preset $QUELLBOX_PRESET >/dev/null
cmake --build --preset $QUELLBOX_PRESET
cmake --build --preset $QUELLBOX_PRESET --target package
quellbox_in_session ctest --preset $QUELLBOX_PRESET "$@"
