#!/bin/sh
# Compiles the runtime's sources against the real VM's own class library
# (build/realvm/<arch>/classpath.jar): a method that library lacks fails
# here, not in a user's start. Exit 77 (skipped) when no real VM was built.
#     check-class-library.sh JAVAC REALVM_DIR SOURCES...
javac=$1
realvm=$2
shift 2
library=""
for arch in x86_64 i386; do
    [ -f "$realvm/$arch/classpath.jar" ] && library="$realvm/$arch/classpath.jar" && break
done
if [ -z "$library" ]; then
    echo "SKIPPED: no real VM class library under $realvm (make realvm builds it)"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$javac" -nowarn -source 8 -target 8 -bootclasspath "$library" -encoding UTF-8 -d "$out" "$@"
