# shellcheck shell=bash
# Sourced by the scripts that run Windows programs: one private Wine prefix under the build
# folder, code page 936 (or QUELLBOX_CODE_PAGE=1252, where Quellbox speaks English), and no
# Wine chatter.
QUELLBOX_ROOT=$(CDPATH='' cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$QUELLBOX_ROOT/build/wineprefix}
# Wine takes each program's ANSI code page from the locale it starts in.
export QUELLBOX_CODE_PAGE=${QUELLBOX_CODE_PAGE:-936}
case $QUELLBOX_CODE_PAGE in
  936) export LC_ALL=zh_CN.UTF-8 ;;
  1252) export LC_ALL=C.UTF-8 ;;
  *) echo "QUELLBOX_CODE_PAGE=$QUELLBOX_CODE_PAGE: only 936 and 1252 are set up" >&2; return 1 ;;
esac
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Most x86-64 kernels run 32-bit x86 code, and with it 32-bit Wine; some virtual machines cannot
# run it at all (an emulator registered for it is far too slow to test with). There the tests are
# built for x86-64 and run under 64-bit Wine; the product still ships as its i686 build.
quellbox_runs_i386() {
  [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
if [ -z "${QUELLBOX_ARCH:-}" ]; then
  if quellbox_runs_i386; then QUELLBOX_ARCH=i686; else QUELLBOX_ARCH=x86_64; fi
fi
export QUELLBOX_ARCH
# QUELLBOX_WINE is the loader's file, never the function "wine" below (type -P looks at files
# only, also when this is sourced again): started in the background, its process id is then
# the program's own.
# shellcheck disable=SC2034 # QUELLBOX_PRESET and QUELLBOX_BUILD are for the scripts sourcing this
if [ "$QUELLBOX_ARCH" = x86_64 ]; then
  if [ "${WINEARCH:-}" = win32 ]; then
    echo "A 32-bit prefix (WINEARCH=win32) needs 32-bit Wine, and so QUELLBOX_ARCH=i686" >&2
    return 1
  fi
  # Debian's "wine" prefers the 32-bit loader whenever it is installed, so the 64-bit one is
  # started itself: from PATH, else from where Debian keeps it.
  QUELLBOX_WINE=$(PATH=$PATH:/usr/lib/wine type -P wine64) || true
  export WINELOADER=$QUELLBOX_WINE
  QUELLBOX_PRESET=mingw64
  QUELLBOX_BUILD=$QUELLBOX_ROOT/build64
else
  QUELLBOX_WINE=$(type -P wine) || true
  QUELLBOX_PRESET=mingw
  QUELLBOX_BUILD=$QUELLBOX_ROOT/build
fi
if [ -z "$QUELLBOX_WINE" ]; then
  echo "No Wine loader for $QUELLBOX_ARCH programs found: tools/bootstrap.sh installs Wine" >&2
  return 1
fi
wine() { "$QUELLBOX_WINE" "$@"; }

# Creates the prefix on first use, and marks it ready only once all of it worked: a prefix
# left half made is made again next time. Without a window manager Wine waits 2 s whenever a
# window is hidden unless its windows are unmanaged.
quellbox_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/.quellbox-ready" ] && exit 0
    local log=$WINEPREFIX.log
    if ! wine wineboot -i >"$log" 2>&1; then
      echo "Creating the Wine prefix $WINEPREFIX failed (wineboot -i); its output is in $log" >&2
      exit 1
    fi
    if ! wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$log" 2>&1; then
      echo "Setting up the Wine prefix $WINEPREFIX failed (wine reg add); see $log" >&2
      exit 1
    fi
    wineserver -w
    touch "$WINEPREFIX/.quellbox-ready"
  ) 9>"$WINEPREFIX.lock" || return 1
  # Caption buttons are drawn with Marlett. Wine does not find it among its own fonts here
  # (fonts-wine puts it in /usr/share/wine/fonts), only in the prefix's Fonts folder; without
  # it the buttons show as the letters "0", "1" and "r".
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}

# Starts a fresh Wine session on the current display: a server that outlives each program, and
# Wine's own services (explorer's desktop among them) started here with no output to hold open
# and on this display, not on the one of an earlier session.
quellbox_session() {
  wineserver -k 2>/dev/null || true
  quellbox_prefix || return 1
  wineserver -p 60
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Runs a command (or one of these functions) in a fresh Wine session, ends the session and
# returns the command's status. Windows need an X server: without a display the command runs
# on a virtual one, on the first free display number, with Xvfb's errors shown.
quellbox_in_session() {
  # shellcheck disable=SC2016 # expanded by the inner shell, which sources this file first
  local run=(bash -c '. "$0"; quellbox_session || exit 1; status=0; "$@" || status=$?
                      wineserver -k 2>/dev/null || true; exit $status' "${BASH_SOURCE[0]}" "$@")
  if [ -n "${DISPLAY:-}" ]; then
    "${run[@]}"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
  fi
}

# Waits for a window whose title begins with the given text ("Quellbox " for the main dialog,
# which the window class "Quellbox.exe" does not match), as long as the program with the given
# process id runs; fails when the program ends first (or, should it hang, after 5 minutes).
# xwininfo's output is read whole: piped to grep -q, whose early exit can end xwininfo with
# SIGPIPE, the pipe fails under pipefail even when the title is there.
quellbox_wait_window() {
  local pid=$1 title=$2 tree
  for _ in $(seq 1 600); do
    tree=$(xwininfo -root -tree 2>/dev/null) || true
    [[ $tree == *"\"$title"* ]] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.5
  done
  return 1
}

# Starts a program, waits for its window, runs the given command and ends the program again.
# Without the window it runs nothing and fails.
quellbox_with_window() {
  local exe=$1 title=$2 app status=0
  shift 2
  "$QUELLBOX_WINE" "$exe" &
  app=$!
  if quellbox_wait_window "$app" "$title"; then
    "$@" || status=$?
  else
    echo "$exe showed no window titled \"$title...\"" >&2
    status=1
  fi
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  return $status
}

# Saves a picture of the screen, cut to what is drawn.
quellbox_grab() {
  sleep 3 # for the dialog to paint its rows
  import -window root png:- | convert - -trim +repage "$1"
}
