#!/usr/bin/env bash
# Builds Quellbox and starts it under Wine, installing what is missing. Without a display, or
# with QUELLBOX_SCREENSHOT naming a picture to make, it runs on a virtual X server, saves a
# screenshot of the dialog and closes it again.
set -euo pipefail
CDPATH='' cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
. tools/wine-env.sh
cmake --preset "$QUELLBOX_PRESET" >/dev/null
cmake --build --preset "$QUELLBOX_PRESET" --target Quellbox
exe=${QUELLBOX_RUN_EXE:-$QUELLBOX_BUILD/bin/Quellbox.exe}

if [ -n "${DISPLAY:-}" ] && [ -z "${QUELLBOX_SCREENSHOT:-}" ]; then
  quellbox_session
  exec "$QUELLBOX_WINE" "$exe"
fi

# Even on a desktop: on a screen of its own the picture holds the dialog alone.
unset DISPLAY
shot=${QUELLBOX_SCREENSHOT:-$QUELLBOX_ROOT/build/screenshot.png}
quellbox_in_session quellbox_with_window "$exe" 'Quellbox ' quellbox_grab "$shot"
echo "Quellbox ran on a virtual display; screenshot saved to $shot"
