#!/usr/bin/env bash
# A mailbox of 1,000,000 tiny messages: the memory and time of listing it with `kivo ls` (the
# first run rebuilds the index from the file, the second loads the index file) and of
# `kivo compress` after a few messages were deleted. Memory is the maximum resident set
# (/usr/bin/time) beyond that of `kivo ls` on an empty mailbox, per message; the peer is
# `LC_ALL=C grep -c '^From '` on the same file in the same run, and the ratio is Kivo's time
# over grep's. KIVO_BIGMBX_KIVO runs another kivo executable (e.g. an older build).
set -euo pipefail
source "$(dirname "$0")/../lib.sh"

kivo=${KIVO_BIGMBX_KIVO:-$KIVO_BENCH_BUILD/app/kivo}
count=${KIVO_BIGMBX_COUNT:-1000000}
work=$KIVO_BENCH_DIR/bigmbx
home=$work/home
mbx=$work/big-$count.mbx
mkdir -p "$work"

# Every message: separator, From/To/Subject/Date/Status headers, one body line.
if [ ! -s "$mbx" ]; then
  echo "generating $count tiny messages..." >&2
  python3 - "$count" "$mbx" <<'EOF'
import sys
count, path = int(sys.argv[1]), sys.argv[2]
days = ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]
with open(path, "w", newline="") as out:
    chunk = []
    for n in range(1, count + 1):
        day, hour, minute = n % 28 + 1, n % 24, n % 60
        chunk.append(
            f"From user{n % 97}@example.com {day:02d}/02/2024 {hour:02d}:{minute:02d}:00\r\n"
            f"From: User {n % 97} <user{n % 97}@example.com>\r\n"
            f"To: me@example.org\r\n"
            f"Subject: note {n * 7919 % 1000003}\r\n"
            f"Date: {days[day % 7]}, {day} Feb 2024 {hour:02d}:{minute:02d}:00 +0000\r\n"
            f"Status: {'U' if n % 3 == 0 else 'R'}\r\n"
            f"\r\n"
            f"hi {n}\r\n")
        if len(chunk) == 10000:
            out.write("".join(chunk))
            chunk = []
    out.write("".join(chunk))
EOF
fi

# measure CMD...: "<max RSS in kB> <wall seconds>" of one run of CMD, its output discarded.
measure() {
  local t0 t1 rss
  t0=$(date +%s.%N)
  /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" ||
    { cat "$work/stderr.txt" >&2; return 1; }
  t1=$(date +%s.%N)
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  printf '%s %.3f\n' "$rss" "$(echo "$t1 - $t0" | bc -l)"
}

# report NAME "RSS SECONDS": one result line beside grep -c.
report() {
  local rss secs
  read -r rss secs <<<"$2"
  printf '  %-22s kivo %7s s  %6.1f bytes/message   grep -c %6s s   ratio %6s\n' "$1" "$secs" \
    "$(echo "($rss - $base_rss) * 1024 / $count" | bc -l)" "$tg" "$(ratio "$secs" "$tg")"
}

rm -rf "$home"
"$kivo" --home "$home" init >/dev/null
cp "$mbx" "$home/Mail/Big.mbx"
cat "$home/Mail/Big.mbx" >/dev/null  # warm the page cache for every contender alike

read -r base_rss _ <<<"$(measure "$kivo" --home "$home" ls In)"
tg=$(seconds_piped env LC_ALL=C grep -c '^From ' "$home/Mail/Big.mbx")
printf '%s: %s MB, %s messages; kivo ls on an empty mailbox %s kB\n' "$(basename "$mbx")" \
  "$(printf '%.0f' "$(echo "$(stat -c %s "$mbx") / 1048576" | bc -l)")" "$count" "$base_rss"

report "ls (index rebuilt)" "$(measure "$kivo" --home "$home" ls Big)"
report "ls (index loaded)" "$(measure "$kivo" --home "$home" ls Big)"
"$kivo" --home "$home" delete Big 2 $((count / 2)) "$count" >/dev/null
report "compress" "$(measure "$kivo" --home "$home" compress Big)"
left=$(LC_ALL=C grep -c '^From ' "$home/Mail/Big.mbx")
[ "$left" -eq $((count - 3)) ] || { echo "compress left $left messages" >&2; exit 1; }
rm -rf "$home"
