#!/bin/sh
# Signs Windows DLLs and programs in place with Authenticode (osslsigncode),
# with a vendor's code-signing certificate, so that SmartScreen, AppLocker
# and WDAC policies and endpoint security products can tell who made them
# and that nobody changed them since:
#
#   VELTRANE_SIGN_PKCS12=vendor.p12 VELTRANE_SIGN_PASSWORD=... \
#   [VELTRANE_SIGN_TIMESTAMP_URL=http://timestamp.example.com] tools/sign.sh FILE...
#
# SHA-256 digests. With a timestamp URL the signature carries an RFC 3161
# timestamp from that authority, and stays valid after the certificate
# expires. Without VELTRANE_SIGN_PKCS12 nothing is signed: the script says
# so and succeeds (an unsigned release, as 1.0 was).
set -eu
if [ -z "${VELTRANE_SIGN_PKCS12:-}" ]; then
    echo "sign.sh: VELTRANE_SIGN_PKCS12 not set: UNSIGNED: $*"
    exit 0
fi
[ -r "$VELTRANE_SIGN_PKCS12" ] || { echo "sign.sh: cannot read $VELTRANE_SIGN_PKCS12" >&2; exit 1; }

# The password goes to osslsigncode in a file only this user can read,
# not on its command line, where other users' ps would see it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(umask 077 && printf '%s' "${VELTRANE_SIGN_PASSWORD:-}" >"$work/password")

for file in "$@"; do
    # shellcheck disable=SC2086
    osslsigncode sign -pkcs12 "$VELTRANE_SIGN_PKCS12" -readpass "$work/password" -h sha256 \
        -n "Veltrane" ${VELTRANE_SIGN_TIMESTAMP_URL:+-ts "$VELTRANE_SIGN_TIMESTAMP_URL"} \
        -in "$file" -out "$work/signed" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
    mv "$work/signed" "$file"
    echo "sign.sh: signed $file"
done
