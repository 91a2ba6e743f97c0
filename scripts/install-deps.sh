#!/bin/sh
# Installs what building and testing need on Debian 12, idempotently and
# without questions. Does nothing when everything is there already.
set -e
pkgs="cmake make g++ clang libclang-rt-14-dev googletest python3
g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 xvfb xauth
gobjc libgnustep-base-dev gnustep-make openjdk-17-jdk-headless
zlib1g-dev libz-mingw-w64-dev patch dpkg-dev libpng-dev icoutils osslsigncode openssl
librapidxml-dev locales junit4"

missing=""
for p in $pkgs; do
    case "$p" in wine32) q="wine32:i386" ;; *) q="$p" ;; esac
    dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
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
if [ -z "$missing" ]; then
    japanese_locale
    exit 0
fi

echo "installing:$missing"
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
if ! $SUDO apt-get install -y -q $missing; then
    # With one architecture's security index missing, apt wants a newer
    # amd64 library than the i386 copy it can see; the release's own
    # versions are consistent across both.
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "retrying with the versions of $codename itself" >&2
    $SUDO apt-get install -y -q -t "$codename" $missing
fi
japanese_locale
