#!/usr/bin/env bash
# Memory of a check against hostile POP3 servers and on one honest large message: the peak
# resident set of `kivo check` (GNU time's maximum RSS) against bench/pop3_liar.py, which
# serves one 95.7 MB message (a text part and a base64 attachment) or lies: LIST small then
# 140 MB per RETR for 8 messages; TOP with 12 MB of header lines per message; STAT claiming
# 3,000,000 messages with a UIDL listing of them all. The goal is under 64 MB in every case.
# Peer: mpop fetching the honest message into an mbox file (its peak resident set). The
# ratio is mpop's peak over Kivo's (above 1: Kivo needs less).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../netrig.sh"

kivo=$KIVO_BENCH_BUILD/app/kivo
bench=$(cd "$(dirname "$0")/.." && pwd)
port=${KIVO_BENCH_LIAR_PORT:-31117}
need_package mpop
[ -x /usr/bin/time ] || { apt-get install -y -q time >/dev/null 2>&1 || true; }

big=$KIVO_BENCH_DIR/big-message.eml
[ -s "$big" ] || python3 "$bench/big_message.py" "$big" 95.7
out=$KIVO_BENCH_DIR/popmem-out
home=$out/home
mkdir -p "$out"

liar=""
stop_liar() {
  if [ -n "$liar" ]; then
    kill "$liar" 2>/dev/null || true
    wait "$liar" 2>/dev/null || true
  fi
  liar=""
}
trap stop_liar EXIT
start_liar() {
  stop_liar
  python3 "$bench/pop3_liar.py" "$port" "$@" >"$out/liar.log" 2>&1 &
  liar=$!
  for _ in $(seq 50); do grep -q ready "$out/liar.log" 2>/dev/null && return 0; sleep 0.1; done
  echo "the scripted server did not start" >&2
  exit 1
}

# peak CMD...: "MB seconds" of one run of CMD; its last line of output goes to $out/said.
peak() {
  /usr/bin/time -f '%M %e' -o "$out/time" "$@" >"$out/said" 2>&1 || true
  read -r kb secs < <(tail -1 "$out/time")  # after a note of a failed status
  printf '%.1f %s\n' "$(echo "$kb / 1024" | bc -l)" "$secs"
}

kivo_reset() {
  rm -rf "$home"
  mkdir -p "$home"
  "$kivo" --home "$home" account add bench --pop-server "127.0.0.1:$port" \
    --pop-user alice --password alicepw --leave-mail 1 >/dev/null 2>&1
}

printf 'popmem: peak memory of a check (goal: under 64 MB)\n'
for mode in bigretr tophdr statflood; do
  start_liar "$mode"
  kivo_reset
  read -r mb secs < <(peak timeout 600 "$kivo" --home "$home" check)
  printf '  %-10s kivo %7s MB %7s s   (%s)\n' "$mode" "$mb" "$secs" "$(tail -1 "$out/said")"
done

start_liar honest "$big"
kivo_reset
read -r kmb ksecs < <(peak timeout 600 "$kivo" --home "$home" check)
ksaid=$(tail -1 "$out/said")
rm -f "$out/mpop.mbx" "$out/mpop.uidls"
read -r mmb msecs < <(peak mpop --host=127.0.0.1 --port="$port" --tls=off --auth=user --user=alice \
  --passwordeval='echo alicepw' --keep=on --only-new=off --uidls-file="$out/mpop.uidls" \
  --delivery=mbox,"$out/mpop.mbx" --quiet)
printf '  %-10s kivo %7s MB %7s s   mpop %7s MB %7s s   ratio %5s   (%s)\n' "honest" "$kmb" \
  "$ksecs" "$mmb" "$msecs" "$(ratio "$mmb" "$kmb")" "$ksaid"
stop_liar
rm -rf "$out"
