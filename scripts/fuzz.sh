#!/bin/sh
# Long fuzz run of every reader of outside input: scripts/fuzz.sh SECONDS [TARGET...]
# Each target runs SECONDS (the named ones only, when given) and gets one
# line: its name, the inputs it ran and the crashes it found. A crash's
# input lands in build/native/fuzz-crashes/TARGET/; once the fault is mended
# it belongs in the target's corpus under tests/fuzz, which every test run
# replays. The exit status is 1 when any target crashed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
[ $# -gt 0 ] && shift

# name:corpus folder under tests/fuzz[:longest input]. The options-file
# reader's line piece is a fuzzed parameter (up to 257 bytes, the launcher's
# 8191), so 1 KiB reaches every state; longer files only repeat lines and
# slow each run down. Others take libFuzzer's default (4 KiB or the longest
# seed).
targets="block_decoder:corpus resource_reader:resource-corpus config_text:config-text-corpus
manifest_editor:manifest-corpus version_resource:version-resource-corpus
options_file:options-file-corpus:1024 option_line:option-line-corpus release_file:release-corpus
command_line:command-line-corpus runtime_classes:runtime-classes-corpus cache_index:cache-index-corpus"

status=0
for entry in $targets; do
    name=${entry%%:*}
    rest=${entry#*:}
    corpus="$root/tests/fuzz/${rest%%:*}"
    longest=
    [ "$rest" != "${rest#*:}" ] && longest="-max_len=${rest#*:}"
    if [ $# -gt 0 ]; then
        case " $* " in *" $name "*) ;; *) continue ;; esac
    fi
    fuzzer="$root/build/native/${name}_fuzz"
    if [ ! -x "$fuzzer" ]; then
        echo "$name: not built (make native builds it with clang)"
        status=1
        continue
    fi
    work="$root/build/native/fuzz-work/$name"
    crashes="$root/build/native/fuzz-crashes/$name"
    log="$root/build/native/fuzz-work/$name.log"
    mkdir -p "$work" "$crashes"
    before=$(ls "$crashes" | wc -l)
    ASAN_OPTIONS=allocator_may_return_null=0:detect_leaks=1 "$fuzzer" -max_total_time="$seconds" \
        -print_final_stats=1 -rss_limit_mb=1024 -malloc_limit_mb=128 -artifact_prefix="$crashes/" $longest \
        "$work" "$corpus" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(( $(ls "$crashes" | wc -l) - before ))
    # A fuzzer that failed without leaving an input still failed.
    if [ "$rc" -ne 0 ] && [ "$found" -eq 0 ]; then
        found=1
    fi
    if [ "$found" -gt 0 ]; then
        status=1
        echo "$name: ${runs:-unknown} runs, $found crashes (inputs in $crashes, log in $log)"
    else
        echo "$name: ${runs:-unknown} runs, 0 crashes"
    fi
done
exit $status
