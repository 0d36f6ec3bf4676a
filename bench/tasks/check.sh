#!/usr/bin/env bash
# Checking mail: 5,000 generated messages seeded into a private Dovecot (the loopback rig of
# ../shared/peers), fetched by `kivo check` (LeaveMail on, so every run finds the same
# mailbox; each run starts from a fresh program folder) and by mpop delivering the same
# mailbox to an mbox file, in the same run, over plain POP3 and over TLS (port 995 style).
# Kivo does what a check does: it decodes every message, writes the attachments out as
# files, appends the stored form to In and keeps In's index and the leave-on-server list.
# The ratio is mpop's time over Kivo's (above 1: Kivo is faster).
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

# The connection of the current row: plain POP3 or implicit TLS, trusting the rig's own CA.
mode=plain
kivo_reset() {
  rm -rf "$home"
  mkdir -p "$home"
  local server="127.0.0.1:$MAILPEERS_POP3_PORT"
  [ "$mode" = tls ] && server="$MAILPEERS_TLS_NAME:$MAILPEERS_POP3S_PORT"
  "$kivo" --home "$home" account add bench --pop-server "$server" \
    --pop-user alice --password alicepw --leave-mail 1 --yes >/dev/null
  if [ "$mode" = tls ]; then
    "$kivo" --home "$home" account set bench POPSecurity=tls >/dev/null
  fi
}
kivo_check() { SSL_CERT_FILE=$MAILPEERS_CA_FILE "$kivo" --home "$home" check 2>/dev/null; }
mpop_reset() { rm -f "$out/mpop.mbx" "$out/mpop.uidls"; }
mpop_fetch() {
  local connection=(--host=127.0.0.1 --port="$MAILPEERS_POP3_PORT" --tls=off)
  if [ "$mode" = tls ]; then
    connection=(--host="$MAILPEERS_TLS_NAME" --port="$MAILPEERS_POP3S_PORT" --tls=on
      --tls-starttls=off --tls-trust-file="$MAILPEERS_CA_FILE")
  fi
  mpop "${connection[@]}" --auth=user --user=alice \
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

printf 'check: 5000 messages, %s MB on the server\n' "$size"
for mode in plain tls; do
  kivo_reset
  summary=$(kivo_check)
  mpop_reset
  mpop_fetch
  mpop_count=$(LC_ALL=C grep -c '^From ' "$out/mpop.mbx" || true)
  if [ "$summary" != "5000 new messages" ] || [ "$mpop_count" -lt 5000 ]; then
    echo "MISMATCH ($mode): kivo check said '$summary', mpop delivered $mpop_count messages" >&2
    exit 1
  fi
  in_mb=$(printf '%.0f' "$(echo "$(du -sb "$home/Mail" | cut -f1) / 1048576" | bc -l)")
  attach=$(find "$home/Attach" -type f | wc -l)
  tk=$(best_after_reset kivo_reset kivo_check)
  tm=$(best_after_reset mpop_reset mpop_fetch)
  printf '  %-22s kivo %6s s   mpop %6s s   ratio %5s\n' "check, leave, $mode" "$tk" "$tm" \
    "$(ratio "$tm" "$tk")"
done
printf '  kivo wrote %s MB into Mail/ and %s attachment files\n' "$in_mb" "$attach"
rm -rf "$out"
