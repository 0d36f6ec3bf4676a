#!/usr/bin/env bash
# Installs what is missing, builds Kivo and runs every test twice: once in a normal build and
# once built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

# Real mail servers on loopback for the network tests (they skip without MAILPEERS_* set).
# In CI a missing rig fails the run; elsewhere the skipped tests are counted and said.
peers=../shared/peers/mailpeers
if [ ! -f "$peers" ] && [ "${CI:-}" = true ]; then
  echo "error: the mail server rig $peers is missing; CI runs every test" >&2
  exit 1
fi
if [ -f "$peers" ]; then
  bash "$peers" install >/dev/null
  peers_dir=$(mktemp -d /tmp/kivo-peers.XXXXXX)
  trap 'bash "$peers" stop "$peers_dir" >/dev/null 2>&1 || true; rm -rf "$peers_dir"' EXIT
  if ! bash "$peers" start "$peers_dir" >/dev/null; then
    # The default ports are taken (another rig is up): use a second set.
    MAILPEERS_POP3_PORT=21110 MAILPEERS_POP3S_PORT=21995 MAILPEERS_SMTP_PORT=22525 \
      MAILPEERS_SMTPS_PORT=22465 bash "$peers" start "$peers_dir" >/dev/null
  fi
  set -a
  eval "$(bash "$peers" env "$peers_dir")"
  set +a
fi

# Runs one build's tests and adds the count of skipped ones to $skipped.
skipped=0
run_tests() {
  local log
  log=$(mktemp)
  local status=0
  ctest --test-dir "$1" --output-on-failure -j "$jobs" | tee "$log" || status=$?
  skipped=$((skipped + $(grep -c '(Skipped)$' "$log" || true)))
  rm -f "$log"
  return "$status"
}

jobs=$(nproc)
# The windows' tests draw on Qt's offscreen platform, no display needed. Chromium (the message
# view) refuses to run as root with its sandbox; CI runs as root.
export QT_QPA_PLATFORM=offscreen
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"; fi
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/kivo-runtime.XXXXXX)}
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_tests build

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The sanitizer build leaves out the windows: the message view is Chromium, a multi-process
# program with its own allocator that does not run under AddressSanitizer in reasonable time,
# and ui/ holds no mail logic of its own; the core beneath it is all built and tested here.
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKIVO_SANITIZE=ON -DKIVO_UI=OFF
run_tests build-asan
if [ "$skipped" -gt 0 ]; then
  reason=""
  [ -f "$peers" ] || reason=" (the mail server rig $peers is missing)"
  echo "warning: $skipped tests were skipped$reason" >&2
  echo "all tests that ran passed; $skipped skipped"
else
  echo "all tests passed"
fi
