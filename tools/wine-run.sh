#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix; used by ctest as the emulator.
set -euo pipefail
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
quellbox_prefix
exec "$QUELLBOX_WINE" "$@"
