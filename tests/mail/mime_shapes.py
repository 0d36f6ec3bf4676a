#!/usr/bin/env python3
"""Messages in the shapes today's mail programs send, built with Python's email package, and
a check that `kivo mime dump` finds in them what the email package finds.

  mime_shapes.py write DIR         writes shape-*.eml into DIR (the fixtures in tests/data/mime)
  mime_shapes.py check KIVO DIR    decodes every DIR/shape-*.eml with KIVO and compares

The check walks each message's multipart tree as the email package parses it and expects the
first plain-text or HTML leaf not marked as an attachment as the body, and every other leaf
as an attachment, in order, with the same decoded bytes (SHA-256), the same file name when it
has one (else a numbered "att." or "_alt." name) and the same Content-ID; the subject must
match too.
"""

import hashlib
import sys
from email import policy
from email.message import EmailMessage
from email.parser import BytesParser
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from email_reading import dump_text as text, kivo_dump, leaves, payload  # noqa: E402

PNG = bytes.fromhex("89504e470d0a1a0a0000000d4948445200000001000000010806000000"
                    "1f15c4890000000d49444154789c6360f8ffff3f0005fe02fea7d6a0"
                    "2b0000000049454e44ae426082")
GIF = bytes.fromhex("4749463839610100010080000000000000ffffff21f90401000000002c"
                    "00000000010001000002024401003b")
PDF = b"%PDF-1.4\n% a small document\n%%EOF\n"


def new(subject, sender="Ann Example <ann@example.org>"):
    msg = EmailMessage()
    msg["From"] = sender
    msg["To"] = "Bob Example <bob@example.org>"
    msg["Subject"] = subject
    return msg


def message_part(inner):
    """A message/rfc822 part holding `inner`."""
    part = EmailMessage()
    part.set_content(inner)
    del part["MIME-Version"]
    return part


def html_inline_picture():
    # A styled message with a logo and a document: mixed > alternative > (plain, related >
    # (html, png)), pdf.
    msg = new("Quarterly figures with our logo")
    msg.set_content("Hello Bob,\n\nthe figures are attached.\n\nAnn\n")
    msg.add_alternative('<html><body><p>Hello Bob,</p><img src="cid:logo.1@example.org">'
                        "<p>the figures are attached.</p></body></html>\n", subtype="html")
    msg.get_payload()[1].add_related(PNG, "image", "png", cid="<logo.1@example.org>",
                                     filename="logo.png", disposition="inline")
    msg.add_attachment(PDF, "application", "pdf", filename="figures.pdf")
    return msg


def related_unnamed_picture():
    # A pasted screenshot without a file name: alternative > (plain, related > (html, png)).
    msg = new("Pasted screenshot")
    msg.set_content("See the screenshot.\n")
    msg.add_alternative('<p>See the screenshot.</p><img src="cid:shot@example.org">\n',
                        subtype="html")
    msg.get_payload()[1].add_related(PNG, "image", "png", cid="<shot@example.org>")
    return msg


def outlook_related():
    # related > (alternative > (plain, html), png): the picture beside both alternatives.
    msg = new("Signature with a picture")
    alternative = EmailMessage()
    alternative.set_content("Regards, Ann\n")
    alternative.add_alternative('<p>Regards, Ann</p><img src="cid:image001.png@01DA0000.0000">\n',
                                subtype="html")
    del alternative["MIME-Version"]
    picture = EmailMessage()
    picture.set_content(PNG, "image", "png", cid="<image001.png@01DA0000.0000>",
                        filename="image001.png", disposition="inline")
    del picture["MIME-Version"]
    msg.set_type("multipart/related")
    msg.set_payload([alternative, picture])
    return msg


def mixed_in_mixed():
    # A forwarding client: mixed > (text, mixed > (text, gif)).
    msg = new("Fwd: the picture")
    msg.set_content("Forwarding this.\n")
    inner = EmailMessage()
    inner.set_content("The original text.\n")
    inner.add_attachment(GIF, "image", "gif", filename="dot.gif")
    msg.make_mixed()
    msg.attach(inner)
    return msg


def signed_mixed():
    # multipart/signed > (mixed > (text, pdf), signature).
    msg = new("Signed report")
    content = EmailMessage()
    content.set_content("The signed report is attached.\n")
    content.add_attachment(PDF, "application", "pdf", filename="report.pdf")
    del content["MIME-Version"]
    signature = EmailMessage()
    signature.set_content(b"-----BEGIN PGP SIGNATURE-----\n\niQEzBAEBCAAdFiEE\n"
                          b"-----END PGP SIGNATURE-----\n", "application", "pgp-signature",
                          filename="signature.asc", cte="7bit")
    del signature["MIME-Version"]
    msg.set_type("multipart/signed")
    msg.set_param("protocol", "application/pgp-signature")
    msg.set_param("micalg", "pgp-sha256")
    msg.set_payload([content, signature])
    return msg


def alternative_calendar():
    # An invitation: alternative > (plain, html, calendar).
    msg = new("Invitation: review")
    msg.set_content("Review on Monday at 10:00.\n")
    msg.add_alternative("<p>Review on Monday at 10:00.</p>\n", subtype="html")
    msg.add_alternative("BEGIN:VCALENDAR\nMETHOD:REQUEST\nBEGIN:VEVENT\nSUMMARY:Review\n"
                        "END:VEVENT\nEND:VCALENDAR\n", subtype="calendar",
                        params={"method": "REQUEST"})
    return msg


def delivery_report():
    # A delivery status notice: report > (plain, delivery-status, the returned message).
    returned = new("Lost letter")
    returned.set_content("Are you there?\n")
    msg = new("Undelivered Mail Returned to Sender",
              sender="Mail Delivery System <MAILER-DAEMON@example.org>")
    msg.set_content("This is the mail system.\nYour message could not be delivered.\n")
    msg.make_mixed()
    msg.set_type("multipart/report")
    msg.set_param("report-type", "delivery-status")
    status = BytesParser(policy=policy.default).parsebytes(
        b"Content-Type: message/delivery-status\r\n\r\n"
        b"Reporting-MTA: dns; mail.example.org\r\n\r\n"
        b"Final-Recipient: rfc822; nobody@example.net\r\nAction: failed\r\n"
        b"Status: 5.1.1\r\n")
    msg.attach(status)
    msg.attach(message_part(returned))
    return msg


def message_in_alternative():
    # alternative > (plain, message/rfc822).
    inner = new("The inner message")
    inner.set_content("Inner text.\n")
    msg = new("A message as an alternative")
    msg.set_content("Outer text.\n")
    msg.make_alternative()
    msg.attach(message_part(inner))
    return msg


def digest():
    # A list digest: mixed > (contents, digest > (message, message)).
    msg = new("List digest, Vol 1, Issue 2")
    msg.set_content("Today's topics:\n  1. First\n  2. Second\n")
    msg.make_mixed()
    box = EmailMessage()
    box.set_type("multipart/digest")
    del box["MIME-Version"]
    for n, topic in enumerate(["First", "Second"], 1):
        post = new(topic)
        post.set_content(f"Post number {n}.\n")
        box.attach(message_part(post))
    msg.attach(box)
    return msg


def html_mixed_in_alternative():
    # Apple Mail's document in the middle: alternative > (plain, mixed > (html, pdf, html)).
    msg = new("Document in the middle")
    msg.set_content("Before.\n\nAfter.\n")
    inner = EmailMessage()
    inner.set_content("<p>Before.</p>\n", subtype="html")
    inner.add_attachment(PDF, "application", "pdf", filename="middle.pdf")
    last = EmailMessage()
    last.set_content("<p>After.</p>\n", subtype="html")
    del last["MIME-Version"]
    inner.attach(last)
    msg.make_alternative()
    msg.attach(inner)
    return msg


SHAPES = {
    "shape-html-inline-picture": html_inline_picture,
    "shape-related-unnamed-picture": related_unnamed_picture,
    "shape-outlook-related": outlook_related,
    "shape-mixed-in-mixed": mixed_in_mixed,
    "shape-signed-mixed": signed_mixed,
    "shape-alternative-calendar": alternative_calendar,
    "shape-delivery-report": delivery_report,
    "shape-message-in-alternative": message_in_alternative,
    "shape-digest": digest,
    "shape-html-mixed-in-alternative": html_mixed_in_alternative,
}


def fixed_boundaries(msg):
    """Numbered boundaries instead of random ones, so the fixtures are reproducible."""
    count = 0
    stack = [msg]
    while stack:
        part = stack.pop(0)
        if part.is_multipart() and part.get_content_maintype() == "multipart":
            count += 1
            part.set_boundary(f"=-=-=kivo-shape-{count}=-=-=")
            stack.extend(part.get_payload())
    return msg


def write(folder):
    folder.mkdir(parents=True, exist_ok=True)
    for name, build in SHAPES.items():
        data = fixed_boundaries(build()).as_bytes(policy=policy.SMTP)
        (folder / f"{name}.eml").write_bytes(data)


def is_body_text(part):
    """The body is the first plain-text or HTML leaf that is not marked as an attachment."""
    return (part.get_content_type() in ("text/plain", "text/html")
            and part.get_content_disposition() != "attachment")


def check_one(kivo, eml):
    problems = []
    msg = BytesParser(policy=policy.default).parsebytes(eml.read_bytes())
    dump = kivo_dump(kivo, eml)
    if text(dump["subject"]) != str(msg["subject"]):
        problems.append(f"subject {dump['subject']!r} != {msg['subject']!r}")
    found = leaves(msg)
    body_at = next((n for n, (part, _) in enumerate(found) if is_body_text(part)), None)
    if body_at is not None:
        expected = payload(found[body_at][0]).decode("utf-8").splitlines()
        body = [text(line) for line in dump["body"]]
        if body != expected:
            problems.append(f"body {body!r} != {expected!r}")
        found = found[:body_at] + found[body_at + 1:]
    atts = dump["attachments"]
    if len(atts) != len(found):
        problems.append(f"{len(atts)} attachments, expected {len(found)}")
    for (part, _), att in zip(found, atts):
        label = att["fileName"]
        name = part.get_filename()
        if name is not None and text(att["fileName"]) != name:
            problems.append(f"{label}: file name, expected {name!r}")
        if name is None and not att["fileName"].startswith(("att.", "_alt.")):
            problems.append(f"{label}: an unnamed part needs a numbered name")
        cid = (part["Content-ID"] or "").strip().strip("<>")
        if att.get("contentId", "") != cid:
            problems.append(f"{label}: Content-ID {att.get('contentId')!r}, expected {cid!r}")
        if att["contentType"] != part.get_content_type() and name is None:
            problems.append(f"{label}: type {att['contentType']}, expected "
                            f"{part.get_content_type()}")
        data = payload(part)
        if data is not None and att["sha256"] != hashlib.sha256(data).hexdigest():
            problems.append(f"{label}: decoded bytes differ")
    return problems


def check(kivo, folder):
    shapes = sorted(folder.glob("shape-*.eml"))
    if len(shapes) < len(SHAPES):
        print(f"only {len(shapes)} shapes in {folder}", file=sys.stderr)
        return 1
    failed = 0
    for eml in shapes:
        problems = check_one(kivo, eml)
        for problem in problems:
            print(f"{eml.name}: {problem}", file=sys.stderr)
        failed += bool(problems)
    print(f"{len(shapes) - failed} of {len(shapes)} shapes decode as the email package reads them")
    return 1 if failed else 0


def main(argv):
    if len(argv) == 3 and argv[1] == "write":
        write(Path(argv[2]))
        return 0
    if len(argv) == 4 and argv[1] == "check":
        return check(argv[2], Path(argv[3]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
