#!/usr/bin/env bash
# Installs what building, running and testing Quellbox under Wine needs, when it is missing:
# the i386 architecture, MinGW-w64 for i686 and for x86-64, 32- and 64-bit Wine (a 64-bit prefix, as on 64-bit
# Windows), Xvfb, CMake, GoogleTest's sources, CJK fonts, Wine's Marlett, unzip, ShellCheck,
# wixl and msitools (the installer is built and read with them), osslsigncode and openssl (signing)
# and the zh_CN.UTF-8 locale.
set -euo pipefail

if ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
  dpkg --add-architecture i386
fi

need=()
for p in cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
         g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine32:i386 wine64 \
         xvfb xauth x11-utils imagemagick fonts-wqy-microhei fonts-wine locales googletest \
         clang-format unzip shellcheck wixl msitools osslsigncode openssl; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep 'install ok installed' >/dev/null || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${need[@]}"
fi

# Wine maps non-ASCII file names only through a real zh_CN.UTF-8 locale on this side.
if ! locale -a 2>/dev/null | grep -i '^zh_CN\.utf-\?8$' >/dev/null; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
