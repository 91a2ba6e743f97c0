#!/bin/sh
# source-versions.sh INSTALLED < OFFERED
# Prints, one per line and in the order to try them, the source versions of a
# package worth downloading when the binary package INSTALLED is on the
# machine and the archive's source index lists OFFERED (one version per line):
#   1. INSTALLED itself, when it is offered;
#   2. other versions of the same upstream release, newest first (the
#      archive may list a security update whose files it does not serve yet,
#      or have dropped the installed one for a newer revision);
#   3. every other version, newest first.
# An index may list a version it does not serve, so the caller tries each in
# turn. Prints nothing when nothing is offered. Versions are compared as
# dpkg compares them.
set -eu
installed=${1:?usage: source-versions.sh INSTALLED < OFFERED}

# The upstream part: no epoch, no Debian revision.
upstream_of() {
    v=${1#*:}
    case "$v" in *-*) v=${v%-*} ;; esac
    echo "$v"
}

# Newest first, each version once.
sort_newest_first() {
    sorted=""
    while IFS= read -r v; do
        [ -n "$v" ] || continue
        out="" placed=no seen=no
        for s in $sorted; do
            if [ "$s" = "$v" ]; then seen=yes; fi
        done
        if [ "$seen" = yes ]; then continue; fi
        for s in $sorted; do
            if [ "$placed" = no ] && dpkg --compare-versions "$v" gt "$s"; then
                out="$out $v"
                placed=yes
            fi
            out="$out $s"
        done
        if [ "$placed" = no ]; then out="$out $v"; fi
        sorted=$out
    done
    for s in $sorted; do echo "$s"; done
}

offered=$(sort_newest_first)
want=$(upstream_of "$installed")
for v in $offered; do
    if [ "$v" = "$installed" ]; then echo "$v"; fi
done
for v in $offered; do
    if [ "$v" != "$installed" ] && [ "$(upstream_of "$v")" = "$want" ]; then echo "$v"; fi
done
for v in $offered; do
    if [ "$(upstream_of "$v")" != "$want" ]; then echo "$v"; fi
done
