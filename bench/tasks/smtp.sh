#!/usr/bin/env bash
# SMTP send: 1,000 generated messages sent through a private Postfix (the loopback rig of
# ../shared/peers) by TmsSMTP over one connection, as the send queue does (bench_net smtp:
# the files' bytes; bench_net smtp-encode: decoded and encoded again by the message classes
# first), beside msmtp sending the same files, one process per message, in the same run. The
# ratio is msmtp's time over Kivo's (above 1: Kivo is faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../netrig.sh"

bench_net=$KIVO_BENCH_BUILD/bench/bench_net
need_package msmtp
start_rig

eml=$(eml_corpus smtp 1000 12)
size=$(printf '%.0f' "$(echo "$(du -sb "$eml" | cut -f1) / 1048576" | bc -l)")
server=127.0.0.1:$MAILPEERS_SMTP_PORT

kivo_send() { "$bench_net" smtp "$server" alice@example.test sink@example.test "$eml"; }
kivo_send_encoded() { "$bench_net" smtp-encode "$server" alice@example.test sink@example.test "$eml"; }
msmtp_send() {
  local f
  for f in "$eml"/*; do
    msmtp --host=127.0.0.1 --port="$MAILPEERS_SMTP_PORT" --tls=off --auth=off \
      --from=alice@example.test sink@example.test <"$f"
  done
}

tk=$(seconds kivo_send)
te=$(seconds kivo_send_encoded)
tm=$(seconds msmtp_send)
printf 'smtp: 1000 messages, %s MB\n' "$size"
printf '  %-22s kivo %6s s   msmtp %6s s   ratio %5s\n' "send files" "$tk" "$tm" "$(ratio "$tm" "$tk")"
printf '  %-22s kivo %6s s   msmtp %6s s   ratio %5s\n' "decode, encode, send" "$te" "$tm" "$(ratio "$tm" "$te")"
