#!/usr/bin/env bash
# Installs what is missing, builds Kivo and starts it. Until the windows exist, Kivo is its
# headless commands: arguments are passed to the kivo executable (default: --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
[ $# -eq 0 ] && set -- --help
exec build/app/kivo "$@"
