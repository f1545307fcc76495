#!/usr/bin/env bash
# Checks the release package: one folder holding exactly both programs, stripped, and the
# README; and both programs start from it under Wine. Run by ctest in the tests' Wine session.
# Arguments: the package and the toolchain's nm.
set -euo pipefail
zip=$1 nm=$2
if [ ! -f "$zip" ]; then
  echo "No package $zip: build the package target first (tools/test.sh does)" >&2
  exit 1
fi
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

# Both programs in the folder are stripped.
check_stripped() {
  local exe symbols
  for exe in Quellbox.exe quellctl.exe; do
    if ! symbols=$(LC_ALL=C "$nm" "$1/$exe" 2>&1) || [ "${symbols#*no symbols}" = "$symbols" ]; then
      printf '%s in the package is not stripped (%s):\n%s\n' "$exe" "$nm" "$symbols" | head -5 >&2
      return 1
    fi
  done
}

# Both programs start from the folder: quellctl shows its usage, Quellbox its dialog.
check_starts() {
  wine "$1/quellctl.exe" /? >/dev/null
  if ! quellbox_with_window "$1/Quellbox.exe" 'Quellbox ' true; then
    echo "Quellbox.exe from the package showed no window" >&2
    return 1
  fi
}

top=$(basename "$zip" .zip)
files=$(unzip -Z1 "$zip" | sed '/\/$/d' | sort)
expected=$(printf '%s\n' "$top/Quellbox.exe" "$top/README.md" "$top/quellctl.exe" | sort)
if [ "$files" != "$expected" ]; then
  printf 'The package holds\n%s\ninstead of\n%s\n' "$files" "$expected" >&2
  exit 1
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
check_stripped "$dir/$top"
if [ "$QUELLBOX_ARCH" = x86_64 ] && [ "${top%-win32}" != "$top" ]; then
  echo "$zip: ${files//$'\n'/ }; not started: 32-bit programs are not run here (QUELLBOX_ARCH=x86_64)"
  exit 0
fi
check_starts "$dir/$top"
echo "$zip: ${files//$'\n'/ }; both programs start"
