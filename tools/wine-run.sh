#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix; used by ctest as the emulator.
# With --session first, the program gets a Wine session of its own, ended with it: for a prefix
# other than the one whose session tools/test.sh runs ctest in, whose server nothing else ends.
set -euo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" = --session ]; then
  shift
  quellbox_in_session "$QUELLBOX_WINE" "$@"
  exit
fi
quellbox_prefix
exec "$QUELLBOX_WINE" "$@"
