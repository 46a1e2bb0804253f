#!/bin/sh
# Runs a fuzz target for a bounded time as a test: new inputs go to a
# scratch folder (the seed corpus in the source tree is only read), and any
# fault fails the test, its input kept in the working folder for a rerun.
# Usage: run-bounded.sh TARGET SEED_DIR SECONDS [libFuzzer options...]
set -u
target=$1 seeds=$2 seconds=$3
shift 3
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
"$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" "$@" \
    "$work/corpus" "$seeds" >"$work/log" 2>&1
status=$?
grep -E '^(Done|stat::number_of_executed_units)' "$work/log"
[ $status -eq 0 ] && exit 0
tail -n 60 "$work/log"
for artifact in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
    [ -e "$artifact" ] || continue
    kept="$(pwd)/$(basename "$target")-$(basename "$artifact")"
    cp "$artifact" "$kept"
    echo "fault found; input kept as $kept (rerun: $target $kept)"
done
exit 1
