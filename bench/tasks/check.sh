#!/usr/bin/env bash
# Checking mail: 5,000 generated messages seeded into a private Dovecot (the loopback rig of
# ../shared/peers), fetched by `kivo check` (LeaveMail on, so every run finds the same
# mailbox; each run starts from a fresh program folder) and by mpop delivering the same
# mailbox to an mbox file, in the same run. Kivo does what a check does: it decodes every
# message, writes the attachments out as files, appends the stored form to In and keeps In's
# index and the leave-on-server list. The ratio is mpop's time over Kivo's (above 1: Kivo is
# faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"
source "$(dirname "$0")/../netrig.sh"

kivo=$KIVO_BENCH_BUILD/app/kivo
need_package mpop
start_rig

eml=$(eml_corpus pop3 5000 11)
bash "$PEERS" seed "$RIG" alice "$eml" >/dev/null
size=$(printf '%.0f' "$(echo "$(du -sb "$eml" | cut -f1) / 1048576" | bc -l)")

out=$KIVO_BENCH_DIR/check-out
home=$out/home
mkdir -p "$out"

kivo_reset() {
  rm -rf "$home"
  mkdir -p "$home"
  "$kivo" --home "$home" account add bench --pop-server "127.0.0.1:$MAILPEERS_POP3_PORT" \
    --pop-user alice --password alicepw --leave-mail 1 >/dev/null
}
kivo_check() { "$kivo" --home "$home" check 2>/dev/null; }
mpop_reset() { rm -f "$out/mpop.mbx" "$out/mpop.uidls"; }
mpop_fetch() {
  mpop --host=127.0.0.1 --port="$MAILPEERS_POP3_PORT" --tls=off --auth=user --user=alice \
    --passwordeval='echo alicepw' --keep=on --only-new=off --uidls-file="$out/mpop.uidls" \
    --delivery=mbox,"$out/mpop.mbx" --quiet
}

# best_after_reset RESET CMD: the shortest of three timed runs of CMD, each after RESET (not
# timed).
best_after_reset() {
  local reset=$1 cmd=$2 best=""
  for _ in 1 2 3; do
    "$reset"
    local t0 t1 d
    t0=$(date +%s.%N)
    "$cmd" >/dev/null
    t1=$(date +%s.%N)
    d=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || (( $(echo "$d < $best" | bc -l) )); then best=$d; fi
  done
  printf '%.3f\n' "$best"
}

kivo_reset
summary=$(kivo_check)
mpop_reset
mpop_fetch
mpop_count=$(LC_ALL=C grep -c '^From ' "$out/mpop.mbx" || true)
if [ "$summary" != "5000 new messages" ] || [ "$mpop_count" -lt 5000 ]; then
  echo "MISMATCH: kivo check said '$summary', mpop delivered $mpop_count messages" >&2
  exit 1
fi
in_mb=$(printf '%.0f' "$(echo "$(du -sb "$home/Mail" | cut -f1) / 1048576" | bc -l)")
attach=$(find "$home/Attach" -type f | wc -l)
tk=$(best_after_reset kivo_reset kivo_check)
tm=$(best_after_reset mpop_reset mpop_fetch)
printf 'check: 5000 messages, %s MB on the server\n' "$size"
printf '  %-22s kivo %6s s   mpop %6s s   ratio %5s\n' "check, leave on server" "$tk" "$tm" \
  "$(ratio "$tm" "$tk")"
printf '  kivo wrote %s MB into Mail/ and %s attachment files\n' "$in_mb" "$attach"
rm -rf "$out"
