#!/usr/bin/env bash
# Signs Windows programs in place (Authenticode, osslsigncode) when a signing key is given, and
# does nothing otherwise: the build calls it for tavlo.exe and SDL2.dll, makensis for the
# installer and its uninstaller. The key and its certificate stay outside the tree, named by:
#   TAVLO_SIGN_KEY    the private key (PEM or DER)
#   TAVLO_SIGN_CERT   its certificate chain (PEM, or SPC)
#   TAVLO_SIGN_PASS   optional: a file holding the key's password
#   TAVLO_SIGN_TIMESTAMP  optional: a timestamp server's address
#   scripts/sign-windows.sh FILE...
set -euo pipefail
if [ -z "${TAVLO_SIGN_KEY:-}" ] || [ -z "${TAVLO_SIGN_CERT:-}" ]; then
    exit 0
fi
options=(-certs "$TAVLO_SIGN_CERT" -key "$TAVLO_SIGN_KEY" -h sha256 -n Tavlo -i https://tavlo.org/)
[ -n "${TAVLO_SIGN_PASS:-}" ] && options+=(-readpass "$TAVLO_SIGN_PASS")
[ -n "${TAVLO_SIGN_TIMESTAMP:-}" ] && options+=(-ts "$TAVLO_SIGN_TIMESTAMP")
for file in "$@"; do
    rm -f "$file.signed"
    osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null
    mv "$file.signed" "$file"
done
