#!/bin/sh
# run-fuzzers.sh SECONDS BUILD_DIR CORPUS_DIR TARGET...
# Runs each fuzz target in turn for SECONDS. New inputs go to
# BUILD_DIR/work/<target> (the committed corpus is only read); crashes, leaks
# and slow inputs to BUILD_DIR/findings/<target>/. Copy a finding into
# CORPUS_DIR/<target>/ once it is fixed, so the replay test keeps it fixed.
set -e
seconds=$1 build=$2 corpus=$3
shift 3
for t in "$@"; do
  mkdir -p "$build/work/$t" "$build/findings/$t"
  echo "== fuzz_$t for $seconds s"
  "$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=131072 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t/" "$build/work/$t" "$corpus/$t"
done
