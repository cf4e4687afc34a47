#!/usr/bin/env bash
# Whole 1080p jobs, ours against the giflib-based job, each job in a process
# of its own, as a host runs one export at a time: run in one process,
# either job left the heap and caches in states that moved the other's time
# by up to 15 %. Each round runs every content's two jobs one after the other
# (the median of 3 repetitions each). The ratio is the median over the
# rounds of each round's ours / giflib's, so that a round where the machine
# was slower as a whole counts like any other; the times are the medians.
# Usage: scripts/bench-jobs.sh [rounds, default 5] [size, default 1920x1080]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
size=${2:-1920x1080}
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target rozove_bench >/dev/null
cd build/bench
times=$(mktemp)
trap 'rm -f "$times"' EXIT
for round in $(seq "$rounds"); do
  for content in static zoom noise; do
    for job in giflib ours; do
      bench/rozove_bench --benchmark_filter="job/$job/$content/$size/" --benchmark_repetitions=3 2>/dev/null |
        sed 's/\x1b\[[0-9;]*m//g' |
        awk -v c="$content" -v j="$job" -v r="$round" '/real_time_median/ { print c, j, $2, $(NF - 2), $(NF - 1), r }' >>"$times"
    done
  done
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-8s %24s %18s %7s %7s\n' content "ours: ms a frame (job)" "giflib's" ratio bytes
for content in static zoom noise; do
  ours=$(awk -v c="$content" '$1 == c && $2 == "ours" { print $3 }' "$times" | median)
  theirs=$(awk -v c="$content" '$1 == c && $2 == "giflib" { print $3 }' "$times" | median)
  ratio=$(awk -v c="$content" '$1 == c && $2 == "ours" { o[$6] = $3 } $1 == c && $2 == "giflib" { g[$6] = $3 }
                              END { for (r in o) print o[r] / g[r] }' "$times" | median)
  # Sizes as the benchmark prints them (6 figures), frames per job.
  read -r bytes frames < <(awk -v c="$content" '$1 == c && $2 == "ours" { o = $4; f = $5 } $1 == c && $2 == "giflib" { g = $4 } END { print o / g, f }' "$times")
  awk -v c="$content" -v o="$ours" -v g="$theirs" -v q="$ratio" -v b="$bytes" -v f="$frames" \
    'BEGIN { printf "%-8s %24s %18s %7.3f %7.4f\n", c, sprintf("%.1f (%d)", o / f, o), sprintf("%.1f (%d)", g / f, g), q, b }'
done
