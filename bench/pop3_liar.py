#!/usr/bin/env python3
"""A POP3 server for the memory benchmark: serves one honest message from a file, or lies as a
hostile server does, to see how much memory a client needs for each.

  pop3_liar.py PORT honest FILE   one message, the file's bytes (CR LF lines)
  pop3_liar.py PORT bigretr       8 messages said (LIST) to be 1,000 bytes, each RETR 140 MB
  pop3_liar.py PORT tophdr        8 messages whose TOP sends 12 MB of header lines each
  pop3_liar.py PORT statflood     STAT says 3,000,000 messages, UIDL lists all of them

Prints "ready" once listening; serves until killed. Any user name and password log in.
"""
import socketserver
import sys

MB = 1 << 20


def stuffed(data):
    data = data.replace(b"\r\n.", b"\r\n..")
    return (b"." + data if data.startswith(b".") else data) + b".\r\n"


class Mailbox:
    def __init__(self, mode, path=None):
        self.mode = mode
        self.message = open(path, "rb").read() if path else b""
        self.count = {"honest": 1, "bigretr": 8, "tophdr": 8, "statflood": 3_000_000}[mode]

    def size(self, n):
        if self.mode == "honest":
            return len(self.message)
        if self.mode == "tophdr":
            return 50 << 20  # a size that bounds no header block
        return 1000

    def head(self, n):
        if self.mode == "honest":
            return self.message[: self.message.find(b"\r\n\r\n") + 4]
        return b"From: a@example.org\r\nSubject: message %d\r\n\r\n" % n


def send_repeated(wfile, line, total):
    block = line * max(1, (64 * 1024) // len(line))
    sent = 0
    while sent < total:
        wfile.write(block)
        sent += len(block)


class Handler(socketserver.StreamRequestHandler):
    def reply(self, text):
        self.wfile.write(text.encode() + b"\r\n")

    def handle(self):
        box = self.server.box
        self.reply("+OK liar ready")
        try:
            while True:
                line = self.rfile.readline()
                if not line:
                    return
                words = line.decode("latin-1").strip().split()
                verb = words[0].upper() if words else ""
                args = [int(w) for w in words[1:] if w.isdigit()]
                if verb in ("USER", "PASS", "NOOP", "DELE", "RSET"):
                    self.reply("+OK")
                elif verb == "QUIT":
                    self.reply("+OK bye")
                    return
                elif verb == "STAT":
                    self.reply("+OK %d %d" % (box.count, box.count * box.size(1)))
                elif verb == "CAPA":
                    self.reply("+OK\r\nUIDL\r\nTOP\r\nUSER\r\n.")
                elif verb == "UIDL" and not args:
                    self.reply("+OK")
                    for start in range(1, box.count + 1, 10000):
                        end = min(box.count, start + 9999)
                        self.wfile.write(b"".join(b"%d uid-%08d\r\n" % (n, n)
                                                  for n in range(start, end + 1)))
                    self.reply(".")
                elif verb == "UIDL":
                    self.reply("+OK %d uid-%08d" % (args[0], args[0]))
                elif verb == "LIST" and not args:
                    self.reply("+OK")
                    for start in range(1, box.count + 1, 10000):
                        end = min(box.count, start + 9999)
                        self.wfile.write(b"".join(b"%d %d\r\n" % (n, box.size(n))
                                                  for n in range(start, end + 1)))
                    self.reply(".")
                elif verb == "LIST" and args:
                    self.reply("+OK %d %d" % (args[0], box.size(args[0])))
                elif verb == "TOP" and args:
                    self.reply("+OK")
                    if box.mode == "tophdr":
                        self.wfile.write(b"From: a@example.org\r\n")
                        send_repeated(self.wfile, b"Received: from nowhere by nobody\r\n",
                                      12 * MB)
                        self.wfile.write(b"\r\nbody\r\n.\r\n")
                    else:
                        self.wfile.write(stuffed(box.head(args[0]) + b"body\r\n"))
                elif verb == "RETR" and args:
                    self.reply("+OK")
                    if box.mode == "bigretr":
                        self.wfile.write(box.head(args[0]))
                        send_repeated(self.wfile, b"x" * 76 + b"\r\n", 140 * MB)
                        self.wfile.write(b".\r\n")
                    else:
                        self.wfile.write(stuffed(box.message))
                else:
                    self.reply("-ERR unknown command")
                self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            return


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def main():
    port, mode = int(sys.argv[1]), sys.argv[2]
    server = Server(("127.0.0.1", port), Handler)
    server.box = Mailbox(mode, sys.argv[3] if len(sys.argv) > 3 else None)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
