#!/usr/bin/env bash
# Signing, with a throwaway certificate made here: the packaging's own steps (sign-windows.sh on
# the staged tavlo.exe and SDL2.dll, makensis with the signing hooks) sign the program, SDL2.dll,
# the installer and the uninstaller it installs (under Wine, in a prefix of its own), and each
# signature verifies against that certificate.
#   signing_test.sh STAGE INSTALLER.nsi VERSION
set -euo pipefail
stage=$1 nsi=$2 version=$3
root="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tavlo-signing-XXXXXX")
export WINEPREFIX="$work/prefix" TAVLO_WINE_LINGER=0
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Tavlo throwaway test" -addext extendedKeyUsage=codeSigning 2>/dev/null
export TAVLO_SIGN_KEY="$work/key.pem" TAVLO_SIGN_CERT="$work/cert.pem"

cp -a "$stage" "$work/stage"
"$root/scripts/sign-windows.sh" "$work/stage/tavlo.exe" "$work/stage/SDL2.dll"
makensis -V1 -DVERSION="$version" -DSTAGE="$work/stage" -DOUTFILE="$work/setup.exe" \
    -DSIGN="$root/scripts/sign-windows.sh" "$nsi" >/dev/null

shared="$root/build-windows/wine"
mkdir -p "$WINEPREFIX"
[ -f "$shared/system.reg" ] && cp -a "$shared/." "$WINEPREFIX/"
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/Tavlo
"$root/scripts/wine-run.sh" "$work/setup.exe" /S
/usr/lib/wine/wineserver -w
uninstaller=$(find "$WINEPREFIX/drive_c/users" -path '*/Programs/Tavlo/uninstall.exe' | head -n 1)
[ -n "$uninstaller" ] || fail "the installer installed no uninstaller"

for file in "$work/stage/tavlo.exe" "$work/stage/SDL2.dll" "$work/setup.exe" "$uninstaller"; do
    osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$work/verify" 2>&1 ||
        fail "$(basename "$file") is not signed: $(tail -n 3 "$work/verify")"
done
echo "signing: tavlo.exe, SDL2.dll, the installer and the uninstaller signed and verified"
