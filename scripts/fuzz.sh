#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 60), starting from its corpus in tests/fuzz/corpus. Prints
# the executions and findings of each target and fails when any target found something.
# A finding's input is kept in build/fuzz/findings/<target>/; once its fault is fixed it joins the
# target's corpus (tests/fuzz/corpus/<target>/finding-...), which the test suite replays.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/install-deps.sh clang libfuzzer-14-dev libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

failed=0
for target in replies settings scenario export; do
  work=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  log=build/fuzz/$target.log
  mkdir -p "$work" "$findings"
  status=0
  build/fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  found=$(find "$findings" -type f | wc -l)
  printf 'fuzz %-9s %10s executions in %s s, %d finding(s)\n' "$target" "${runs:-?}" "$seconds" "$found"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    grep -E -A25 'ERROR|invariant broken|runtime error' "$log" | head -n 40 >&2 || tail -n 40 "$log" >&2
  fi
done
exit "$failed"
