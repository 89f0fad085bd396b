#!/bin/sh
# Makes a release from a clean tree: both Windows architectures built
# afresh, every test run as tools/test.sh runs them, and the ZIP made from
# those builds, signed when a certificate is given (tools/sign.sh):
#
#   [VELTRANE_SIGN_PKCS12=vendor.p12 VELTRANE_SIGN_PASSWORD=... \
#    VELTRANE_SIGN_TIMESTAMP_URL=http://...] tools/release.sh
#
# Prints where the ZIP is. A failed test stops it before the ZIP is made.
set -eu
cd "$(dirname "$0")/.."
if git rev-parse --git-dir >/dev/null 2>&1 && [ -n "$(git status --porcelain)" ]; then
    echo "release.sh: the tree has uncommitted changes; a release is made from a commit" >&2
    exit 1
fi
rm -rf build/x64 build/x86
tools/test.sh
cmake --build build/x64 --target package
zip=$(ls build/x64/package/veltrane-*-windows.zip)
sha256sum "$zip"
