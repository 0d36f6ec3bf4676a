#!/usr/bin/env bash
# Find: a word searched in every message of a mail folder holding several large mailboxes,
# the matches copied into a results mailbox (bench_store find, as kivo find does) beside
# `LC_ALL=C grep -F -i -c` (which only counts lines and copies nothing) and the Python search
# peer that also copies the matches. Ratios are the peer's time over Kivo's (above 1: Kivo is
# faster).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

kivo=$KIVO_BENCH_BUILD/bench/bench_store
word=zanzibar
folder=$KIVO_BENCH_DIR/find-folder
rm -rf "$folder"
mkdir -p "$folder/Work"

files=(
  "$(corpus medium --preset medium)"
  "$(corpus medium-seed7 --preset medium --seed 7)"
  "$(corpus mbx-seed7 -n 5000 --seed 7 --mix plain=40,alt=20,mixed=30,uu=5,odd=5)"
)
ln -s "${files[0]}" "$folder/in.mbx"
ln -s "${files[1]}" "$folder/Work/Archive.mbx"
ln -s "${files[2]}" "$folder/Work/Lists.mbx"
total=0
for f in "${files[@]}"; do
  cat "$f" >/dev/null
  total=$(echo "$total + $(stat -c %s "$f")" | bc)
done

printf 'find "%s" in %s mailboxes, %s MB: %s\n' "$word" "${#files[@]}" \
  "$(printf '%.0f' "$(echo "$total / 1048576" | bc -l)")" \
  "$("$kivo" find "$word" "$folder" "$KIVO_BENCH_DIR/find-results")"
tg=$(seconds_piped env LC_ALL=C grep -F -i -c "$word" "${files[@]}")
tk=$(seconds "$kivo" find "$word" "$folder" "$KIVO_BENCH_DIR/find-results")
tp=$(once python3 "$KIVO_SHARED/bench/peers/py_search.py" "$word" "$KIVO_BENCH_DIR/find-py.mbx" "${files[@]}")
printf '  %-16s kivo %6s s   grep -F -i -c %6s s (x%s)   Python search+copy %6s s (x%s)\n' \
  "find and copy" "$tk" "$tg" "$(ratio "$tg" "$tk")" "$tp" "$(ratio "$tp" "$tk")"
rm -f "$KIVO_BENCH_DIR/find-results.mbx" "$KIVO_BENCH_DIR/find-py.mbx"
