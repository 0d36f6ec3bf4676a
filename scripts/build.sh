#!/usr/bin/env bash
# build.sh DIR [CMAKE OPTIONS...]: configures (once) and builds Kivo into DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
