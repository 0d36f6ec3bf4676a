#!/usr/bin/env bash
# bench/run.sh [TASK...]: builds Kivo optimised and runs the benchmark tasks (all by default).
# Each task is a script bench/tasks/NAME.sh that measures Kivo and its peers in the same run
# and prints the ratios. Corpora are generated into $KIVO_BENCH_DIR (default
# /tmp/kivo-bench) on first use and kept for later runs; they are never committed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export KIVO_ROOT=$PWD
export KIVO_BENCH_DIR=${KIVO_BENCH_DIR:-/tmp/kivo-bench}
export KIVO_BENCH_BUILD=$PWD/build-bench
export KIVO_SHARED=${KIVO_SHARED:-$(cd .. && pwd)/shared}
mkdir -p "$KIVO_BENCH_DIR"
scripts/build.sh "$KIVO_BENCH_BUILD" -DCMAKE_BUILD_TYPE=Release -DKIVO_BENCH=ON -DKIVO_TESTS=OFF

tasks=("$@")
if [ ${#tasks[@]} -eq 0 ]; then
  for t in bench/tasks/*.sh; do tasks+=("$(basename "$t" .sh)"); done
fi
for t in "${tasks[@]}"; do
  echo "== $t"
  bash "bench/tasks/$t.sh"
done
