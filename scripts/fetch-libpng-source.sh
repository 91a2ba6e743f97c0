#!/bin/sh
# fetch-libpng-source.sh DEST
# Brings Debian's source of the very libpng that the Linux packer links
# (libpng-dev's version, with Debian's patches applied), for the Windows
# packer's static build: the same decoder on both hosts is what makes their
# splash bitmaps byte-identical. Uses a private package list under DEST and
# leaves the system's apt configuration alone. Does nothing when DEST already
# holds that version.
set -eu
mkdir -p "$1"
dest=$(cd "$1" && pwd)
version=$(dpkg-query -W -f='${Version}' libpng-dev 2>/dev/null) || {
    echo "fetch-libpng-source: libpng-dev is not installed (scripts/install-deps.sh)" >&2
    exit 1
}
upstream=${version%%-*}
tree="$dest/libpng-$upstream"
stamp="$dest/libpng.version"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -f "$tree/png.c" ]; then
    exit 0
fi

rm -rf "$dest"
mkdir -p "$dest/apt/lists/partial" "$dest/download"
# The source indexes of the very archives and suites the system's binary
# packages come from, as apt itself lists them.
apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' 2>/dev/null |
    sort -u | while read -r uri suite component; do
        if [ -n "$component" ]; then echo "deb-src $uri $suite $component"; fi
    done > "$dest/apt/sources.list"
if [ ! -s "$dest/apt/sources.list" ]; then
    echo "fetch-libpng-source: apt lists no package archive to ask for the source" >&2
    exit 1
fi
apt_opts="-o Dir::Etc::SourceList=$dest/apt/sources.list -o Dir::Etc::SourceParts=/dev/null -o Dir::State::Lists=$dest/apt/lists -o APT::Sandbox::User=root"
echo "fetching the source of libpng $version"
for attempt in 1 2 3; do
    # shellcheck disable=SC2086
    apt-get -q $apt_opts update >/dev/null && break
    echo "source index update failed (attempt $attempt); retrying" >&2
    sleep 5
done
# shellcheck disable=SC2086
(cd "$dest/download" && apt-get -q $apt_opts source --download-only "libpng1.6=$version" >/dev/null)

orig=$(ls "$dest/download"/libpng1.6_"$upstream".orig.tar.* | head -n 1)
debian=$(ls "$dest/download"/libpng1.6_"$version".debian.tar.* 2>/dev/null | head -n 1 || true)
case "$debian" in "") debian=$(ls "$dest/download"/libpng1.6_*.debian.tar.* | head -n 1) ;; esac
tar -xf "$orig" -C "$dest"
tar -xf "$debian" -C "$tree"
# Debian's patches in their order; commented entries stay off as in Debian's build.
grep -v '^[[:space:]]*#' "$tree/debian/patches/series" | while read -r name _; do
    [ -n "$name" ] || continue
    patch -s -p1 -d "$tree" < "$tree/debian/patches/$name"
done
echo "$version" > "$stamp"
echo "libpng $version source ready in $tree"
