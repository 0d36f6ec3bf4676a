#!/usr/bin/env bash
# SMTP memory: the maximum resident set (/usr/bin/time) of `kivo send` delivering a queued
# message with a 70 MB attachment (about 95 MB on the wire) to a local sink, and of `kivo send`
# meeting a hostile server that answers EHLO with 10,000 lines of 65 KB (650 MB). The peer is
# msmtp sending the same encoded message to the same sink and meeting the same server, in the
# same run; the ratio is Kivo's peak over msmtp's. The goal for Kivo is under 64 MB beyond the
# attachment it holds (the message model keeps attachments in memory) and a few MB for the
# hostile EHLO.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../netrig.sh"

kivo=$KIVO_BENCH_BUILD/app/kivo
need_package msmtp
work=$KIVO_BENCH_DIR/smtpmem
home=$work/home
rm -rf "$home"
mkdir -p "$work"

# start_server NAME MODE...: starts bench/smtp_server.py, its port in $work/NAME.port; every
# server is stopped when the task ends.
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
start_server() {
  local out=$work/$1.port
  shift
  rm -f "$out"
  python3 "$KIVO_ROOT/bench/smtp_server.py" "$@" >"$out" 2>/dev/null </dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
}
start_server sink sink
start_server flood ehlo-flood 10000 66560
sink=$(head -1 "$work/sink.port")
flood=$(head -1 "$work/flood.port")

# peak CMD...: the maximum resident set of one run of CMD in kB (its status ignored).
peak() {
  /usr/bin/time -f '%M' -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
  tail -1 "$work/time.txt"
}

if [ ! -s "$work/attachment.bin" ]; then
  head -c $((70 << 20)) /dev/urandom >"$work/attachment.bin"
fi
"$kivo" --home "$home" init >/dev/null
"$kivo" --home "$home" account add bench --email alice@example.test >/dev/null
queue() {
  rm -f "$home/Mail/Out.mbx" "$home/Mail/out.mbx"
  printf '[Mail]\r\nSMTP=127.0.0.1:%s\r\n' "$1" >"$home/kivo.ini"
  echo "the attachment" | "$kivo" --home "$home" compose --to sink@example.test \
    --subject big --attach "$work/attachment.bin" --no-signature --queue >/dev/null
}

# The same message for msmtp: headers, then the attachment in base64.
eml=$work/message.eml
if [ ! -s "$eml" ]; then
  python3 - "$work/attachment.bin" "$eml" <<'PY'
import base64, sys
with open(sys.argv[1], "rb") as f, open(sys.argv[2], "wb") as out:
    out.write(b"From: alice@example.test\r\nTo: sink@example.test\r\nSubject: big\r\n"
              b"MIME-Version: 1.0\r\nContent-Type: application/octet-stream\r\n"
              b"Content-Transfer-Encoding: base64\r\n\r\n")
    while chunk := f.read(57 * 1024):
        out.write(base64.encodebytes(chunk).replace(b"\n", b"\r\n"))
PY
fi
# msmtp ARGS: PORT AUTH FILE; run by sh with exec, so that its own peak is measured.
msmtp_cmd=(sh -c 'exec msmtp --host=127.0.0.1 --port="$1" --tls=off --auth="$2" --user=alice \
  --passwordeval="echo x" --from=alice@example.test sink@example.test <"$3"' _)

queue "$sink"
kl=$(peak "$kivo" --home "$home" send)
ml=$(peak "${msmtp_cmd[@]}" "$sink" off "$eml")
queue "$flood"
"$kivo" --home "$home" account set bench SMTPAuth=own SMTPUser=alice SMTPPass=x --yes >/dev/null
kh=$(peak timeout 120 "$kivo" --home "$home" send)
mh=$(peak timeout 120 "${msmtp_cmd[@]}" "$flood" plain "$eml")

size=$(( $(stat -c %s "$eml") >> 20 ))
printf 'smtpmem: peak memory (maximum resident set)\n'
printf '  %-34s kivo %7s kB   msmtp %7s kB   ratio %6s\n' "send a ${size} MB message" "$kl" "$ml" "$(ratio "$kl" "$ml")"
printf '  %-34s kivo %7s kB   msmtp %7s kB   ratio %6s\n' "EHLO of 10,000 lines of 65 KB" "$kh" "$mh" "$(ratio "$kh" "$mh")"
