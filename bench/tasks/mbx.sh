#!/usr/bin/env bash
# Mailbox files: counting the messages of a large mailbox (kivo mbx count) and extracting its
# last message (kivo mbx extract, which must walk the whole file to find it), each beside
# `LC_ALL=C grep -c '^From '` on the same file in the same run. The ratio is grep's time over
# Kivo's (above 1: Kivo is faster). Two corpora with different seeds and mixes.
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

kivo=$KIVO_BENCH_BUILD/app/kivo

run_corpus() {
  local file=$1
  local size count grep_count tg tc te
  size=$(printf '%.0f' "$(echo "$(stat -c %s "$file") / 1048576" | bc -l)")
  cat "$file" >/dev/null  # warm the page cache for every contender alike
  count=$("$kivo" mbx count "$file")
  grep_count=$(LC_ALL=C grep -c '^From ' "$file")
  if [ "$count" != "$grep_count" ]; then
    echo "MISMATCH: kivo counts $count messages, grep $grep_count" >&2
    exit 1
  fi
  tg=$(seconds_piped env LC_ALL=C grep -c '^From ' "$file")
  tc=$(seconds_piped "$kivo" mbx count "$file")
  te=$(seconds_piped "$kivo" mbx extract "$file" "$count")
  printf '%s: %s MB, %s messages\n' "$(basename "$file")" "$size" "$count"
  printf '  %-22s kivo %6s s   grep -c %6s s   ratio %5s\n' "count messages" "$tc" "$tg" "$(ratio "$tg" "$tc")"
  printf '  %-22s kivo %6s s   grep -c %6s s   ratio %5s\n' "extract last message" "$te" "$tg" "$(ratio "$tg" "$te")"
}

run_corpus "$(corpus medium --preset medium)"
run_corpus "$(corpus mbx-seed7 -n 5000 --seed 7 --mix plain=40,alt=20,mixed=30,uu=5,odd=5)"
