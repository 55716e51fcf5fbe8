#!/bin/sh
# Installs what building and testing Sentrel needs on a Debian machine:
# the mingw-w64 cross compilers, CMake, Wine, an X server for tests, the
# GoogleTest sources, NSIS for the installer, openssl and osslsigncode for
# the signed test samples and fonts for names in every
# script. Quiet and quick when everything is present.
set -e

need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
         wine wine64 xvfb x11-apps imagemagick googletest xauth fonts-dejavu-core fonts-wqy-microhei \
         fonts-symbola nsis openssl osslsigncode; do
    have_pkg "$p" || need="$need $p"
done
[ -z "$need" ] && exit 0

echo "install-deps: installing$need" >&2
SUDO=""
[ "$(id -u)" = 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq </dev/null >/dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $need </dev/null >/dev/null
