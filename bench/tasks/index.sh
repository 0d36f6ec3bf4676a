#!/usr/bin/env bash
# Index rebuild and compression. The index of a mailbox rebuilt from the file in one pass
# (bench_store index, PopulateAll) beside `LC_ALL=C grep -c '^From '`, the GMime mbox parser
# and Python's mailbox module reading the same headers; then the mailbox compressed after
# every tenth message was deleted (bench_store compress, which writes, flushes to disk and
# renames a new file) beside copying the file and flushing it (`cp` + `sync`). Ratios are the
# peer's time over Kivo's (above 1: Kivo is faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

kivo=$KIVO_BENCH_BUILD/bench/bench_store
dir=$KIVO_BENCH_DIR
work=$dir/store-work
mkdir -p "$work"

gmime=$(gmime_peer)

index_corpus() {
  local file=$1 python=${2:-}
  local name link tg tk tm tp
  name=$(basename "$file" .mbx)
  link=$work/$name.mbx
  ln -sf "$file" "$link"
  rm -f "$work/$name.d"
  cat "$file" >/dev/null
  printf '%s: %s MB, %s\n' "$name" "$(printf '%.0f' "$(echo "$(stat -c %s "$file") / 1048576" | bc -l)")" \
    "$("$kivo" index "$link")"
  tg=$(seconds_piped env LC_ALL=C grep -c '^From ' "$file")
  tk=$(seconds "$kivo" index "$link")
  tm=$(seconds quiet "$gmime" index "$file")
  printf '  %-16s kivo %6s s   grep -c %6s s (x%s)   GMime %6s s (x%s)' "index rebuild" \
    "$tk" "$tg" "$(ratio "$tg" "$tk")" "$tm" "$(ratio "$tm" "$tk")"
  if [ -n "$python" ]; then
    tp=$(once python3 "$KIVO_SHARED/bench/peers/py_index.py" headers "$file")
    printf '   Python mailbox %6s s (x%s)' "$tp" "$(ratio "$tp" "$tk")"
  fi
  printf '\n'
}

compress_corpus() {
  local file=$1
  local name copy count tk tc
  name=$(basename "$file" .mbx)-compress
  copy=$work/$name.mbx
  count=$(LC_ALL=C grep -c '^From ' "$file")
  cp "$file" "$copy"
  seq 10 10 "$count" | sed 's/$/\r/' >"$work/$name.d"
  sync
  tk=$(once "$kivo" compress "$copy")
  tc=$(once sh -c "cp '$file' '$work/copy.tmp' && sync '$work/copy.tmp'")
  printf '  %-16s kivo %6s s   cp+sync %6s s (x%s)   %s of %s messages left\n' "compress 1/10" \
    "$tk" "$tc" "$(ratio "$tc" "$tk")" "$(LC_ALL=C grep -c '^From ' "$copy")" "$count"
  rm -f "$copy" "$work/$name.d" "$work/$name.idx" "$work/copy.tmp"
}

medium=$(corpus medium --preset medium)
index_corpus "$medium" python
compress_corpus "$medium"
index_corpus "$(corpus medium-seed7 --preset medium --seed 7)"
