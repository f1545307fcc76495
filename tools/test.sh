#!/usr/bin/env bash
# Builds Quellbox and its tests and runs every test under Wine, installing what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  bash tools/bootstrap.sh
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw
  # Windows need an X server: a virtual one when there is no display.
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash tools/test.sh --on-display "$@"
  fi
  exec bash tools/test.sh --on-display "$@"
fi
shift

. tools/wine-env.sh
quellbox_session
status=0
ctest --preset mingw "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
