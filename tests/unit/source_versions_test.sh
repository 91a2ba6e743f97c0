#!/bin/sh
# The order in which the libpng source versions are tried, from what the
# archive's source index offers; no network needed.
set -u
pick=${1:?usage: source_versions_test.sh scripts/source-versions.sh}
failed=0
check() { # NAME INSTALLED OFFERED(space-separated) EXPECTED(space-separated)
    got=$(printf '%s\n' $3 | "$pick" "$2" | tr '\n' ' ' | sed 's/ $//')
    if [ "$got" != "$4" ]; then
        echo "FAIL $1: installed $2, offered [$3]: got [$got], expected [$4]"
        failed=1
    else
        echo "ok   $1"
    fi
}
check "installed offered, tried first" 1.6.39-2+deb12u6 \
    "1.6.39-2 1.6.39-2+deb12u6 1.6.39-2+deb12u5" \
    "1.6.39-2+deb12u6 1.6.39-2+deb12u5 1.6.39-2"
check "installed missing, same upstream newest first" 1.6.39-2+deb12u6 \
    "1.6.39-2 1.6.40-1 1.6.39-2+deb12u5 1.6.38-3" \
    "1.6.39-2+deb12u5 1.6.39-2 1.6.40-1 1.6.38-3"
check "only other upstream versions, newest first" 1.6.39-2 \
    "1.6.38-3 1.6.40-1~bpo12+1 1.6.40-1" \
    "1.6.40-1 1.6.40-1~bpo12+1 1.6.38-3"
check "an epoch outranks the number" 1.6.39-2 \
    "1.6.40-1 1:1.6.1-1" \
    "1:1.6.1-1 1.6.40-1"
check "the same upstream under an epoch" 1.6.39-2+deb12u6 \
    "2:1.6.40-1 1:1.6.39-1" \
    "1:1.6.39-1 2:1.6.40-1"
check "listed twice, tried once" 1.6.39-2 \
    "1.6.39-2 1.6.39-2" \
    "1.6.39-2"
check "nothing offered" 1.6.39-2 "" ""
check "nothing installed" 0 "1.6.38-3 1.6.39-2" "1.6.39-2 1.6.38-3"
exit $failed
