#!/usr/bin/env bash
# Instructions per pixel of the gray conversion and of encoding one
# 1920x1080 frame of each kind of content, ours and giflib's, counted by
# callgrind, and of whole jobs of a few such frames (per pixel of every
# frame): a figure that does not move with the machine's load, so that a
# change to the hot loops can be judged by it.
# Usage: scripts/instructions.sh [build dir, default build/bench]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/bench}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j2 --target instructions_driver >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$dir/bench/instructions_driver" \
  >"$work/driver.txt" 2>"$work/valgrind.txt" || { cat "$work/valgrind.txt" >&2; exit 1; }
pixels=$(awk '/^pixels/ {print $2}' "$work/driver.txt")
frames=$(awk '/^job-frames/ {print $2}' "$work/driver.txt")
printf '%-22s %14s %12s\n' "1920x1080, one frame" "instructions" "per pixel"
for dump in "$work"/cg.out.*; do
  name=$(sed -n 's/^desc: Trigger: Client Request: //p' "$dump")
  [ -n "$name" ] || continue
  total=$(awk '/^(summary|totals):/ {print $2; exit}' "$dump")
  per=$pixels
  case "$name" in job/*) per=$((pixels * frames)) ;; esac
  awk -v n="$name" -v t="$total" -v p="$per" 'BEGIN { printf "%-22s %14s %12.1f\n", n, t, t / p }'
done | sort -t/ -k1,1r -k3,3 -k2,2
grep '^bytes' "$work/driver.txt" | awk '{printf "output bytes, %-7s ours %9d  giflib %9d  ratio %.4f\n", $2, $4, $6, $4 / $6}'
