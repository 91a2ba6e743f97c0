#!/bin/sh
# Installs what building and testing need on Debian 12, idempotently and
# without questions. Does nothing when everything is there already.
set -e
pkgs="cmake make g++ clang libclang-rt-14-dev googletest python3
g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 xvfb xauth
gobjc libgnustep-base-dev gnustep-make openjdk-17-jdk-headless
zlib1g-dev libz-mingw-w64-dev patch dpkg-dev libpng-dev icoutils osslsigncode openssl
librapidxml-dev locales junit4"
# Wanted, not needed: the HotSpot tier's JavaFX test reports itself skipped
# where these cannot be had.
optional="openjfx"

installed() {
    case "$1" in wine32) q="wine32:i386" ;; *) q="$1" ;; esac
    dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed"
}
missing=""
for p in $pkgs; do
    installed "$p" || missing="$missing $p"
done
missing_optional=""
for p in $optional; do
    installed "$p" || missing_optional="$missing_optional $p"
done
# Wine takes its ANSI code page from the host's locale, and only from one
# the C library has: the double-byte tests run under ja_JP.UTF-8 (932).
japanese_locale() {
    if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
        $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || echo "could not generate ja_JP.UTF-8" >&2
    fi
}

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -z "$missing$missing_optional" ]; then
    japanese_locale
    exit 0
fi

echo "installing:$missing$missing_optional"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then: try again, and go on
# with the lists that did arrive (the install below fails clearly if a
# package is really missing).
for attempt in 1 2 3; do
    $SUDO apt-get update -q && break
    echo "apt-get update failed (attempt $attempt); retrying" >&2
    sleep 5
done
if [ -n "$missing" ] && ! $SUDO apt-get install -y -q $missing; then
    # With one architecture's security index missing, apt wants a newer
    # amd64 library than the i386 copy it can see; the release's own
    # versions are consistent across both.
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "retrying with the versions of $codename itself" >&2
    $SUDO apt-get install -y -q -t "$codename" $missing
fi
if [ -n "$missing_optional" ] && ! $SUDO apt-get install -y -q --no-install-recommends $missing_optional; then
    echo "could not install$missing_optional: the tests that need it report themselves skipped" >&2
fi
japanese_locale
