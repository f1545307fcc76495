# Sourced by the scripts that run Windows programs: one private Wine prefix under the build
# folder, code page 936, and no Wine chatter.
QUELLBOX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$QUELLBOX_ROOT/build/wineprefix}
export LC_ALL=zh_CN.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Creates the prefix on first use. Without a window manager Wine waits 2 s whenever a window
# is hidden unless its windows are unmanaged.
quellbox_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.quellbox-ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.quellbox-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts a fresh Wine session on the current display: a server that outlives each program, and
# Wine's own services (explorer's desktop among them) started here with no output to hold open
# and on this display, not on the one of an earlier session.
quellbox_session() {
  wineserver -k 2>/dev/null || true
  quellbox_prefix
  wineserver -p 60
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}
