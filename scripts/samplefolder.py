#!/usr/bin/env python3
"""Writes a sample program folder for looking at Kivo's windows: a few mailboxes and folders,
30 messages (plain and HTML, with attachments, non-ASCII subjects and senders), an account and
settings that skip the first-start questions. Usage: samplefolder.py FOLDER"""
import os
import struct
import sys
import zlib

home = sys.argv[1]
mail = os.path.join(home, "Mail")
attach = os.path.join(home, "Attach")
for d in (mail, os.path.join(mail, "Work"), attach, os.path.join(home, "Signatures"),
          os.path.join(home, "Scripts")):
    os.makedirs(d, exist_ok=True)

with open(os.path.join(home, "kivo.ini"), "w") as f:
    f.write("[Mail]\r\nPrompt=0\r\nAutoCheck=0\r\n[Program]\r\nOpened=In\r\n"
            "ButtonsShowing=400\r\n"
            "[Position]\r\nLeft=0\r\nTop=0\r\nWidth=1000\r\nHeight=700\r\n"
            # The user buttons as a first start sets them up.
            "[Scripts]\r\nButton1Script=About Kivo Script\r\nButton1Desc=What's this?\r\n"
            "Button2Script=Calculator\r\nButton2Desc=Calculator\r\n"
            "Button3Script=Display Raw Message\r\nButton3Desc=Raw Msg     - Display Raw Message\r\n"
            "Button4Script=Create Mailbox\r\nButton4Desc=Create Box\r\n"
            "Button5Script=New Message Template\r\nButton5Desc=N. Template - New Message Template\r\n"
            "Button6Script=Reply with Template\r\nButton6Desc=R. Template - Reply with Template\r\n"
            "Button7Script=Archive Old Mail\r\nButton7Desc=Archive Old Mail\r\n"
            "Button8Script=Filter Message\r\nButton8Desc=Filter Msg\r\n")
with open(os.path.join(home, "accounts.ini"), "w") as f:
    f.write("[My Account]\r\nEmail=ana@example.org\r\nName=Ana Lima\r\nPOPServer=pop.example.org\r\n"
            "POPUser=ana\r\nSMTP=smtp.example.org\r\n")

with open(os.path.join(attach, "report.pdf"), "wb") as f:
    f.write(b"%PDF-1.4\n% sample\n")


def png(width, height):
    """A small gradient picture, so an inline picture shows on screen."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    rows = b"".join(b"\0" + bytes(v for x in range(width)
                                   for v in (x * 255 // width, y * 255 // height, 160))
                    for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


with open(os.path.join(attach, "photo.png"), "wb") as f:
    f.write(png(160, 60))

people = [("Ana Lima", "ana@example.org"), ("Jürgen Weiß", "juergen@example.de"),
          ("Søren Kierkegaard", "soren@example.dk"), ("李小龍", "li@example.cn"),
          ("Élodie Dupont", "elodie@example.fr"), ("Newsletter", "news@shop.example.com"),
          ("Олег Петров", "oleg@example.ru"), ("Bob Smith", "bob@example.com")]
subjects = ["Meeting on Thursday", "Grüße aus München", "Smørrebrød recipe", "你好，周末见",
            "Réunion — ordre du jour", "Spring sale: 30% off everything", "Отчёт за квартал",
            "Lunch?", "Quarterly numbers (draft)", "Re: Holiday plans",
            "A rather long subject line that goes on and on to see how the list cuts it off",
            "Photos from the trip", "Invoice 2026-118", "Welcome to the team", "Zürich trip"]

newsletter = """<html><head><style>
.box{background:#f4f4f8;padding:16px;border-radius:6px}.cols{display:flex;gap:12px}
.col{flex:1;background:#fff;padding:10px;border:1px solid #ddd}
.btn{display:inline-block;background:#2a7ae2;color:#fff;padding:8px 14px;border-radius:4px}
</style></head><body><div class="box"><h2>Spring sale</h2>
<div class="cols"><div class="col"><b>Shoes</b><p>Everything 30% off until Sunday.</p></div>
<div class="col"><b>Coats</b><p>New colours for the new season.</p></div></div>
<p><a class="btn" href="https://shop.example.com/sale">Shop now</a></p>
<img src="https://tracker.example.com/pixel.gif" width="1" height="1">
<script>document.title = "ran";</script></div></body></html>"""


def message(n, box):
    name, addr = people[n % len(people)]
    subject = subjects[n % len(subjects)]
    day = 1 + n % 28
    date = f"{day:02d}/11/2026 {8 + n % 10:02d}:{(n * 7) % 60:02d}:00"
    html = n % 5 == 0
    lines = [f"From {addr} {date}",
             f"From: {name} <{addr}>",
             "To: Ana Lima <ana@example.org>",
             f"Date: {['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'][n % 7]}, {day} Nov 2026 "
             f"{8 + n % 10:02d}:{(n * 7) % 60:02d}:00 +0100",
             f"Subject: {subject}",
             "X-Account: My Account",
             f"Status: {'U' if n % 3 == 0 else 'R'}",
             "Content-Type: text/html" if html else "Content-Type: text/plain; charset=utf-8"]
    if n % 4 == 1:
        lines.append("X-Priority: 1")
    lines.append("")
    if n == 5:
        # The sale's picture travels inside the message, saved as an attachment.
        lines.insert(-1, 'X-Content-File: <photo@shop.example.com> "' +
                     os.path.join(attach, "photo.png") + '"')
    if html:
        body = newsletter
        if n == 5:
            body = body.replace("<h2>Spring sale</h2>",
                                '<h2>Spring sale</h2><img src="cid:photo@shop.example.com">')
        lines += body.splitlines()
    else:
        lines += [f"Hello Ana,", "",
                  f"this is message {n + 1} in {box}. Ünïcödé text: naïve café, Smørrebrød, 東京.",
                  "", "See you soon,", name]
    files = []
    if n % 6 == 2:
        files.append("report.pdf")
    if n % 7 == 3 or n in (2, 5):
        files.append("photo.png")
    if n == 2:
        files.append("menu (old).txt")  # deleted since: shown as missing
    for file in files:
        lines.append('Attachment Converted: "' + os.path.join(attach, file) + '"')
    lines.append("")
    return lines


def write_box(path, numbers, box):
    with open(path, "w", encoding="utf-8", newline="") as f:
        for n in numbers:
            for line in message(n, box):
                f.write(line + "\r\n")


write_box(os.path.join(mail, "In.mbx"), range(0, 18), "In")
write_box(os.path.join(mail, "Sent.mbx"), range(18, 21), "Sent")
write_box(os.path.join(mail, "Family.mbx"), range(21, 24), "Family")
write_box(os.path.join(mail, "Work", "Projects.mbx"), range(24, 28), "Projects")
write_box(os.path.join(mail, "Work", "Invoices.mbx"), range(28, 30), "Invoices")
for name in ("Out.mbx", "Trash.mbx"):
    open(os.path.join(mail, name), "w").close()

# The address book: nicknames, names beyond ASCII, a contact with two addresses.
with open(os.path.join(home, "address.ini"), "w", encoding="utf-8", newline="") as f:
    for line in ('Anna,Müller,anna.mueller@example.de',
                 'Bob,Smith,bob@example.com',
                 'Chloé,Dubois,"chloe@example.fr, c.dubois@work.example.fr"',
                 'Jürgen,Østergaard,jo@example.dk',
                 'Zoë,Nakamura,zoe@example.jp',
                 'Team,,team@example.org'):
        f.write(line + "\r\n")
