#!/usr/bin/env bash
# Builds and runs the benchmark under Wine; prints Markdown tables. Takes a few minutes.
set -euo pipefail
CDPATH='' cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
. tools/wine-env.sh
# The benchmark is built only when asked for; the folder is put back afterwards, so that the next
# configure there (tools/test.sh's) leaves it out again.
trap 'cmake --preset "$QUELLBOX_PRESET" -DQUELLBOX_BENCHMARK=OFF >/dev/null' EXIT
cmake --preset "$QUELLBOX_PRESET" -DQUELLBOX_BENCHMARK=ON >/dev/null
# The benchmark starts Quellbox.exe and quellctl.exe and reports the size of both programs.
cmake --build --preset "$QUELLBOX_PRESET" --target quellbox_bench Quellbox quellctl >/dev/null
quellbox_in_session wine "$QUELLBOX_BUILD/bin/quellbox_bench.exe"
