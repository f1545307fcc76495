#!/usr/bin/env bash
# Builds and runs the benchmark under Wine; prints a Markdown table.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target quellbox_bench >/dev/null
. tools/wine-env.sh
quellbox_prefix
wineserver -p 60 || true
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine build/bin/quellbox_bench.exe
fi
exec wine build/bin/quellbox_bench.exe
