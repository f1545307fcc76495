#!/usr/bin/env bash
# Builds and runs the benchmark under Wine; prints a Markdown table.
set -euo pipefail
CDPATH='' cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
. tools/wine-env.sh
cmake --preset "$QUELLBOX_PRESET" >/dev/null
# The benchmark starts Quellbox.exe and reports the size of both programs.
cmake --build --preset "$QUELLBOX_PRESET" --target quellbox_bench Quellbox quellctl >/dev/null
quellbox_in_session wine "$QUELLBOX_BUILD/bin/quellbox_bench.exe"
