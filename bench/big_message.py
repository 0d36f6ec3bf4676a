#!/usr/bin/env python3
"""Writes one honest large message: a short text part and a base64 attachment of random bytes,
CR LF lines, about SIZE megabytes in all (default 95.7).

  big_message.py OUT [SIZE_MB]
"""
import base64
import os
import sys

out = sys.argv[1]
total = float(sys.argv[2]) if len(sys.argv) > 2 else 95.7
binary = int(total * (1 << 20) * 57 / 78)  # base64 lines: 57 bytes in 78 characters
head = (
    "From: Ann Example <ann@example.org>\r\n"
    "To: bench@example.org\r\n"
    "Subject: the whole archive\r\n"
    "Date: Fri, 11 Dec 2026 10:00:00 +0000\r\n"
    "Message-ID: <big-archive@example.org>\r\n"
    "MIME-Version: 1.0\r\n"
    'Content-Type: multipart/mixed; boundary="b1"\r\n'
    "\r\n"
    "--b1\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "\r\n"
    "The archive is attached.\r\n"
    "--b1\r\n"
    'Content-Type: application/octet-stream; name="archive.bin"\r\n'
    "Content-Transfer-Encoding: base64\r\n"
    'Content-Disposition: attachment; filename="archive.bin"\r\n'
    "\r\n"
)
with open(out, "wb") as f:
    f.write(head.encode())
    left = binary
    while left > 0:
        chunk = os.urandom(min(left, 57 * 20000))
        left -= len(chunk)
        f.write(base64.encodebytes(chunk).replace(b"\n", b"\r\n"))
    f.write(b"--b1--\r\n")
