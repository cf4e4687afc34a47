#!/usr/bin/env bash
# Builds the benchmarks in Release (build/bench) and runs them; arguments go
# to Google Benchmark, e.g. --benchmark_filter=encode/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target rozove_bench >/dev/null
cd build/bench
exec bench/rozove_bench "$@"
