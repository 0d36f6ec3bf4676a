#!/usr/bin/env bash
# Filter: one rule run over every message of a 5,000-message mailbox (file mail whose
# Subject holds "[widgets-l]" into Lists and take it out of the inbox): `kivo script run`
# with a KivoScript filter beside Dovecot's sieve-filter with the same rule as a Sieve
# script on a copy of the same file. Both start from a fresh copy without an index, so each
# builds what it needs; the best of three runs counts, with the peak resident set of the
# runs beside it. Ratio: sieve-filter's time over Kivo's (above 1: Kivo is faster).
#
# Both sides must do the same work, so the task fails unless they file the same messages
# (bench/filed_compare.py, by Message-ID):
# - Dovecot takes a "From " line for a separator only when it ends in an asctime date; the
#   corpus also has the other forms Kivo reads and writes ("From ???@??? 14/09/2001 ...",
#   RFC 822 dates), which Dovecot would read as body text of the message before. Both
#   sides therefore read a copy whose separator lines carry one asctime date; every other
#   byte is the corpus's.
# - KivoScript's "^" is case-sensitive and ReadHeader reads the first Subject field only,
#   decoded; the Sieve rule says the same with the i;octet comparator and :index 1.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

if ! command -v sieve-filter >/dev/null; then
  echo "installing dovecot-sieve for the sieve-filter peer..." >&2
  apt-get install -y -q dovecot-sieve >/dev/null 2>&1 ||
    { apt-get update -q >/dev/null && apt-get install -y -q dovecot-sieve >/dev/null; }
fi

[ -x /usr/bin/time ] || { apt-get install -y -q time >/dev/null 2>&1 || true; }

kivo=$KIVO_BENCH_BUILD/app/kivo
source_mbx=$(corpus filter-seed11 -n 5000 --seed 11)
work=$KIVO_BENCH_DIR/filter
rm -rf "$work"
mkdir -p "$work"
mbx=$work/source.mbx
LC_ALL=C sed -E 's/^(From [^ ]+) .*$/\1 Mon Jan  1 00:00:00 2001\r/' "$source_mbx" >"$mbx"

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
require ["fileinto", "index", "comparator-i;octet"];
if header :index 1 :comparator "i;octet" :contains "subject" "[widgets-l]" {
  fileinto "Lists";
}
SIEVE
chmod 755 "$work"
# Compiled once beforehand: the unprivileged filter cannot write its binary beside the script.
sievec -c "$work/dovecot.conf" "$work/lists.sieve"

# peak CMD...: runs CMD; "peak-kB user-s system-s" of it go to $work/time.txt.
peak() { /usr/bin/time -f '%M %U %S' -o "$work/time.txt" "$@"; }

# best SIDE: "seconds cpu-seconds peak-MB" of SIDE: the shortest of three runs with the
# processor time (user and system) of that run, and the largest peak resident set of the
# three; fails when a run fails.
best() {
  local best="" cpu="" peak=0 d kb user sys
  for _ in 1 2 3; do
    "$1" prepare
    local t0 t1
    t0=$(date +%s.%N)
    "$1" run ||
      { echo "filter: the $1 run failed" >&2; return 1; }
    t1=$(date +%s.%N)
    d=$(echo "$t1 - $t0" | bc -l)
    read -r kb user sys < <(tail -1 "$work/time.txt")
    if [ -z "$best" ] || (( $(echo "$d < $best" | bc -l) )); then
      best=$d
      cpu=$(echo "$user + $sys" | bc -l)
    fi
    if ((kb > peak)); then peak=$kb; fi
  done
  printf '%.3f %.2f %.1f\n' "$best" "$cpu" "$(echo "$peak / 1024" | bc -l)"
}

kivo_side() {
  if [ "$1" = prepare ]; then
    rm -rf "$work/kivo" && cp -a "$work/kivo0" "$work/kivo"
    rm -f "$work/kivo/Mail/In.idx" && cp "$mbx" "$work/kivo/Mail/In.mbx"
    cat "$work/kivo/Mail/In.mbx" >/dev/null
  else
    peak "$kivo" --home "$work/kivo" -q script run Lists In "1-$count" >/dev/null
  fi
}

sieve_side() {
  if [ "$1" = prepare ]; then
    rm -rf "$work/sieve" && mkdir -p "$work/sieve"
    cp "$mbx" "$work/sieve/inbox" && : >"$work/sieve/Lists"
    chown -R 65534:65534 "$work/sieve"
    cat "$work/sieve/inbox" >/dev/null
  else
    HOME=$work USER=nobody peak sieve-filter -c "$work/dovecot.conf" -e -W \
      "$work/lists.sieve" INBOX >"$work/sieve.log" 2>&1
  fi
}

read -r tk ck mk < <(best kivo_side || echo fail)
[ "$tk" != fail ] || exit 1
read -r ts cs ms < <(best sieve_side || echo fail)
[ "$ts" != fail ] || { tail -5 "$work/sieve.log" >&2; exit 1; }
printf 'filter %s messages, %s MB: ' "$count" "$(($(stat -c %s "$mbx") / 1048576))"
python3 "$KIVO_ROOT/bench/filed_compare.py" "$mbx" "$work/kivo/Mail/Lists.mbx" "$work/sieve/Lists"
printf '  %-16s kivo %6s s %6s MB   sieve-filter %6s s %6s MB (x%s; goal x2)\n' \
  "filter and file" "$tk" "$mk" "$ts" "$ms" "$(ratio "$ts" "$tk")"
# Both make every filed message durable before going on, Kivo with an append journal and
# two fdatasyncs, Dovecot with one: the processor time shows the work without that waiting.
printf '  %-16s kivo %6s s            sieve-filter %6s s           (x%s)\n' \
  "processor time" "$ck" "$cs" "$(ratio "$cs" "$ck")"
