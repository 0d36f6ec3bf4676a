#!/usr/bin/env bash
# Starts Kivo's windows under Xvfb on a sample program folder (scripts/samplefolder.py: a few
# mailboxes and folders, 30 messages with HTML, attachments and non-ASCII text) and writes a
# PNG of each window and dialog into build/screens/ (not committed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
out=build/screens
sample=$(mktemp -d /tmp/kivo-screens.XXXXXX)
trap 'rm -rf "$sample"' EXIT
python3 scripts/samplefolder.py "$sample"
rm -rf "$out"
mkdir -p "$out"
# Chromium refuses its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"; fi
export XDG_RUNTIME_DIR="$sample/runtime"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
xvfb-run -a -s "-screen 0 1280x800x24" build/tests/ui/kivo_screens "$sample" "$out" 2>"$out/log.txt"
ls "$out"/*.png
