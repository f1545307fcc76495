#!/usr/bin/env bash
# Checks the release package: one folder holding exactly both programs, stripped (the i686
# Quellbox.exe within 272 KB), and the README; both programs start from it under Wine; the
# installer holds the same files, upgrades an older one and uninstalls. Run by ctest in the
# tests' Wine session.
# Arguments: the package, the toolchain's nm, and optionally the installer and an older one.
set -euo pipefail
zip=$1 nm=$2 msi=${3:-} older=${4:-}
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
# The shipped dialog program stays small, both of its languages in it.
size=$(stat -c %s "$dir/$top/Quellbox.exe")
if [ "${top%-win32}" != "$top" ] && [ "$size" -gt $((272 * 1024)) ]; then
  echo "Quellbox.exe in $zip is $size bytes, more than 272 KB" >&2
  exit 1
fi
if [ -n "$msi" ] && ! { msiextract -C "$dir/msi" "$msi" && diff -r "$dir/$top" "$dir/msi/Program Files/Quellbox"; } >/dev/null; then
  echo "$msi does not hold the files of $zip" >&2
  exit 1
fi
if [ "$QUELLBOX_ARCH" = x86_64 ] && [ "${top%-win32}" != "$top" ]; then
  echo "$zip: ${files//$'\n'/ }; not started: 32-bit programs are not run here (QUELLBOX_ARCH=x86_64)"
  exit 0
fi
check_starts "$dir/$top"
echo "$zip: ${files//$'\n'/ }; both programs start"
[ -n "$msi" ] || exit 0

# The list file that quellctl.exe writes beside itself, and the kill bit it sets, outlive the
# programs. Windows' own commands, as an administrator runs them.
installed=$(wine cmd /c 'echo %ProgramFiles%\Quellbox' | tr -d '\r')
unix=$(wine winepath -u "$installed")
clsid=5E5E0009-0000-0000-0000-000000000001
key="HKLM\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{$clsid}"
trap 'rm -rf "$dir" "$unix"; wine reg delete "$key" /f >/dev/null 2>&1 || true
      wine msiexec /x "$msi" /qn || true; wine msiexec /x "$older" /qn || true' EXIT
installation() { # each installed Quellbox's version and publisher, and the shortcut
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' |
    sed -n '/DisplayName *REG_SZ *Quellbox$/,/^$/s/^ *\(DisplayVersion\|Publisher\) *REG_SZ *//p'
  find "$WINEPREFIX/drive_c" -name Quellbox.lnk -printf 'shortcut\n'
}
wine msiexec /i "$older" /qn
# A list written beside the programs outlives the upgrade as well as the removal.
wine "$installed\quellctl.exe" block --add Package "{$clsid}" >/dev/null
wine msiexec /i "$msi" /qn
version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
if [ "$(installation)" != "$(printf '%s\n' "$version" 'the Quellbox developers' shortcut)" ]; then
  printf '%s did not upgrade %s; installed:\n%s\n' "$msi" "$older" "$(installation)" >&2
  exit 1
fi
wine "$installed\quellctl.exe" check "{$clsid}" >/dev/null
wine msiexec /x "$msi" /qn
left="$(ls "$unix")$(installation)"
if [ "$left" != Quellbox.ini ] || ! wine reg query "$key" /v 'Compatibility Flags' | grep 0x400 >/dev/null; then
  echo "Uninstalling $msi left \"$left\" instead of only Quellbox.ini and the kill bit" >&2
  exit 1
fi
echo "$msi: the same files; upgrades $(basename "$older"), runs, uninstalls, keeps the list"
