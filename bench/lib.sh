# Shared helpers for bench/tasks/*.sh (sourced).

# corpus NAME ARGS...: path of a generated corpus, generated once with gen_corpus.py ARGS.
corpus() {
  local name=$1
  shift
  local file="$KIVO_BENCH_DIR/$name.mbx"
  if [ ! -s "$file" ]; then
    echo "generating $name corpus..." >&2
    python3 "$KIVO_SHARED/bench/gen_corpus.py" "$@" -o "$file" >&2
  fi
  echo "$file"
}

# seconds CMD...: wall-clock seconds of one run of CMD (output discarded), best of 3.
seconds() { best_of_3 null "$@"; }

# seconds_piped CMD...: the same with the output going through a pipe. GNU grep stops at its
# first match when its output is /dev/null, so a grep timed by `seconds` measures nothing.
seconds_piped() { best_of_3 pipe "$@"; }

# best_of_3 null|pipe CMD...: the shortest wall-clock time of three runs of CMD.
best_of_3() {
  local sink=$1
  shift
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    if [ "$sink" = pipe ]; then "$@" | cat >/dev/null; else "$@" >/dev/null; fi
    t1=$(date +%s.%N)
    local d
    d=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || (( $(echo "$d < $best" | bc -l) )); then best=$d; fi
  done
  printf '%.3f\n' "$best"
}

# ratio A B: A/B with two decimals.
ratio() { printf '%.2f\n' "$(echo "$1 / $2" | bc -l)"; }

# quiet CMD...: runs CMD without its messages on standard error (peers that print counts).
quiet() { "$@" 2>/dev/null; }

# once CMD...: wall-clock seconds of a single run of CMD (for slow peers).
once() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  t1=$(date +%s.%N)
  printf '%.3f\n' "$(echo "$t1 - $t0" | bc -l)"
}

# gmime_peer: path of the GMime 3 peer program, installed and built on first use.
gmime_peer() {
  if ! pkg-config --exists gmime-3.0 2>/dev/null; then
    echo "installing libgmime-3.0-dev for the GMime peer..." >&2
    apt-get install -y -q libgmime-3.0-dev >/dev/null 2>&1 ||
      { apt-get update -q >/dev/null && apt-get install -y -q libgmime-3.0-dev >/dev/null; }
  fi
  local peer=$KIVO_BENCH_DIR/gmime_peer
  if [ ! -x "$peer" ] || [ "$KIVO_SHARED/bench/peers/gmime_peer.c" -nt "$peer" ]; then
    # shellcheck disable=SC2046
    gcc -O2 -o "$peer" "$KIVO_SHARED/bench/peers/gmime_peer.c" $(pkg-config --cflags --libs gmime-3.0) >&2
  fi
  echo "$peer"
}
