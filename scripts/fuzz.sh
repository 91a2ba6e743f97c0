#!/bin/sh
# Long fuzz run of the block decoder: scripts/fuzz.sh SECONDS
# Any crash lands in build/native/fuzz-crashes; copy it into tests/fuzz/corpus
# so that every later test run replays it.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/native/fuzz-work"
crashes="$root/build/native/fuzz-crashes"
mkdir -p "$work" "$crashes"
exec "$root/build/native/block_decoder_fuzz" -max_total_time="${1:-600}" -rss_limit_mb=1024 \
    -malloc_limit_mb=64 -artifact_prefix="$crashes/" "$work" "$root/tests/fuzz/corpus"
