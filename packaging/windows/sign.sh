#!/usr/bin/env bash
# Signs Windows programs and installers in place with osslsigncode (Authenticode, SHA-256):
#   packaging/windows/sign.sh FILE...
# The certificate comes from the environment:
#   TOLVREN_SIGN_PKCS12          a PKCS#12 file (.pfx/.p12) with the certificate and its key
#   TOLVREN_SIGN_PASSWORD_FILE   a file holding the key's password (optional)
#   TOLVREN_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server (optional; with one, the signature
#                                stays valid after the certificate expires)
# make-installer.sh calls this for every program and, through makensis, for the uninstaller and
# the installer, but only when TOLVREN_SIGN_PKCS12 is set.
set -euo pipefail

: "${TOLVREN_SIGN_PKCS12:?sign.sh: set TOLVREN_SIGN_PKCS12 to the certificate (.pfx/.p12)}"
[[ -r $TOLVREN_SIGN_PKCS12 ]] || { echo "sign.sh: cannot read $TOLVREN_SIGN_PKCS12" >&2; exit 1; }
options=(-pkcs12 "$TOLVREN_SIGN_PKCS12" -h sha256 -n Tolvren)
[[ -n ${TOLVREN_SIGN_PASSWORD_FILE:-} ]] && options+=(-readpass "$TOLVREN_SIGN_PASSWORD_FILE")
[[ -n ${TOLVREN_SIGN_TIMESTAMP_URL:-} ]] && options+=(-ts "$TOLVREN_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    rm -f "$file.signed"
    osslsigncode sign "${options[@]}" -in "$file" -out "$file.signed" >/dev/null ||
        { rm -f "$file.signed"; echo "sign.sh: signing $file failed" >&2; exit 1; }
    mv -f "$file.signed" "$file"
done
