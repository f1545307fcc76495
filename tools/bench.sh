#!/usr/bin/env bash
# Builds and runs the benchmark under Wine; prints a Markdown table.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  bash tools/bootstrap.sh
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw --target quellbox_bench >/dev/null
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash tools/bench.sh --on-display
  fi
  exec bash tools/bench.sh --on-display
fi

. tools/wine-env.sh
quellbox_session
status=0
wine build/bin/quellbox_bench.exe || status=$?
wineserver -k 2>/dev/null || true
exit $status
