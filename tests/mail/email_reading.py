"""What Python's email package reads in a message, and what `kivo mime dump` reads, in forms
that can be compared. Shared by the checks that hold Kivo's decoder against the package.

Python's reading (BytesParser, policy.default):
- subject: the Subject header as the package decodes it (encoded words, unfolded);
- sender: the first address of From (display name, addr-spec); where the package's modern
  parser and its older `email.utils.getaddresses` disagree, both readings are kept;
- main text: the part `get_body(("plain", "html"))` chooses (the first text/plain or text/html
  part that is not an attachment, looking into multipart/related by its start part), as
  transfer-decoded bytes: no charset conversion, as Kivo keeps body text 8-bit;
- attachments: every other leaf of the multipart tree (message/* parts are leaves), in
  document order, as transfer-decoded bytes; a message/* part as its text was sent;
- uuencoded files in a single-part text body ("begin 644 name" ... "end") are decoded with
  `binascii.a2b_uu` and count as attachments, with the text before the first file as the main
  text, the way mail readers that know the form show it.
"""

import binascii
import hashlib
import json
import re
import subprocess
from dataclasses import dataclass, field
from email import policy
from email.header import decode_header, make_header
from email.message import EmailMessage
from email.parser import BytesParser
from email.utils import getaddresses

# Kivo's decoder writes these three lines into the body when it gives up on a message and
# keeps the raw text as "original.eml".
KIVO_ERROR_LINE = b"The following error has been occured while processing the message:"

UU_BEGIN = re.compile(rb"^begin [0-7]{3,4} (.+)$")


def dump_bytes(value):
    """The dump shows each byte as the character of that number."""
    return value.encode("latin-1")


def dump_text(value):
    return dump_bytes(value).decode("utf-8")


def kivo_dump(kivo, eml, timeout=60):
    """`kivo mime dump` of a file as a dict; raises CalledProcessError or TimeoutExpired."""
    run = subprocess.run([kivo, "mime", "dump", str(eml)], capture_output=True, check=True,
                         timeout=timeout)
    return json.loads(run.stdout)


def leaves(part, first=True, out=None):
    """(leaf, on the path of first parts) in document order; multiparts are descended,
    message/* parts are leaves. A multipart whose parts the package could not find (no
    boundary in the text) is a leaf holding its raw text."""
    if out is None:
        out = []
    if part.is_multipart() and part.get_content_maintype() == "multipart":
        for n, child in enumerate(part.get_payload()):
            leaves(child, first and n == 0, out)
    else:
        out.append((part, first))
    return out


def payload(part):
    if part.get_content_maintype() == "message":
        return None  # kept raw by Kivo; the package rebuilds it, so bytes are not compared
    return part.get_payload(decode=True)


def text_of(value):
    """A header value (str) as bytes: text in UTF-8, undecodable 8-bit bytes as they were."""
    return str(value).encode("utf-8", "surrogateescape")


class _MessagePartsRaw(EmailMessage):
    """Parses message/* parts as opaque text, so their bytes can be had as they were sent."""

    def get_content_type(self):
        value = super().get_content_type()
        return "x-" + value if value.startswith("message/") else value


def message_part_bytes(raw):
    """The transfer-decoded text of every message/* leaf, in document order."""
    msg = BytesParser(_MessagePartsRaw, policy=policy.default).parsebytes(raw)
    return [part.get_payload(decode=True) or b"" for part, _ in leaves(msg)
            if part.get_content_type().startswith("x-message/")]


def line_ends_crlf(data):
    return re.sub(rb"\r\n|\r|\n", b"\r\n", data)


def digests(data, text_form):
    """SHA-256 digests that count as the same attachment. A part sent as text (7bit, 8bit,
    quoted-printable) may be stored with CR LF line ends and with or without its last line
    end: text travels with CR LF, and the line end before a boundary belongs to the boundary."""
    forms = {data}
    if text_form:
        # A line end that came from the file, read by the package as LF, travels as CR LF,
        # also after a CR that the text itself holds ("=0D" at the end of a line).
        for crlf in (line_ends_crlf(data), data.replace(b"\n", b"\r\n")):
            stripped = crlf[:-2] if crlf.endswith(b"\r\n") else crlf
            forms |= {crlf, stripped, stripped + b"\r\n"}
    return {hashlib.sha256(form).hexdigest() for form in forms}


@dataclass
class Leaf:
    content_type: str
    file_name: str | None
    size: int
    digests: set
    defects: list = field(default_factory=list)


@dataclass
class PythonReading:
    subject: bytes | None = None
    sender: tuple | None = None           # (name, address) as bytes
    sender_legacy: tuple | None = None    # the same from email.utils.getaddresses
    body: bytes | None = None             # transfer-decoded main text, or None
    body_type: str = ""
    attachments: list = field(default_factory=list)
    defects: list = field(default_factory=list)  # what the package noted about the message
    uuencoded: bool = False
    mime_version: bool = False
    content_type: str = ""


def defect_names(part):
    return [type(d).__name__ for d in getattr(part, "defects", [])]


def read_sender(msg, reading):
    try:
        header = msg["from"]
    except Exception as e:  # the package's header parser has its own faults
        reading.defects.append(f"From: {type(e).__name__}")
        header = None
    if header is not None:
        addresses = getattr(header, "addresses", ())
        if addresses:
            first = addresses[0]
            reading.sender = (text_of(first.display_name), text_of(first.addr_spec))
        else:
            reading.sender = (b"", b"")
        reading.defects += [f"From: {name}" for name in defect_names(header)]
    raw = [value for name, value in msg.raw_items() if name.lower() == "from"]
    if raw:
        found = getaddresses([str(value) for value in raw])
        if found:
            name = found[0][0]
            try:
                name = str(make_header(decode_header(name)))
            except Exception:
                pass
            reading.sender_legacy = (text_of(name), text_of(found[0][1]))


def read_with_python(raw):
    msg = BytesParser(policy=policy.default).parsebytes(raw)
    reading = PythonReading()
    reading.defects += defect_names(msg)
    reading.mime_version = "mime-version" in msg
    reading.content_type = msg.get_content_type()
    try:
        subject = msg["subject"]
        reading.subject = None if subject is None else text_of(subject)
    except Exception as e:
        reading.defects.append(f"Subject: {type(e).__name__}")
    read_sender(msg, reading)

    try:
        body = msg.get_body(preferencelist=("plain", "html"))
    except Exception as e:
        reading.defects.append(f"get_body: {type(e).__name__}")
        body = None
    found = leaves(msg)
    if body is not None:
        reading.body = body.get_payload(decode=True) or b""
        reading.body_type = body.get_content_type()
    if body is msg and not msg.is_multipart() and reading.body_type == "text/plain":
        uu_files = split_uuencoded(reading)
        if uu_files is not None:
            return reading
    messages = iter(message_part_bytes(raw))
    for part, _ in found:
        inner = None
        if part.get_content_maintype() == "message":
            inner = next(messages, b"")
        if part is body:
            continue
        reading.attachments.append(leaf_of(part, inner))
    return reading


def leaf_of(part, inner):
    cte = str(part.get("content-transfer-encoding", "")).strip().lower()
    if part.get_content_maintype() == "message":
        data = inner
        text_form = True
    else:
        data = part.get_payload(decode=True) or b""
        text_form = cte not in ("base64",) and not cte.startswith("x-uue")
    try:
        name = part.get_filename()
    except Exception:
        name = None
    return Leaf(part.get_content_type(), name, len(data), digests(data, text_form),
                defect_names(part))


def split_uuencoded(reading):
    """Text with uuencoded files: the text before the first file is the main text, each file
    an attachment. None when the text holds no file."""
    lines = reading.body.splitlines()
    starts = [n for n, line in enumerate(lines) if UU_BEGIN.match(line.rstrip())]
    if not starts:
        return None
    reading.uuencoded = True
    reading.body = b"\n".join(lines[:starts[0]])
    for start in starts:
        data = bytearray()
        for line in lines[start + 1:]:
            line = line.rstrip()
            if line in (b"`", b"end"):
                break
            if not line:
                continue
            try:
                data += binascii.a2b_uu(line)
            except binascii.Error:
                reading.defects.append("uuencoded line the codec refuses")
                break
        name = UU_BEGIN.match(lines[start].rstrip()).group(1).decode("latin-1")
        reading.attachments.append(Leaf("", name, len(data), digests(bytes(data), False)))
    return reading.attachments
