#!/usr/bin/env python3
"""A small SMTP server for the memory task: `sink` takes every message and discards its data;
`ehlo-flood` answers EHLO with LINES lines of WIDTH bytes, as a hostile server may.
Serves one connection at a time until killed; prints its port on the first line."""
import socket
import sys


def serve(conn, mode, lines, width):
    f = conn.makefile("rb")
    conn.sendall(b"220 bench ESMTP\r\n")
    in_data = False
    for line in f:
        if in_data:
            if line == b".\r\n":
                in_data = False
                conn.sendall(b"250 queued\r\n")
            continue
        verb = line[:4].upper()
        if verb == b"EHLO" and mode == "ehlo-flood":
            row = b"250-" + b"x" * (width - 6) + b"\r\n"
            try:
                for _ in range(lines):
                    conn.sendall(row)
                conn.sendall(b"250 end\r\n")
            except OSError:
                return
        elif verb == b"EHLO":
            conn.sendall(b"250-bench\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n")
        elif verb == b"AUTH":
            conn.sendall(b"235 ok\r\n")
        elif verb == b"DATA":
            in_data = True
            conn.sendall(b"354 go\r\n")
        elif verb == b"QUIT":
            conn.sendall(b"221 bye\r\n")
            return
        else:
            conn.sendall(b"250 ok\r\n")


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else "sink"
    lines = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    width = int(sys.argv[3]) if len(sys.argv) > 3 else 65 * 1024
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        try:
            serve(conn, mode, lines, width)
        except OSError:
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
