#!/bin/sh
# Installs what building and testing Veltrane needs on Debian, if missing.
# clang-16, lld-16 and llvm-16 build everything for Windows (MinGW-w64's
# headers and runtime and GCC's libstdc++ come with the g++-mingw-w64
# packages); clang, lld and llvm link the host programs of the integrator
# kit the way MSVC toolchains do; mono-mcs and fp-compiler check the C# and
# Pascal samples.
# libssl-dev gives the simulator TLS, openssl makes the certificates of the
# TLS tests, and Wine's Schannel is GnuTLS underneath (libgnutls30).
# mingw-w64-tools has widl, which makes the COM object's type library from
# its IDL with the system IDL files of libwine-dev.
set -eu

packages="cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
wine wine64 xvfb xauth fonts-nanum locales curl python3 chromium
clang libclang-rt-14-dev lld llvm clang-16 lld-16 llvm-16 osslsigncode mono-mcs fp-compiler libssl-dev openssl libgnutls30
mingw-w64-tools libwine-dev"

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    as_root apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends $missing
fi

# Wine needs the glibc locale to pass Korean file names and arguments intact.
if ! locale -a 2>/dev/null | grep -qi '^ko_KR.utf8$'; then
    as_root localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
fi
