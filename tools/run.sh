#!/usr/bin/env bash
# Builds Quellbox and starts it under Wine, installing what is missing. Without a display it
# runs on a virtual X server, saves a screenshot of the dialog and closes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh

cmake --preset mingw >/dev/null
cmake --build --preset mingw --target Quellbox

. tools/wine-env.sh
exe=${QUELLBOX_RUN_EXE:-build/bin/Quellbox.exe}

if [ -n "${DISPLAY:-}" ]; then
  quellbox_session
  exec wine "$exe"
fi

shot=${QUELLBOX_SCREENSHOT:-$QUELLBOX_ROOT/build/screenshot.png}
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
quellbox_session
wine "$exe" &
app=$!
# Wait for the dialog's window to appear, then give it a moment to paint.
for _ in $(seq 1 60); do
  if xwininfo -root -tree 2>/dev/null | grep -q 'Quellbox'; then break; fi
  sleep 0.5
done
sleep 2
import -window root png:- | convert - -trim +repage "$shot"
echo "Quellbox is running on a virtual display; screenshot saved to $shot"
kill $app 2>/dev/null || true
wineserver -k 2>/dev/null || true
