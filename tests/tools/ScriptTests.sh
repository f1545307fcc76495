#!/usr/bin/env bash
# ShellCheck over the scripts; then their branches for both kinds of machine, whichever kind
# runs this, with stand-ins for Wine, xwininfo and nm on PATH that record how they were called.
set -euo pipefail
root=$(CDPATH='' cd "$(dirname "$0")/../.." && pwd)
cd "$root"
shellcheck -x -P SCRIPTDIR tools/*.sh .ci/run tests/tools/*.sh

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat >"$tmp/stub" <<'EOF'
#!/usr/bin/env bash
# Records each call as "name process-id arguments". Quellbox.exe shows its window and runs
# until it is ended; xwininfo lists more after the window, so that grep -q leaves it unread.
echo "${0##*/} $$ $*" >>"$STUB_LOG"
case "${0##*/} ${1:-}" in
  "nm "*) echo "$1: no symbols" ;;
  "xwininfo "*) cat "$tmp/windows" 2>/dev/null; seq 100000 ;;
  *" wineboot") mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"; [ -z "${STUB_FAIL:-}" ] ;;
  *Quellbox.exe)
    trap 'echo "ended $$" >>"$STUB_LOG"; rm "$tmp/windows"; kill $!; exit' TERM
    echo '0x400001 "Quellbox test": ("Quellbox.exe" "Quellbox.exe")' >"$tmp/windows"
    sleep 60 & wait ;;
esac
EOF
mkdir "$tmp/bin" "$tmp/cdpath" "$tmp/cdpath/tools" "$tmp/Quellbox-1-win32"
for name in wine wine64 wineserver xwininfo nm; do ln -s ../stub "$tmp/bin/$name"; done
chmod +x "$tmp/stub"
touch "$tmp/Quellbox-1-win32/"{Quellbox.exe,quellctl.exe,README.md}
(cd "$tmp" && cmake -E tar cf Quellbox-1-win32.zip --format=zip Quellbox-1-win32)
export PATH=$tmp/bin:$PATH tmp
unset WINELOADER

fail() { printf '%s: %s; the calls:\n' "$QUELLBOX_ARCH" "$1" >&2; cat "$STUB_LOG" >&2; exit 1; }
# The process a script started for Quellbox.exe was the loader's own, and the script ended it.
ended_own() {
  local pid
  pid=$(sed -n "s/^$loader \([0-9]*\) .*Quellbox\.exe$/\1/p" "$STUB_LOG")
  { [ -n "$pid" ] && grep -qx "ended $pid" "$STUB_LOG"; } || fail "$1 did not end the program it started"
}

for arch in i686 x86_64; do
  (
    export QUELLBOX_ARCH=$arch WINEPREFIX=$tmp/$arch/prefix STUB_LOG=$tmp/$arch.log
    loader=wine
    [ "$arch" = i686 ] || loader=wine64
    # Sourced again, as a shell may ("wine" is a function by then), with an exported CDPATH
    # holding a tools folder, where a bare cd goes astray.
    . tools/wine-env.sh
    CDPATH=$tmp/cdpath . tools/wine-env.sh
    [ "$QUELLBOX_ROOT" = "$root" ] || fail "QUELLBOX_ROOT is $QUELLBOX_ROOT"

    STUB_FAIL=1 quellbox_prefix 2>/dev/null && fail "a failed wineboot passed"
    [ ! -e "$WINEPREFIX/.quellbox-ready" ] || fail "a failed wineboot left the prefix marked ready"
    { quellbox_prefix && quellbox_prefix && [ -e "$WINEPREFIX/.quellbox-ready" ]; } || fail "no prefix"
    [ "$(grep -c "^$loader [0-9]* wineboot" "$STUB_LOG")" = 2 ] ||
      fail "the prefix was not made by $loader once after the failed try"

    : >"$STUB_LOG"
    quellbox_with_window "$tmp/Quellbox.exe" 'Quellbox ' true || fail "no window"
    ended_own quellbox_with_window

    # A 32-bit prefix (WINEARCH=win32), only for 32-bit Wine: the program runs in a Wine session
    # of its own, whose server is ended after it.
    : >"$STUB_LOG"
    if WINEARCH=win32 WINEPREFIX=$tmp/$arch/win32 DISPLAY=:99 \
      bash tools/wine-run.sh --session test.exe 2>/dev/null; then
      { [ "$arch" = i686 ] && [ -e "$tmp/$arch/win32/.quellbox-ready" ] &&
        [ "$(tail -n 2 "$STUB_LOG" | cut -d ' ' -f 1,3- | paste -sd ';')" = "wine test.exe;wineserver -k" ]; } ||
        fail "a program in a 32-bit prefix ran under 64-bit Wine, or in no session of its own"
    else
      { [ "$arch" = x86_64 ] && [ ! -s "$STUB_LOG" ]; } || fail "no program ran in a 32-bit prefix, or 64-bit Wine started"
    fi

    : >"$STUB_LOG"
    out=$(bash tools/check-package.sh "$tmp/Quellbox-1-win32.zip" "$tmp/bin/nm") || fail "$out"
    if [ "$arch" = i686 ]; then
      ended_own tools/check-package.sh
    elif grep -q "^$loader .*Quellbox\.exe" "$STUB_LOG"; then
      fail "tools/check-package.sh started a 32-bit program"
    fi
  )
done
