#!/bin/sh
# Installs what building and testing need on Debian 12, idempotently and
# without questions. Does nothing when everything is there already.
set -e
pkgs="cmake make g++ clang libclang-rt-14-dev googletest python3
g++-mingw-w64-i686 wine wine32 wine64 xvfb xauth
gobjc libgnustep-base-dev gnustep-make openjdk-17-jdk-headless"

missing=""
for p in $pkgs; do
    case "$p" in wine32) q="wine32:i386" ;; *) q="$p" ;; esac
    dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing:$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q $missing
