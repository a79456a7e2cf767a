#!/usr/bin/env python3
"""Holds idle keep-alive connections to a server on loopback: opens COUNT
connections, sends GET /api/ident on each and reads the answers (for at most
20 s), then writes "N/COUNT" (the connections answered) to READY_FILE and
keeps every connection open, saying nothing more, until it is stopped.

    idle.py PORT COUNT READY_FILE
"""
import os
import selectors
import socket
import sys
import time

ANSWER_WAIT = 20.0


def main():
    port, count, ready = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    request = b"GET /api/ident HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
    connections = []
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", port))
        s.sendall(request)
        s.setblocking(False)
        connections.append(s)

    # An answer is complete once its header block and Content-Length bytes are in.
    received = {s: b"" for s in connections}
    selector = selectors.DefaultSelector()
    for s in connections:
        selector.register(s, selectors.EVENT_READ)
    answered = 0
    deadline = time.monotonic() + ANSWER_WAIT
    while answered < count and time.monotonic() < deadline:
        for key, _ in selector.select(timeout=0.5):
            s = key.fileobj
            data = s.recv(65536)
            received[s] += data
            head, separator, body = received[s].partition(b"\r\n\r\n")
            length = 0
            for line in head.split(b"\r\n"):
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":")[1])
            if not data or (separator and len(body) >= length):
                selector.unregister(s)
                answered += 1 if data else 0

    with open(ready + ".tmp", "w") as f:
        f.write(f"{answered}/{count}")
    os.rename(ready + ".tmp", ready)
    while True:
        time.sleep(60)


if __name__ == "__main__":
    main()
