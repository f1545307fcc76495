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
. "$(dirname "$0")/wine-env.sh"

top=$(basename "$zip" .zip)
files=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
expected=$(printf '%s\n' "$top/Quellbox.exe" "$top/README.md" "$top/quellctl.exe" | sort)
if [ "$files" != "$expected" ]; then
  printf 'The package holds\n%s\ninstead of\n%s\n' "$files" "$expected" >&2
  exit 1
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir"
for exe in Quellbox.exe quellctl.exe; do
  if ! symbols=$(LC_ALL=C "$nm" "$dir/$top/$exe" 2>&1) || [ "${symbols#*no symbols}" = "$symbols" ]; then
    printf '%s in the package is not stripped (%s):\n%s\n' "$exe" "$nm" "$symbols" | head -5 >&2
    exit 1
  fi
done

if [ "$QUELLBOX_ARCH" = x86_64 ] && [ "${top%-win32}" != "$top" ]; then
  echo "$zip: $(echo $files | tr '\n' ' '); not started: this machine cannot run 32-bit code"
  exit 0
fi
wine "$dir/$top/quellctl.exe" /? >/dev/null
# Started as the loader itself, so that its process id is the program's.
"$QUELLBOX_WINE" "$dir/$top/Quellbox.exe" >/dev/null 2>&1 &
app=$!
if ! quellbox_wait_window $app 'Quellbox '; then
  echo "Quellbox.exe from the package showed no window" >&2
  exit 1
fi
kill $app
echo "$zip: $(echo $files | tr '\n' ' '); both programs start"
