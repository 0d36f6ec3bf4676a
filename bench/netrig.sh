# Helpers for the network benchmarks (sourced): a private mail server rig on ports of its
# own, so a benchmark never fills the mailboxes the tests use, and peer packages on demand.

PEERS=$KIVO_SHARED/peers/mailpeers

# need_package NAME: installs a Debian package when its program is missing.
need_package() {
  command -v "$1" >/dev/null && return 0
  echo "installing $1..." >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$1" >/dev/null 2>&1 \
    || { apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$1" >/dev/null; }
}

# start_rig: starts Dovecot and Postfix in a fresh folder ($RIG), exports MAILPEERS_*, and
# stops them when the task ends. KIVO_BENCH_POP3_PORT, KIVO_BENCH_POP3S_PORT,
# KIVO_BENCH_SMTP_PORT and KIVO_BENCH_SMTPS_PORT move it off its usual ports, so that two
# benchmark runs on one machine can coexist.
start_rig() {
  bash "$PEERS" install >/dev/null
  RIG=$(mktemp -d /tmp/kivo-bench-rig.XXXXXX)
  trap 'bash "$PEERS" stop "$RIG" >/dev/null 2>&1 || true; rm -rf "$RIG"' EXIT
  MAILPEERS_POP3_PORT=${KIVO_BENCH_POP3_PORT:-31110} \
    MAILPEERS_POP3S_PORT=${KIVO_BENCH_POP3S_PORT:-31995} \
    MAILPEERS_SMTP_PORT=${KIVO_BENCH_SMTP_PORT:-32525} \
    MAILPEERS_SMTPS_PORT=${KIVO_BENCH_SMTPS_PORT:-32465} bash "$PEERS" start "$RIG" >/dev/null
  set -a
  eval "$(bash "$PEERS" env "$RIG")"
  set +a
}

# eml_corpus NAME COUNT SEED: a folder of COUNT generated .eml files, generated once.
eml_corpus() {
  local dir=$KIVO_BENCH_DIR/$1-eml
  if [ ! -d "$dir" ] || [ "$(ls "$dir" | wc -l)" -ne "$2" ]; then
    rm -rf "$dir"
    python3 "$KIVO_SHARED/bench/gen_corpus.py" -n "$2" --seed "$3" -o "$KIVO_BENCH_DIR/$1.mbx" \
      --eml-dir "$dir" >&2
  fi
  echo "$dir"
}
