#!/usr/bin/env bash
# Installs what is missing, builds Kivo and starts it: with no arguments the windows open;
# arguments are passed to the kivo executable (a headless command, or /m ADDRESS).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/app/kivo "$@"
