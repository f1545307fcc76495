#!/usr/bin/env bash
# Builds Quellbox, its tests and its release package, and runs every test under Wine (the
# package's among them), installing what is missing.
set -euo pipefail
CDPATH='' cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
. tools/wine-env.sh

# The product as it ships: the i686 build and its package.
testing=ON
[ "$QUELLBOX_PRESET" = mingw ] || testing=OFF
cmake --preset mingw -DBUILD_TESTING=$testing >/dev/null
cmake --build --preset mingw
cmake --build --preset mingw --target package
if [ "$QUELLBOX_PRESET" != mingw ]; then
  # This machine cannot run 32-bit code: the shipped package is checked as far as that goes,
  # and the tests run in the x86-64 build of the same sources.
  package=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' build/CPackConfig.cmake)
  bash tools/check-package.sh "build/$package.zip" i686-w64-mingw32-nm
  cmake --preset "$QUELLBOX_PRESET" >/dev/null
  cmake --build --preset "$QUELLBOX_PRESET"
  cmake --build --preset "$QUELLBOX_PRESET" --target package
fi
quellbox_in_session ctest --preset "$QUELLBOX_PRESET" "$@"
