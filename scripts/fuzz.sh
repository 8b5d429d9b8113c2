#!/usr/bin/env bash
# Builds the fuzz targets with clang as libFuzzer programs (AddressSanitizer and
# UndefinedBehaviorSanitizer; the "fuzz" preset) in build/fuzz, replays the
# corpus, then fuzzes each target for a bounded time. The build's fixed
# directories live in build/fuzz, so nothing outside the repository is written.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# New inputs go to build/fuzz/found/<target>/, never into fuzz/corpus/; a crash
# leaves its input as build/fuzz/crashes/<target>/crash-* and fails the script.
# Add such an input to fuzz/corpus/<target>/ once its fault is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
dir=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
ctest --preset fuzz-replay

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for corpus in fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi
failed=()
for t in "${targets[@]}"; do
  bin="$dir/fuzz/${t}_fuzz"
  [ -x "$bin" ] || { echo "fuzz: no target $t"; failed+=("$t"); continue; }
  mkdir -p "$dir/found/$t" "$dir/crashes/$t"
  echo "fuzz: $t for ${seconds}s"
  # The first folder takes what is new; fuzz/corpus/$t is only read.
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$dir/crashes/$t/" "$dir/found/$t" "fuzz/corpus/$t" \
       >"$dir/crashes/$t/log.txt" 2>&1; then
    tail -n 40 "$dir/crashes/$t/log.txt"
    failed+=("$t")
  else
    grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$dir/crashes/$t/log.txt" || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}"
  exit 1
fi
echo "fuzz: all targets ran ${seconds}s without a crash"
