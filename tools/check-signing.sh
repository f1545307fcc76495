#!/usr/bin/env bash
# Checks signing with a throwaway certificate, made here: the build's own signing step signs
# copies of the package's programs, of the installer's and of the installer, and each verifies
# against the throwaway CA; one byte changed breaks it; the signed programs start under Wine; a
# wrong password, a missing certificate file or osslsigncode fail naming the cause and leave no
# unsigned file. Run by ctest in the tests' Wine session.
# Arguments: the package, the installer (or ""), cmake and the signing step's arguments, whose
# certificate file is made here.
set -euo pipefail
zip=$1 msi=$2 cmake=$3
shift 3
args=("$@")
for arg in "$@"; do [[ $arg != -DPFX=* ]] || pfx=${arg#-DPFX=}; done
# shellcheck source=wine-env.sh
. "$(dirname "$0")/wine-env.sh"

dir=$(mktemp -d)
trap 'rm -rf "$dir" "$pfx"' EXIT
mkdir -p "$(dirname "$pfx")"
export QUELLBOX_SIGN_PASSWORD='throwaway "pass word"'
key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${key[@]}" -subj '/CN=Quellbox test CA' -days 1 -keyout "$dir/ca.key" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign -out "$dir/ca.pem"
openssl req "${key[@]}" -subj '/CN=Quellbox test signer' -keyout "$dir/signer.key" |
  openssl x509 -req -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -set_serial 1 -days 1 \
    -extfile <(echo extendedKeyUsage=codeSigning) -out "$dir/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$dir/signer.key" -in "$dir/signer.pem" -certfile "$dir/ca.pem" \
  -passout env:QUELLBOX_SIGN_PASSWORD -out "$pfx"

verify() { osslsigncode verify -in "$1" -CAfile "$dir/ca.pem" >"$dir/log" 2>&1; }
top=$(basename "$zip" .zip)
unzip -q "$zip" -d "$dir"
cp "$dir/$top/quellctl.exe" "$dir/unsigned.exe"
files=("$dir/$top/Quellbox.exe" "$dir/$top/quellctl.exe")
if [ -n "$msi" ]; then
  msiextract -C "$dir/msi" "$msi" >/dev/null
  cp "$msi" "$dir/Quellbox.msi"
  files+=("$dir/msi/Program Files/Quellbox/"{Quellbox,quellctl}.exe "$dir/Quellbox.msi")
fi
for file in "${files[@]}"; do
  if ! "$cmake" "-DFILE=$file" "${args[@]}" || ! verify "$file"; then
    printf '%s is not signed by the test certificate:\n%s\n' "$file" "$(cat "$dir/log")" >&2
    exit 1
  fi
done
cp "$dir/$top/quellctl.exe" "$dir/changed.exe"
byte=$(od -An -tu1 -j4096 -N1 "$dir/changed.exe")
printf %b "\\0$(printf %o $((255 - byte)))" | dd of="$dir/changed.exe" bs=1 seek=4096 conv=notrunc 2>/dev/null
if verify "$dir/changed.exe"; then
  echo "quellctl.exe with its byte 4096 changed still verifies" >&2
  exit 1
fi

# Each cause: the password, a variable of the signing step and its value, what the message says.
while IFS='|' read -r password variable value cause; do
  cp "$dir/unsigned.exe" "$dir/failed.exe"
  if QUELLBOX_SIGN_PASSWORD=$password "$cmake" "-DFILE=$dir/failed.exe" \
       "${args[@]/#-D$variable=*/-D$variable=$value}" >"$dir/log" 2>&1 </dev/null ||
     [ -e "$dir/failed.exe" ] || [[ $(tr -s '\n ' ' ' <"$dir/log") != *"$cause"* ]]; then
    printf 'Signing with %s=%s and the password "%s" did not fail naming "%s" and removing the file:\n%s\n' \
      "$variable" "$value" "$password" "$cause" "$(cat "$dir/log")" >&2
    exit 1
  fi
done <<EOF
wrong|PFX|$pfx|wrong password: the password in QUELLBOX_SIGN_PASSWORD does not open $pfx
|PFX|$pfx|$pfx needs a password, and QUELLBOX_SIGN_PASSWORD is not set
$QUELLBOX_SIGN_PASSWORD|PFX|$dir/none.pfx|certificate file $dir/none.pfx (QUELLBOX_SIGN_PFX) cannot be read
$QUELLBOX_SIGN_PASSWORD|OSSLSIGNCODE|$dir/none|osslsigncode is not installed
EOF

if [ "$QUELLBOX_ARCH" = x86_64 ] && [ "${top%-win32}" != "$top" ]; then
  echo "${#files[@]} files signed and verified; not started: 32-bit programs are not run here"
  exit 0
fi
wine "$dir/$top/quellctl.exe" /? >/dev/null
if ! quellbox_with_window "$dir/$top/Quellbox.exe" 'Quellbox ' true; then
  echo "The signed Quellbox.exe showed no window" >&2
  exit 1
fi
echo "${#files[@]} files signed and verified, the changed copy fails, both signed programs start"
