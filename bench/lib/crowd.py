#!/usr/bin/env python3
"""Holds a crowd of slow and silent clients on a server on loopback: opens
TRICKLING connections that send a request one byte every TRICKLE seconds
and never finish it, and SILENT connections that say nothing; writes the
count of connections open to READY_FILE once all are open, and keeps
trickling until it is stopped. The trickling connections take their turns
spread over each TRICKLE seconds, as clients that are not in step would,
so that the crowd never sends in bursts that would hold up the load
generator beside it. A connection the server closes is not opened again.

    crowd.py PORT TRICKLING SILENT READY_FILE [TRICKLE]
"""
import os
import socket
import sys
import time

# A request that never ends: a header line longer than any trickle lasts.
REQUEST = b"GET /api/ident HTTP/1.1\r\nX-Slow: " + b"a" * 100000


def main():
    port, trickling, silent, ready = (int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]),
                                      sys.argv[4])
    pause = float(sys.argv[5]) if len(sys.argv) > 5 else 2.0
    slow = []
    quiet = []
    for n in range(trickling + silent):
        s = socket.create_connection(("127.0.0.1", port))
        (slow if n < trickling else quiet).append(s)
    with open(ready + ".tmp", "w") as f:
        f.write(str(len(slow) + len(quiet)))
    os.rename(ready + ".tmp", ready)
    sent = 0
    while slow:
        step = pause / len(slow)
        for s in list(slow):
            try:
                s.send(REQUEST[sent % len(REQUEST):sent % len(REQUEST) + 1])
            except OSError:
                slow.remove(s)
            time.sleep(step)
        sent += 1


if __name__ == "__main__":
    main()
