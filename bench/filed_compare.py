#!/usr/bin/env python3
"""filed_compare.py SOURCE KIVO_FILED SIEVE_FILED: checks that two filters filed the same
messages of SOURCE, by Message-ID. Prints the number each side filed; when the sets differ,
lists every message filed by one side only (its position in SOURCE, Message-ID and Subject
line) and exits with status 1. Dovecot rewrites line ends and adds its own header lines to
what it files, so messages are matched by Message-ID, never by their bytes."""
import re
import sys

SEPARATOR = re.compile(rb"^From ", re.M)
MESSAGE_ID = re.compile(rb"^message-id:[ \t]*(\S+)", re.I | re.M)
SUBJECT = re.compile(rb"^subject:[ \t]*([^\r\n]*)", re.I | re.M)


def messages(path):
    """(Message-ID, Subject) of every message of a mailbox file, in order."""
    data = open(path, "rb").read()
    starts = [m.start() for m in SEPARATOR.finditer(data)]
    out = []
    for k, start in enumerate(starts):
        end = starts[k + 1] if k + 1 < len(starts) else len(data)
        text = data[start:end]
        blank = re.search(rb"\r?\n\r?\n", text)
        header = text[: blank.start()] if blank else text
        mid = MESSAGE_ID.search(header)
        subject = SUBJECT.search(header)
        out.append((mid.group(1).decode("latin-1") if mid else None,
                    subject.group(1).decode("latin-1") if subject else ""))
    return out


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: filed_compare.py SOURCE KIVO_FILED SIEVE_FILED")
    source = messages(sys.argv[1])
    ids = [mid for mid, _ in source]
    if None in ids or len(set(ids)) != len(ids):
        sys.exit("filed_compare: %s has messages without a Message-ID or with a repeated one"
                 % sys.argv[1])
    where = {mid: (n, subject) for n, (mid, subject) in enumerate(source, 1)}
    kivo = {mid for mid, _ in messages(sys.argv[2])}
    sieve = {mid for mid, _ in messages(sys.argv[3])}
    print("kivo filed %d, sieve-filter filed %d" % (len(kivo), len(sieve)))
    differ = False
    for name, only in (("kivo", kivo - sieve), ("sieve-filter", sieve - kivo)):
        for mid in sorted(only, key=lambda m: where.get(m, (0, ""))[0]):
            n, subject = where.get(mid, (0, "(not in the source mailbox)"))
            print("  filed by %s only: message %d %s Subject: %s" % (name, n, mid, subject))
            differ = True
    if differ:
        print("filter: the two sides filed different messages; the times compare different work")
        sys.exit(1)


if __name__ == "__main__":
    main()
