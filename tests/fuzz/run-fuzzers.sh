#!/bin/sh
# Runs every fuzz target for a while, side by side, each from its committed
# corpus and from what earlier runs found, and tells which broke a promise.
# Usage: tests/fuzz/run-fuzzers.sh BUILD_FOLDER SECONDS
# (make fuzz FUZZ_SECONDS=... builds the folder and calls this).
set -eu

build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
results=$build/tests/fuzz

runs=""
for target in hive_parse decrypt; do
  found=$results/found/$target
  artifacts=$results/artifacts/$target
  mkdir -p "$found" "$artifacts"
  dict=""
  [ -f "$here/$target.dict" ] && dict="-dict=$here/$target.dict"
  echo "fuzzing $target for ${seconds}s (log: $results/$target.log)"
  # shellcheck disable=SC2086
  "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" $dict \
    "$found" "$here/corpus/$target" >"$results/$target.log" 2>&1 &
  runs="$runs $!:$target"
done

status=0
for run in $runs; do
  pid=${run%%:*}
  target=${run#*:}
  log=$results/$target.log
  if wait "$pid"; then
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: no promise broken in ${executed:-?} runs; $(ls "$results/found/$target" | wc -l) inputs found so far"
  else
    status=1
    echo "$target: a promise was broken; see $log" >&2
    echo "  the input is in $results/artifacts/$target/; once it is fixed, copy it into" >&2
    echo "  tests/fuzz/corpus/$target/ so that every build replays it" >&2
  fi
done
exit $status
