#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each
# for a bounded time from its seed corpus. A crash fails the run; its input
# is kept under build/fuzz/crashes/ to be added to tests/fuzz/regressions/.
# That folder is emptied first, so only a crash of this run fails it.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build/fuzz -DROZOVE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
targets=(encoder_fuzz job_fuzz y4m_fuzz)
cmake --build build/fuzz -j"$(nproc)" --target "${targets[@]}"
rm -rf build/fuzz/crashes
mkdir -p build/fuzz/crashes
for target in "${targets[@]}"; do
  work="build/fuzz/corpus/$target"
  mkdir -p "$work"
  cp -n tests/fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  echo "fuzzing $target for ${seconds}s"
  (cd build/fuzz && ./tests/fuzz/"$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
     -artifact_prefix=crashes/"$target"- -print_final_stats=1 "corpus/$target" 2>&1 |
     grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE|==[0-9]+==ERROR|SUMMARY)' || true)
  if ls build/fuzz/crashes/"$target"-* >/dev/null 2>&1; then
    echo "$target: crash inputs in build/fuzz/crashes" >&2
    exit 1
  fi
done
echo "fuzzing: 0 failed"
