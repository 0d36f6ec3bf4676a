#!/usr/bin/env bash
# MIME decoding: every message of a large mailbox decoded into memory (bench_decode decode),
# beside GMime decoding every leaf part and Python's email package on the same file in the
# same run; then every decoded message encoded again (bench_decode encode). Two corpora (the
# medium preset with two seeds) and two hard single messages: 10,000 parts, and one 50 MB
# attachment. Ratios are the peer's time over Kivo's (above 1: Kivo is faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

kivo=$KIVO_BENCH_BUILD/bench/bench_decode
dir=$KIVO_BENCH_DIR

gmime=$(gmime_peer)

mb() { echo "$(stat -c %s "$1") / 1048576" | bc -l; }
rate() { printf '%.0f' "$(echo "$1 / $2" | bc -l)"; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

# decode_row NAME FILE [python]: Kivo beside GMime (and Python when asked) on one mailbox.
decode_row() {
  local name=$1 file=$2 python=${3:-}
  local size messages tk tg tp="" line
  size=$(mb "$file")
  messages=$("$kivo" decode "$file" | field messages)
  tk=$(seconds "$kivo" decode "$file")
  tg=$(seconds quiet "$gmime" decode "$file")
  line=$(printf '%-16s %7.1f MB %6s msgs  kivo %6.2f s (%6s msgs/s, %5s MB/s)  gmime %6.2f s ratio %5s' \
    "$name" "$size" "$messages" "$tk" "$(rate "$messages" "$tk")" "$(rate "$size" "$tk")" \
    "$tg" "$(ratio "$tg" "$tk")")
  if [ -n "$python" ]; then
    tp=$(once python3 "$KIVO_SHARED/bench/peers/py_decode.py" "$file")
    line+=$(printf '  python email %6.1f s ratio %6s' "$tp" "$(ratio "$tp" "$tk")")
  fi
  echo "$line"
}

# encode_row NAME FILE: the encoder alone, over every message the decoder made.
encode_row() {
  local name=$1 file=$2 out messages bytes te
  out=$("$kivo" encode "$file")
  messages=$(echo "$out" | field messages)
  bytes=$(echo "$out" | field encoded_bytes)
  te=$(echo "$out" | field encode_seconds)
  printf '%-16s encode %6s msgs in %6.2f s (%6s msgs/s, %5s MB/s of output)\n' "$name" \
    "$messages" "$te" "$(rate "$messages" "$te")" "$(rate "$(echo "$bytes / 1048576" | bc -l)" "$te")"
}

medium=$(corpus medium --preset medium)
seed7=$(corpus medium-seed7 --preset medium --seed 7)
decode_row "medium" "$medium" python
decode_row "medium seed 7" "$seed7"
encode_row "medium" "$medium"
encode_row "medium seed 7" "$seed7"

# Hard single messages, each as a one-message mailbox.
parts=$dir/mime-10000-parts.mbx
if [ ! -s "$parts" ]; then
  python3 - "$parts" <<'PY'
import sys
out = ["From bench Thu Jan  1 00:00:00 2026", "From: a@example.org", "Subject: parts",
       "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="p"', "", "--p",
       "Content-Type: text/plain", "", "body"]
for i in range(10000):
    out += ["--p", f'Content-Type: application/octet-stream; name="f{i}.bin"',
            "Content-Transfer-Encoding: base64", "", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYX"]
out += ["--p--", ""]
open(sys.argv[1], "w").write("\r\n".join(out))
PY
fi
big=$dir/mime-50mb-attachment.mbx
if [ ! -s "$big" ]; then
  python3 - "$big" <<'PY'
import base64, random, sys
random.seed(50)
data = base64.encodebytes(random.randbytes(50 << 20)).replace(b"\n", b"\r\n")
head = ("From bench Thu Jan  1 00:00:00 2026\r\nFrom: a@example.org\r\nSubject: big\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Type: text/plain\r\n\r\nbody\r\n--b\r\nContent-Type: application/octet-stream;"
        " name=\"big.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n").encode()
open(sys.argv[1], "wb").write(head + data + b"--b--\r\n")
PY
fi
decode_row "10,000 parts" "$parts"
decode_row "50 MB attachment" "$big"
