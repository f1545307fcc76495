#!/usr/bin/env bash
# Makes the README's screenshots: Quellbox with several entries, some of them blocked, in code
# page 936 (docs/screenshot.png) or, with QUELLBOX_CODE_PAGE=1252, in English
# (docs/screenshot-en.png).
set -euo pipefail
CDPATH='' cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
. tools/wine-env.sh
cmake --preset "$QUELLBOX_PRESET" >/dev/null
cmake --build --preset "$QUELLBOX_PRESET" --target Quellbox
quellbox_prefix

demo=$QUELLBOX_BUILD/demo
mkdir -p "$demo"
cp "$QUELLBOX_BUILD/bin/Quellbox.exe" "$demo/"
printf '%s\r\n' '[Setting]' \
  'N0=Adobe Flash Player' 'S0=D27CDB6E-AE6D-11CF-96B8-444553540000' \
  'N1=Windows Media Player' 'S1=6BF52A52-394A-11D3-B153-00C04F79FAA6' \
  'N2=Microsoft Silverlight' 'S2=DFEAF541-F3E1-4C24-ACAC-99C30715084A' \
  'N3=QuickTime' 'S3=02BF25D5-8C17-4B23-BC80-D3488ABDDC6B' \
  'N4=Shockwave Player' 'S4=166B1BCA-3F9C-11CF-8075-444553540000' \
  'N5=Adobe Reader' 'S5=CA8A9780-280D-11CF-A24D-444553540000' > "$demo/Quellbox.ini"
key='HKLM\Software\Microsoft\Internet Explorer\ActiveX Compatibility'
for clsid in D27CDB6E-AE6D-11CF-96B8-444553540000 02BF25D5-8C17-4B23-BC80-D3488ABDDC6B \
             166B1BCA-3F9C-11CF-8075-444553540000; do
  for view in 32 64; do
    wine reg add "$key\\{$clsid}" /v "Compatibility Flags" /t REG_DWORD /d 1024 /f /reg:$view >/dev/null
  done
done
# Let the server end on its own, with the values saved, before the program's session starts.
wineserver -w
shot=$QUELLBOX_ROOT/docs/screenshot.png
[ "$QUELLBOX_CODE_PAGE" = 936 ] || shot=$QUELLBOX_ROOT/docs/screenshot-en.png
QUELLBOX_RUN_EXE=$demo/Quellbox.exe QUELLBOX_SCREENSHOT=$shot \
  bash tools/run.sh
