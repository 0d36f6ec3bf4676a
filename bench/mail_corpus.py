#!/usr/bin/env python3
"""Real mail written by other programs, from Debian source packages, to hold the decoder
against: mailing-list archives, bounce notices, spam-filter and parser test mail.

  mail_corpus.py fetch CACHE              fetches and unpacks the sources into CACHE/mail/NAME
  mail_corpus.py compare CACHE KIVO [ARG...]  fetch, then tests/mail/mime_agreement.py on them

The packages come from the Debian archive with apt-get under a private configuration in
CACHE/apt (its own source list with a deb-src line, its own package lists and download
folder), so the machine's apt configuration is neither needed nor changed. Nothing fetched
here is ever part of the repository. Each source's licence allows its use as test input:

  notmuch-lkml  notmuch test/corpora/lkml: a thread of the Linux kernel list  GPL-3+
  notmuch       notmuch test/corpora, the rest: list mail, crypto, broken    GPL-3+
  rspamd        rspamd test/functional/messages: spam-filter test mail       Apache-2.0
  python-email  CPython Lib/test/test_email/data/msg_*.txt                   PSF-2.0
  bounces       Mail-DeliveryStatus-BounceParser t/corpus: real bounces      Artistic or GPL-1+
  bogofilter    bogofilter src/tests/inputs: ham and spam mailboxes          GPL-2
  cyrus         cyrus-imapd cassandane/data/mime                             BSD (CMU)

A file that begins with a "From " line is a mailbox: it is split at its "From " lines, which
are dropped, and each message becomes a file of its own.
"""

import fnmatch
import re
import subprocess
import sys
import tarfile
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
ARCHIVE = "http://deb.debian.org/debian"
SUITE = "bookworm"


@dataclass
class Source:
    name: str
    package: str
    folder: str       # inside the unpacked tree, below its top folder
    keep: str         # file names (fnmatch) to take from there
    skip: str = ""    # paths below `folder` (fnmatch) to leave out


SOURCES = [
    Source("notmuch-lkml", "notmuch", "test/corpora/lkml", "*"),
    Source("notmuch", "notmuch", "test/corpora", "*", skip="lkml/*"),
    Source("rspamd", "rspamd", "test/functional/messages", "*"),
    Source("python-email", "python3.11", "Lib/test/test_email/data", "msg_*.txt"),
    Source("bounces", "libmail-deliverystatus-bounceparser-perl", "t/corpus", "*"),
    Source("bogofilter", "bogofilter", "src/tests/inputs", "*", skip="*lexer*"),
    Source("cyrus", "cyrus-imapd", "cassandane/data/mime", "*.eml"),
]

NOT_MAIL = re.compile(r"(README.*|.*\.(gz|pub|sec|inp|out|upd|exp|flex))$")


def apt(cache, *args, cwd=None):
    conf = cache / "apt"
    options = ["-o", f"Dir::Etc::SourceList={conf}/sources.list",
               "-o", "Dir::Etc::SourceParts=/nonexistent",
               "-o", f"Dir::State::Lists={conf}/lists",
               "-o", f"Dir::Cache={conf}/cache"]
    subprocess.run(["apt-get", "-q", *options, *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL)


def original_tarball(cache, package):
    found = sorted((cache / "src").glob(f"{package}_*.orig.tar.*"))
    return next((t for t in found if not t.name.endswith(".asc")), None)


def fetch_packages(cache):
    conf = cache / "apt"
    for sub in ("lists/partial", "cache/archives/partial"):
        (conf / sub).mkdir(parents=True, exist_ok=True)
    (conf / "sources.list").write_text(f"deb-src {ARCHIVE} {SUITE} main\n")
    (cache / "src").mkdir(exist_ok=True)
    missing = sorted({s.package for s in SOURCES if not original_tarball(cache, s.package)})
    if missing and not list((conf / "lists").glob("*Sources*")):
        apt(cache, "update")
    for package in missing:
        print(f"fetching the source of {package}", file=sys.stderr)
        apt(cache, "source", "--download-only", package, cwd=cache / "src")


def split_mailbox(data):
    """The messages of a mailbox, without their "From " lines."""
    messages = re.split(rb"(?:^|\n)From [^\n]*\n", data)
    return [m for m in messages if m.strip()]


def unpack(cache, source):
    """Writes the source's messages into CACHE/mail/NAME, once."""
    target = cache / "mail" / source.name
    done = target / ".done"
    if done.exists():
        return target
    target.mkdir(parents=True, exist_ok=True)
    with tarfile.open(original_tarball(cache, source.package)) as tar:
        for member in tar:
            if not member.isfile():
                continue
            top, _, inner = member.name.partition("/")
            if not inner.startswith(source.folder + "/"):
                continue
            below = inner[len(source.folder) + 1:]
            name = below.rsplit("/", 1)[-1]
            if (not fnmatch.fnmatch(name, source.keep) or NOT_MAIL.match(name)
                    or (source.skip and fnmatch.fnmatch(below, source.skip))):
                continue
            data = tar.extractfile(member).read()
            flat = below.replace("/", "_")
            if data.startswith(b"From "):
                for n, message in enumerate(split_mailbox(data), 1):
                    (target / f"{flat}.{n:03}").write_bytes(message)
            else:
                (target / flat).write_bytes(data)
    done.touch()
    return target


def fetch(cache):
    fetch_packages(cache)
    return [unpack(cache, source) for source in SOURCES]


def main(argv):
    if len(argv) == 3 and argv[1] == "fetch":
        fetch(Path(argv[2]))
        return 0
    if len(argv) >= 4 and argv[1] == "compare":
        folders = fetch(Path(argv[2]))
        compare = ROOT / "tests" / "mail" / "mime_agreement.py"
        return subprocess.run([sys.executable, str(compare), *argv[4:], argv[3],
                               *map(str, folders)]).returncode
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
