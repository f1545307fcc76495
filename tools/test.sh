#!/usr/bin/env bash
# Builds Quellbox and its tests and runs every test under Wine, installing what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw

. tools/wine-env.sh

quellbox_prefix
# One wineserver for the whole run, and one X server when there is no display.
wineserver -p 60 || true
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset mingw "$@"
fi
exec ctest --preset mingw "$@"
