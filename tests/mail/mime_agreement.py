#!/usr/bin/env python3
"""How far `kivo mime dump` agrees with Python's email package on folders of messages.

  mime_agreement.py [--min PCT] [--glob PATTERN] [--json FILE] [--quiet] KIVO DIR...

Each DIR is one source; every file under it that matches PATTERN (default "*"; hidden files and
README* aside) is one message.
Prints, per source and overall, how many subjects, senders, main texts and attachments agree,
then every disagreement (file, field, Kivo's value, Python's value, and what is known about
it). With --min, exits 1 when subjects, senders or attachments agree on less than PCT percent
overall; main text is reported but not held to it.

What "agree" means (email_reading.py says what Python's side is):
- subject and sender name: equal bytes after runs of blanks, tabs and line breaks become one
  blank and the ends are trimmed (both sides unfold differently: Kivo joins folded lines with
  one blank, the package keeps the folding whitespace). Text is compared as bytes: UTF-8 for
  decoded encoded words on both sides, undeclared 8-bit bytes as they are.
- sender address: equal after trimming. A sender that matches the package's older parser
  (email.utils.getaddresses) but not its modern one is still a difference, marked as such.
- main text: the same lines after trailing blanks and tabs are dropped from each line and
  empty lines from the end; line ends (CR LF, LF, CR) do not count. No charset conversion on
  either side.
- attachments: each leaf Python finds outside the main text is matched with one of Kivo's
  attachments by SHA-256 of the decoded bytes; parts sent as text may differ in line ends and
  in the last line end (see email_reading.digests). Unmatched leaves on either side are
  differences; the percentage is matched / (matched + unmatched on both sides).
"""

import argparse
import json
import re
import subprocess
import sys
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from email_reading import (KIVO_ERROR_LINE, dump_bytes, kivo_dump,  # noqa: E402
                           read_with_python)

FIELDS = ("subject", "sender", "text", "attachments")
HELD = ("subject", "sender", "attachments")


def blanks(value):
    return re.sub(rb"\s+", b" ", value or b"").strip()


def text_lines(lines):
    out = [line.rstrip(b" \t") for line in lines]
    while out and not out[-1]:
        out.pop()
    return out


def split_text(data):
    return re.split(rb"\r\n|\r|\n", data) if data else []


# Notes that name a known cause, in the order the summary tries them.
CAUSES = [
    ("Kivo gave up", "Kivo gave up on the message"),
    ("no MIME-Version", "no MIME-Version, multipart or non-text Content-Type"),
    ("Python's older address parser", "comment as the sender's name (Python drops it)"),
    ("Kivo keeps a subject's first 255", "subject longer than 255 bytes"),
    ("Kivo drops a last line", "last line a lone '.'"),
    ("Python noted: MissingHeaderBodySeparatorDefect", "header block not ended by a blank line"),
]


def cause(difference):
    for prefix, name in CAUSES:
        if any(note.startswith(prefix) for note in difference.notes):
            return name
    return "other"


def show(value, limit=160):
    if isinstance(value, bytes):
        value = value.decode("utf-8", "backslashreplace")
    text = repr(value)
    return text if len(text) <= limit else text[:limit] + "...'"


@dataclass
class Difference:
    file: str
    field: str
    kivo: object
    python: object
    notes: list = field(default_factory=list)


@dataclass
class Tally:
    messages: int = 0
    agree: dict = field(default_factory=lambda: dict.fromkeys(FIELDS, 0))
    total: dict = field(default_factory=lambda: dict.fromkeys(FIELDS, 0))

    def add(self, other):
        self.messages += other.messages
        for name in FIELDS:
            self.agree[name] += other.agree[name]
            self.total[name] += other.total[name]

    def percent(self, name):
        return 100.0 if not self.total[name] else 100.0 * self.agree[name] / self.total[name]


def kivo_notes(dump):
    body = [dump_bytes(line) for line in dump["body"]]
    if KIVO_ERROR_LINE in body:
        at = body.index(KIVO_ERROR_LINE)
        reason = body[at + 1].decode("latin-1") if at + 1 < len(body) else "?"
        return [f"Kivo gave up on the message: {reason}"]
    return []


def compare_message(kivo, path, label, tally):
    """Adds one message to `tally` and returns its differences."""
    raw = path.read_bytes()
    py = read_with_python(raw)
    tally.messages += 1
    for name in FIELDS[:3]:
        tally.total[name] += 1
    try:
        dump = kivo_dump(kivo, path)
    except (subprocess.CalledProcessError, subprocess.TimeoutExpired, ValueError) as e:
        tally.total["attachments"] += len(py.attachments)
        return [Difference(label, "decode", f"kivo failed: {e}", "", [])]
    diffs = []
    common = kivo_notes(dump) + [f"Python noted: {', '.join(py.defects)}"] * bool(py.defects)
    if not py.mime_version and not py.content_type.startswith("text/"):
        common.append(f"no MIME-Version, but a {py.content_type} Content-Type")

    def differ(name, kivo_value, python_value, notes=()):
        diffs.append(Difference(label, name, kivo_value, python_value, list(notes) + common))

    subject = dump_bytes(dump["subject"])
    if blanks(subject) == blanks(py.subject):
        tally.agree["subject"] += 1
    else:
        notes = []
        if len(subject) >= 250 and blanks(py.subject).startswith(blanks(subject)):
            notes.append("Kivo keeps a subject's first 255 bytes")
        differ("subject", subject, py.subject, notes)

    name = dump_bytes(dump["sender"]["name"])
    address = dump_bytes(dump["sender"]["address"])
    kivo_sender = (blanks(name), address.strip())
    python_sender = tuple(map(blanks, py.sender or (b"", b"")))
    if kivo_sender == python_sender:
        tally.agree["sender"] += 1
    else:
        notes = []
        legacy = tuple(map(blanks, py.sender_legacy or (b"", b"")))
        if legacy == kivo_sender:
            notes.append("Python's older address parser (getaddresses) reads it as Kivo does")
        differ("sender", kivo_sender, python_sender, notes)

    kivo_text = text_lines(dump_bytes(line) for line in dump["body"])
    python_text = text_lines(split_text(py.body))
    if kivo_text == python_text:
        tally.agree["text"] += 1
    else:
        notes = [f"Python's main text is a {py.body_type or 'missing'} part"]
        if python_text[:-1] == kivo_text and python_text[-1:] == [b"."]:
            notes.append("Kivo drops a last line that is a lone '.'")
        differ("text", first_difference(kivo_text, python_text),
               first_difference(python_text, kivo_text), notes)

    diffs += compare_attachments(dump, py, label, tally, common)
    return diffs


def first_difference(lines, other):
    """The line where `lines` first departs from `other`, with its number and the count."""
    for n, line in enumerate(lines):
        if n >= len(other) or other[n] != line:
            return f"{len(lines)} lines; line {n + 1}: {show(line, 100)}"
    return f"{len(lines)} lines; ends after line {len(lines)}"


def compare_attachments(dump, py, label, tally, common):
    kivo_atts = list(dump["attachments"])
    unmatched_py = []
    for leaf in py.attachments:
        hit = next((a for a in kivo_atts if a["sha256"] in leaf.digests), None)
        if hit is None:
            unmatched_py.append(leaf)
        else:
            kivo_atts.remove(hit)
            tally.agree["attachments"] += 1
    tally.total["attachments"] += len(py.attachments) + len(kivo_atts)
    diffs = []
    for n in range(max(len(unmatched_py), len(kivo_atts))):
        leaf = unmatched_py[n] if n < len(unmatched_py) else None
        att = kivo_atts[n] if n < len(kivo_atts) else None
        kivo_side = "none" if att is None else (
            f"{dump_bytes(att['fileName']).decode('utf-8', 'replace')} {att['contentType']}, "
            f"{att['size']} bytes, sha256 {att['sha256'][:12]}")
        python_side = "none" if leaf is None else (
            f"{leaf.file_name or '(no name)'} {leaf.content_type}, {leaf.size} bytes")
        notes = list(common)
        if leaf is not None and leaf.defects:
            notes.append(f"Python noted on the part: {', '.join(leaf.defects)}")
        if py.uuencoded:
            notes.append("uuencoded files in the text")
        diffs.append(Difference(label, "attachment", kivo_side, python_side, notes))
    return diffs


def message_files(folder, pattern):
    for path in sorted(folder.rglob(pattern)):
        if path.is_file() and not path.name.startswith((".", "README")):
            yield path


def run(kivo, folders, pattern="*", quiet=False):
    overall = Tally()
    rows = []
    differences = []
    for folder in folders:
        tally = Tally()
        for path in message_files(folder, pattern):
            label = f"{folder.name}/{path.relative_to(folder)}"
            differences += compare_message(kivo, path, label, tally)
        rows.append((folder.name, tally))
        overall.add(tally)
    rows.append(("overall", overall))
    print(f"{'source':<16} {'msgs':>5}  " + "  ".join(f"{n:>19}" for n in FIELDS))
    for name, tally in rows:
        cells = [f"{tally.agree[n]:>5}/{tally.total[n]:<5} {tally.percent(n):6.2f}%"
                 for n in FIELDS]
        print(f"{name:<16} {tally.messages:>5}  " + "  ".join(cells))
    causes = {}
    for d in differences:
        key = (cause(d), d.field)
        causes[key] = causes.get(key, 0) + 1
    if causes:
        print("\ndifferences by cause:")
        for (name, field_name), count in sorted(causes.items()):
            print(f"  {count:>5}  {field_name:<11} {name}")
    if not quiet:
        for d in differences:
            print(f"\n{d.file}: {d.field}\n  kivo:   {show(d.kivo)}\n  python: {show(d.python)}")
            for note in d.notes:
                print(f"  note:   {note}")
    return overall, differences


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--min", type=float, help="least agreement in percent")
    parser.add_argument("--json", type=Path, help="write the differences to this file")
    parser.add_argument("--glob", default="*", help="file names to read (default: all)")
    parser.add_argument("--quiet", action="store_true", help="figures only")
    parser.add_argument("kivo")
    parser.add_argument("folders", nargs="+", type=Path)
    args = parser.parse_args(argv[1:])
    overall, differences = run(args.kivo, args.folders, args.glob, args.quiet)
    if args.json:
        args.json.write_text(json.dumps(
            [{"file": d.file, "field": d.field, "kivo": show(d.kivo, 10000),
              "python": show(d.python, 10000), "notes": d.notes} for d in differences],
            indent=1))
    if args.min is not None:
        low = [n for n in HELD if overall.percent(n) < args.min]
        if low:
            print(f"\nbelow {args.min}%: {', '.join(low)}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
