"""Connections beyond what the gateway takes in at once.

Burst: many connections opened in the same instant, each sending a request
at once: every one is answered, and the figures tell how long the slowest
waited (the listen queue is as long as the system allows; what would not
fit would be dropped and come again only after a second or more).

Descriptor limit: the gateway started with a descriptor limit of 64 and
held at it by idle connections. Connections beyond the limit wait in the
listen queue; once the idle connections are closed at the idle time-out
the waiting ones are taken in and answered, and the listener goes on
working for new connections."""

import selectors
import socket
import time

from httpclient import percentile
from processes import Gateway, Sim

BURST = 1000
BURST_SECONDS = 20
# A connection that the listen queue dropped comes again after a second.
BURST_PATIENCE_SECONDS = 1.0
REQUEST = b"GET /api/ident HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
DESCRIPTOR_LIMIT = 64
HOLDERS = 100  # idle connections, more than the limit leaves room for
LIMIT_IDLE_TIMEOUT = 3


def _connect_all(port, count, request):
    """Opens count connections without waiting for any; each sends request
    (if any) once connected."""
    chooser = selectors.DefaultSelector()
    started = {}
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        try:
            s.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
        started[s] = time.monotonic()
        chooser.register(s, selectors.EVENT_WRITE)
    return chooser, started


def _collect(chooser, started, request, seconds):
    """Sends request on each connection as it opens and times its answer;
    returns the answer times and the number not answered."""
    answered = []
    received = {}
    deadline = time.monotonic() + seconds
    while started and time.monotonic() < deadline:
        for key, events in chooser.select(0.2):
            s = key.fileobj
            if events & selectors.EVENT_WRITE:
                try:
                    s.send(request)
                except OSError:
                    pass
                chooser.modify(s, selectors.EVENT_READ)
                continue
            try:
                piece = s.recv(4096)
            except OSError:
                piece = b""
            received[s] = received.get(s, b"") + piece
            if b"\r\n\r\n" in received[s] or not piece:
                if received[s].startswith(b"HTTP/1.1 200"):
                    answered.append(time.monotonic() - started[s])
                chooser.unregister(s)
                del started[s]
                s.close()
    missing = len(started)
    for s in started:
        s.close()
    return answered, missing


def _burst(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port)
    try:
        chooser, started = _connect_all(gateway.port, BURST, REQUEST)
        answered, missing = _collect(chooser, started, REQUEST, BURST_SECONDS)
        late = len([t for t in answered if t > 1.0])
        report.figure("burst", {"connections": BURST, "answered": len(answered),
                                "missing": missing, "after_1s": late,
                                "p50_ms": round(percentile(answered, 0.5) * 1000, 1),
                                "max_s": round(max(answered or [0]), 2)})
        report.check("limits.burst_all_answered", missing == 0 and len(answered) == BURST,
                     "%d of %d answered" % (len(answered), BURST))
        report.check("limits.burst_answered_within_1s",
                     max(answered or [99]) <= BURST_PATIENCE_SECONDS,
                     "%d answers waited more than 1 s, the slowest %.2f s"
                     % (late, max(answered or [0])))
    finally:
        gateway.stop()
        sim.stop()


def _descriptor_limit(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port, idle_timeout=LIMIT_IDLE_TIMEOUT,
                      nofile=DESCRIPTOR_LIMIT)
    try:
        idle = gateway.stats()
        holders = []
        for _ in range(HOLDERS):
            holders.append(socket.create_connection(("127.0.0.1", gateway.port), timeout=5))
        time.sleep(0.5)
        at_limit = gateway.stats()
        cpu_before = at_limit["cpu_s"]
        # A request that comes while every descriptor is taken.
        waiting = socket.create_connection(("127.0.0.1", gateway.port), timeout=5)
        asked = time.monotonic()
        waiting.sendall(REQUEST)
        waiting.settimeout(LIMIT_IDLE_TIMEOUT * 4 + 10)
        try:
            answer = waiting.recv(4096)
        except OSError:
            answer = b""
        waited = time.monotonic() - asked
        waiting.close()
        for s in holders:
            s.close()
        time.sleep(1.5)
        released = gateway.stats()
        # New connections after the limit was reached and released.
        chooser, started = _connect_all(gateway.port, 20, REQUEST)
        answered, missing = _collect(chooser, started, REQUEST, 10)
        report.figure("descriptor_limit", {
            "limit": DESCRIPTOR_LIMIT, "idle": idle, "at_limit": at_limit,
            "waiting_request_answered_after_s": round(waited, 2),
            "listener_cpu_s_while_waiting": round(released["cpu_s"] - cpu_before, 2),
            "after_release": released, "new_answered": len(answered)})
        report.check("limits.at_limit_descriptors_used", at_limit["fds"] >= DESCRIPTOR_LIMIT - 1,
                     "%d descriptors open of %d" % (at_limit["fds"], DESCRIPTOR_LIMIT))
        report.check("limits.waiting_request_answered_once_released",
                     answer.startswith(b"HTTP/1.1 200"),
                     "answered %r after %.2f s" % (answer[:15], waited))
        report.check("limits.listener_works_after_release",
                     len(answered) == 20 and released["fds"] <= idle["fds"],
                     "%d of 20 new requests answered; descriptors %d -> %d"
                     % (len(answered), idle["fds"], released["fds"]))
        report.check("limits.alive", gateway.alive(), gateway.errors()[-200:])
    finally:
        gateway.stop()
        sim.stop()


def run(context, report):
    _burst(context, report)
    _descriptor_limit(context, report)
