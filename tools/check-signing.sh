#!/usr/bin/env bash
# Signs copies of the package's and the installer's programs and of the installer with the build's
# signing step and a throwaway certificate; checks them against its CA, a changed byte, a start
# under Wine and each failure's message. Run by ctest in the tests' Wine session.
# Arguments: the package, the installer or "", cmake and the signing step's arguments (-DPFX=...).
set -euo pipefail
zip=$1 msi=$2 cmake=$3 args=("${@:4}") dir=$(mktemp -d)
for arg in "${args[@]}"; do [[ $arg != -DPFX=* ]] || pfx=${arg#-DPFX=}; done
trap 'rm -rf "$dir" "$pfx"' EXIT
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"
export QUELLBOX_SIGN_PASSWORD='throwaway "pass word"'
new=(openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -config /dev/null)
"${new[@]}" -subj /CN=CA -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
  -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
"${new[@]}" -subj /CN=Signer -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -addext extendedKeyUsage=codeSigning \
  -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
mkdir -p "$(dirname "$pfx")"
openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -certfile "$dir/ca.pem" \
  -passout env:QUELLBOX_SIGN_PASSWORD -out "$pfx"
verify() { osslsigncode verify -in "$1" -CAfile "$dir/ca.pem" >"$dir/log" 2>&1; }

top=$dir/$(basename "$zip" .zip)
unzip -q "$zip" -d "$dir"
cp "$top/quellctl.exe" "$dir/unsigned.exe"
files=("$top/Quellbox.exe" "$top/quellctl.exe")
if [ -n "$msi" ]; then
  msiextract -C "$dir/msi" "$msi" >/dev/null && cp "$msi" "$dir/Quellbox.msi"
  files+=("$dir/msi/Program Files/Quellbox/"{Quellbox,quellctl}.exe "$dir/Quellbox.msi")
fi
for file in "${files[@]}"; do
  if ! { "$cmake" "-DFILE=$file" "${args[@]}" && verify "$file"; }; then cat "$dir/log"; exit 1; fi
done
cp "$top/quellctl.exe" "$dir/changed.exe"
printf %b "\\0$(printf %o $((255 - $(od -An -tu1 -j4096 -N1 "$dir/changed.exe"))))" |
  dd of="$dir/changed.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
! verify "$dir/changed.exe" || { echo "A signed program with a byte changed verifies" >&2; exit 1; }

# Each failure (password, a variable of the step and its value, the cause named) removes the file.
while IFS='|' read -r password variable value cause; do
  cp "$dir/unsigned.exe" "$dir/failed.exe"
  if QUELLBOX_SIGN_PASSWORD=$password "$cmake" "-DFILE=$dir/failed.exe" \
       "${args[@]/#-D$variable=*/-D$variable=$value}" >"$dir/log" 2>&1 </dev/null ||
     [ -e "$dir/failed.exe" ] || [[ $(tr -s '\n ' ' ' <"$dir/log") != *"$cause"* ]]; then
    echo "No failure naming \"$cause\" that removes the file ($variable=$value):" >&2
    cat "$dir/log" >&2; exit 1
  fi
done <<EOF
wrong|PFX|$pfx|wrong password: the password in QUELLBOX_SIGN_PASSWORD does not open $pfx
|PFX|$pfx|$pfx needs a password, and QUELLBOX_SIGN_PASSWORD is not set
$QUELLBOX_SIGN_PASSWORD|PFX|$dir/none.pfx|certificate file $dir/none.pfx (QUELLBOX_SIGN_PFX) cannot be read
$QUELLBOX_SIGN_PASSWORD|OSSLSIGNCODE|$dir/none|osslsigncode is not installed
EOF

if [ "$QUELLBOX_ARCH" = x86_64 ] && [ "${top%-win32}" != "$top" ]; then
  echo "${#files[@]} files signed and verified; 32-bit programs are not started here"
  exit 0
fi
wine "$top/quellctl.exe" /? >/dev/null
quellbox_with_window "$top/Quellbox.exe" 'Quellbox ' true
echo "${#files[@]} files signed and verified, one changed byte fails, both signed programs start"
