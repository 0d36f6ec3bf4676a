#!/usr/bin/env bash
# The message list on a 100,000-message mailbox whose index is current: the main window opened
# until the list is painted, then scrolled from top to bottom a page at a time (tests/ui's
# bench_list, Qt's offscreen platform). No peer: the goal is a first paint under 300 ms.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

prog=$KIVO_BENCH_BUILD/tests/ui/bench_list
work=$KIVO_BENCH_DIR/list-work
rm -rf "$work"
QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox "$prog" "$work" "${KIVO_LIST_COUNT:-100000}" 2>/dev/null |
  sed 's/^/list: /'
rm -rf "$work"
