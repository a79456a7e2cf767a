#!/usr/bin/env python3
"""Resident memory of a server whose keep-alive clients have each fetched
one gzip-coded answer and then stay open, idle: WAVES waves of CONNECTIONS
new connections each ask for PATH with "Accept-Encoding: gzip" (one after
another, reading each answer whole), then wait PAUSE seconds; the server's
VmRSS after each wave goes to stdout as "wave<TAB>connections<TAB>rss_kib",
after a line for the start. Every connection stays open to the end.

    coded_waves.py PORT PID PATH [CONNECTIONS] [WAVES] [PAUSE]
"""
import socket
import sys
import time


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def fetch_coded(s, path):
    s.sendall(f"GET {path} HTTP/1.1\r\nHost: bench\r\nAccept-Encoding: gzip\r\n\r\n".encode())
    data = b""
    while b"\r\n\r\n" not in data:
        data += s.recv(65536)
    head, body = data.split(b"\r\n\r\n", 1)
    lines = head.decode("latin-1").split("\r\n")
    length = next(int(l.split(":")[1]) for l in lines if l.lower().startswith("content-length:"))
    while len(body) < length:
        body += s.recv(65536)
    if "Content-Encoding: gzip" not in lines:
        raise RuntimeError(f"{path} came back plain")


def main():
    port, pid, path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    connections = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    waves = int(sys.argv[5]) if len(sys.argv) > 5 else 3
    pause = float(sys.argv[6]) if len(sys.argv) > 6 else 2.5
    held = []
    print(f"0\t0\t{rss_kib(pid)}", flush=True)
    for wave in range(1, waves + 1):
        fresh = [socket.create_connection(("127.0.0.1", port)) for _ in range(connections)]
        held += fresh
        for s in fresh:
            fetch_coded(s, path)
        time.sleep(pause)
        print(f"{wave}\t{len(held)}\t{rss_kib(pid)}", flush=True)


if __name__ == "__main__":
    main()
