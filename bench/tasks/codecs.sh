#!/usr/bin/env bash
# Transfer encodings: base64 and quoted-printable, encode and decode, in MB/s of input, each
# beside a peer on the same data in the same run (coreutils base64, Python's binascii C codec)
# and the grep floor. The ratio is Kivo's speed over the peer's (above 1: Kivo is faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

kivo=$KIVO_BENCH_BUILD/bench/bench_codecs
dir=$KIVO_BENCH_DIR

# 96 MB of random bytes with a fixed seed (enough that process start-up does not dominate),
# and its base64 text.
bin=$dir/codecs-random96.bin
if [ ! -s "$bin" ]; then
  python3 -c 'import random,sys; random.seed(20261210); sys.stdout.buffer.write(random.randbytes(96 << 20))' >"$bin"
fi
b64=$dir/codecs-random96.b64
[ -s "$b64" ] || base64 "$bin" >"$b64"

# Mail text for quoted-printable: the small corpus, and its quoted-printable form.
text=$(corpus small --preset small)
qp=$dir/codecs-small.qp
if [ ! -s "$qp" ]; then
  python3 -c 'import binascii,sys; sys.stdout.buffer.write(binascii.b2a_qp(open(sys.argv[1],"rb").read()))' "$text" >"$qp"
fi

py_qpenc='import binascii,sys; sys.stdout.buffer.write(binascii.b2a_qp(open(sys.argv[1],"rb").read()))'
py_qpdec='import binascii,sys; sys.stdout.buffer.write(binascii.a2b_qp(open(sys.argv[1],"rb").read()))'

mb() { echo "$(stat -c %s "$1") / 1048576" | bc -l; }
speed() { printf '%.0f' "$(echo "$1 / $2" | bc -l)"; }

# row NAME FILE PEER_NAME KIVO_CMD... -- PEER_CMD...
row() {
  local name=$1 file=$2 peer=$3
  shift 3
  local kcmd=() pcmd=()
  while [ "$1" != "--" ]; do kcmd+=("$1"); shift; done
  shift
  pcmd=("$@")
  local size tk tp tg
  size=$(mb "$file")
  tk=$(seconds "${kcmd[@]}")
  tp=$(seconds "${pcmd[@]}")
  tg=$(seconds_piped env LC_ALL=C grep -c '^From ' "$file")
  printf '%-22s %7.1f MB  kivo %6s MB/s  %-18s %6s MB/s  ratio %5s  (grep -c floor %s MB/s)\n' \
    "$name" "$size" "$(speed "$size" "$tk")" "$peer" "$(speed "$size" "$tp")" \
    "$(ratio "$tp" "$tk")" "$(speed "$size" "$tg")"
}

row "base64 encode" "$bin" "coreutils base64" "$kivo" b64enc "$bin" -- base64 "$bin"
row "base64 decode" "$b64" "coreutils base64 -d" "$kivo" b64dec "$b64" -- base64 -d "$b64"
row "quoted-printable enc" "$text" "python binascii" "$kivo" qpenc "$text" -- python3 -c "$py_qpenc" "$text"
row "quoted-printable dec" "$qp" "python binascii" "$kivo" qpdec "$qp" -- python3 -c "$py_qpdec" "$qp"
