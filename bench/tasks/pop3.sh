#!/usr/bin/env bash
# POP3 fetch: 5,000 generated messages seeded into a private Dovecot (the loopback rig of
# ../shared/peers), fetched whole and left on the server, by TmsRemotePOP (bench_net pop3)
# and by mpop, each delivering into an mbox file, in the same run. The ratio is mpop's time
# over Kivo's (above 1: Kivo is faster). Kivo's two phases are shown too: its first pass reads
# every message's size and header (LIST, TOP), the transfer re-checks each message before RETR.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../netrig.sh"

bench_net=$KIVO_BENCH_BUILD/bench/bench_net
need_package mpop
start_rig

eml=$(eml_corpus pop3 5000 11)
bash "$PEERS" seed "$RIG" alice "$eml" >/dev/null
size=$(printf '%.0f' "$(echo "$(du -sb "$eml" | cut -f1) / 1048576" | bc -l)")

out=$KIVO_BENCH_DIR/pop3-out
mkdir -p "$out"
kivo_fetch() { "$bench_net" pop3 "127.0.0.1:$MAILPEERS_POP3_PORT" alice alicepw "$out/kivo.mbx" 2>/dev/null; }
mpop_fetch() {
  rm -f "$out/mpop.mbx" "$out/mpop.uidls"
  mpop --host=127.0.0.1 --port="$MAILPEERS_POP3_PORT" --tls=off --auth=user --user=alice \
    --passwordeval='echo alicepw' --keep=on --only-new=off --uidls-file="$out/mpop.uidls" \
    --delivery=mbox,"$out/mpop.mbx" --quiet
}

count=$("$bench_net" pop3 "127.0.0.1:$MAILPEERS_POP3_PORT" alice alicepw "$out/kivo.mbx" 2>"$out/phases")
mpop_fetch
mpop_count=$(LC_ALL=C grep -c '^From ' "$out/mpop.mbx" || true)
if [ "${count%% *}" != 5000 ] || [ "$mpop_count" -lt 5000 ]; then
  echo "MISMATCH: kivo fetched $count, mpop $mpop_count messages" >&2
  exit 1
fi
tk=$(seconds kivo_fetch)
tm=$(seconds mpop_fetch)
printf 'pop3: 5000 messages, %s MB on the server\n' "$size"
printf '  %-22s kivo %6s s   mpop %6s s   ratio %5s\n' "fetch all, keep" "$tk" "$tm" "$(ratio "$tm" "$tk")"
printf '  kivo phases: %s\n' "$(cat "$out/phases")"
