#!/usr/bin/env bash
# Filter: one rule run over every message of a 5,000-message mailbox (file mail whose
# Subject holds "[widgets-l]" into Lists and take it out of the inbox): `kivo script run`
# with a KivoScript filter beside Dovecot's sieve-filter with the same rule as a Sieve
# script on an mbox copy of the same file. Both start from a fresh copy without an index,
# so each builds what it needs; the best of three runs counts. Ratio: sieve-filter's time
# over Kivo's (above 1: Kivo is faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

if ! command -v sieve-filter >/dev/null; then
  echo "installing dovecot-sieve for the sieve-filter peer..." >&2
  apt-get install -y -q dovecot-sieve >/dev/null 2>&1 ||
    { apt-get update -q >/dev/null && apt-get install -y -q dovecot-sieve >/dev/null; }
fi

kivo=$KIVO_BENCH_BUILD/app/kivo
mbx=$(corpus filter-seed11 -n 5000 --seed 11)
work=$KIVO_BENCH_DIR/filter
rm -rf "$work"
mkdir -p "$work"

# Kivo: a program folder whose In is the corpus.
"$kivo" --home "$work/kivo0" init >/dev/null
cat >"$work/kivo0/Scripts/Lists.kiv" <<'KIV'
ReadHeader $s Subject %message
Set $w "[widgets-l]"
If $w ^ $s then File
Exit
:File
AppendToFile True
SaveMessage %message Lists.mbx
DeleteMessage %message
KIV
count=$(grep -c '^From ' "$mbx")

# Dovecot runs mail access as an unprivileged user; the mail folder is that user's.
cat >"$work/dovecot.conf" <<CONF
mail_location = mbox:$work/sieve:INBOX=$work/sieve/inbox
mail_uid = 65534
mail_gid = 65534
protocols =
ssl = no
CONF
cat >"$work/lists.sieve" <<'SIEVE'
require ["fileinto"];
if header :contains "subject" "[widgets-l]" { fileinto "Lists"; }
SIEVE
chmod 755 "$work"

best() {
  local best="" d
  for _ in 1 2 3; do
    "$1" prepare
    local t0 t1
    t0=$(date +%s.%N)
    "$1" run
    t1=$(date +%s.%N)
    d=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || (( $(echo "$d < $best" | bc -l) )); then best=$d; fi
  done
  printf '%.3f\n' "$best"
}

kivo_side() {
  if [ "$1" = prepare ]; then
    rm -rf "$work/kivo" && cp -a "$work/kivo0" "$work/kivo"
    rm -f "$work/kivo/Mail/In.idx" && cp "$mbx" "$work/kivo/Mail/In.mbx"
    cat "$work/kivo/Mail/In.mbx" >/dev/null
  else
    "$kivo" --home "$work/kivo" -q script run Lists In "1-$count" >/dev/null
  fi
}

sieve_side() {
  if [ "$1" = prepare ]; then
    rm -rf "$work/sieve" && mkdir -p "$work/sieve"
    cp "$mbx" "$work/sieve/inbox" && : >"$work/sieve/Lists"
    chown -R 65534:65534 "$work/sieve"
    cat "$work/sieve/inbox" >/dev/null
  else
    HOME=$work USER=nobody sieve-filter -c "$work/dovecot.conf" -e -W \
      "$work/lists.sieve" INBOX >/dev/null 2>&1
  fi
}

tk=$(best kivo_side)
filed_kivo=$(grep -c '^From ' "$work/kivo/Mail/Lists.mbx" || true)
ts=$(best sieve_side)
filed_sieve=$(grep -c '^From ' "$work/sieve/Lists" || true)
printf 'filter %s messages, %s MB: kivo filed %s, sieve-filter filed %s\n' "$count" \
  "$(($(stat -c %s "$mbx") / 1048576))" "$filed_kivo" "$filed_sieve"
printf '  %-16s kivo %6s s   sieve-filter %6s s (x%s)\n' "filter and file" "$tk" "$ts" \
  "$(ratio "$ts" "$tk")"
