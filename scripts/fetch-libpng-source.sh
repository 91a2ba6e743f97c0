#!/bin/sh
# fetch-libpng-source.sh DEST
# Brings Debian's source of libpng (with Debian's patches applied) into DEST.
# Both packers, the Linux one and the Windows one, build their PNG decoder
# from this one tree, so a splash PNG becomes the same bitmap on both hosts
# by construction, whatever libpng the machine has installed.
#
# The archive's source index may list a version whose files it does not
# serve (a security update ahead of its source), so the versions are tried
# in the order scripts/source-versions.sh gives: the installed libpng-dev's
# first, then others of the same upstream release, then any other. The build
# output says which one was taken. Uses a private package list under DEST and
# leaves the system's apt configuration alone. Does nothing when DEST already
# holds a source tree; remove DEST to fetch again.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
package=libpng1.6
mkdir -p "$1"
dest=$(cd "$1" && pwd)
stamp="$dest/libpng.version"
if [ -f "$stamp" ]; then
    have=$(cat "$stamp")
    have_upstream=${have#*:}
    have_upstream=${have_upstream%-*}
    if [ -f "$dest/libpng-$have_upstream/png.c" ]; then
        exit 0
    fi
fi
installed=$(dpkg-query -W -f='${Version}' libpng-dev 2>/dev/null || true)

rm -rf "$dest"
mkdir -p "$dest/apt/lists/partial" "$dest/download"
# The source indexes of the very archives and suites the system's binary
# packages come from, as apt itself lists them.
apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' 2>/dev/null |
    sort -u | while read -r uri suite component; do
        if [ -n "$component" ]; then echo "deb-src $uri $suite $component"; fi
    done > "$dest/apt/sources.list"
if [ ! -s "$dest/apt/sources.list" ]; then
    echo "fetch-libpng-source: apt lists no package archive to ask for the source of $package" >&2
    exit 1
fi
apt_opts="-o Dir::Etc::SourceList=$dest/apt/sources.list -o Dir::Etc::SourceParts=/dev/null -o Dir::State::Lists=$dest/apt/lists -o APT::Sandbox::User=root"
# A mirror caught mid-sync fails one index now and then: try again, and go on
# with the indexes that did arrive.
for attempt in 1 2 3; do
    # shellcheck disable=SC2086
    apt-get -q $apt_opts update >/dev/null && break
    echo "source index update failed (attempt $attempt); retrying" >&2
    sleep 5
done
# shellcheck disable=SC2086
offered=$(apt-cache $apt_opts showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p')
candidates=$(echo "$offered" | "$here/source-versions.sh" "${installed:-0}")

tried=""
taken=""
for version in $candidates; do
    tried="$tried $version"
    rm -rf "$dest/download"
    mkdir -p "$dest/download"
    # shellcheck disable=SC2086
    if (cd "$dest/download" && apt-get -q $apt_opts source --download-only "$package=$version" >/dev/null 2>"$dest/download.err"); then
        taken=$version
        break
    fi
    echo "fetch-libpng-source: the source of $package $version is listed but could not be downloaded; trying the next version" >&2
    sed 's/^/    /' "$dest/download.err" >&2
done
if [ -z "$taken" ]; then
    echo "fetch-libpng-source: no source of the Debian package $package could be downloaded (installed libpng-dev: ${installed:-none}; versions tried:${tried:- none, the source indexes list none})" >&2
    exit 1
fi

upstream=${taken#*:}
upstream=${upstream%-*}
tree="$dest/libpng-$upstream"
orig=$(ls "$dest/download"/${package}_"$upstream".orig.tar.* | head -n 1)
debian=$(ls "$dest/download"/${package}_*.debian.tar.* | head -n 1)
tar -xf "$orig" -C "$dest"
tar -xf "$debian" -C "$tree"
# Debian's patches in their order; commented entries stay off as in Debian's build.
grep -v '^[[:space:]]*#' "$tree/debian/patches/series" | while read -r name _; do
    [ -n "$name" ] || continue
    patch -s -p1 -d "$tree" < "$tree/debian/patches/$name"
done
echo "$taken" > "$stamp"
if [ "$taken" = "$installed" ]; then
    echo "libpng source $taken (the installed version) ready in $tree"
else
    echo "libpng source $taken ready in $tree (installed libpng-dev is ${installed:-none}; both packers build from this source)"
fi
