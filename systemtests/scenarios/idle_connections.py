"""Idle keep-alive connections cost nothing while they wait: 1,000 of them,
each answered once, held open without a word. Their threads sleep until a
request, the idle time-out or a stop comes: the gateway's threads go to
sleep (voluntary context switches) hardly at all and it spends under 1% of
a CPU while they are held. A stop (SIGTERM) then closes every one of them
at once, well before the grace that answers in flight get, and the gateway
ends within the bound of a stop under load."""

import os
import selectors
import signal
import socket
import time

from processes import Gateway, Sim

CONNECTIONS = 1000
REQUEST = b"GET /api/ident HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
ANSWER_SECONDS = 30
# Held long enough that a thread waking even once every few seconds shows
# in the counts.
HOLD_SECONDS = 3
# A few wake-ups of the process's own (the clock, the stop event's thread);
# a thread per connection that woke once in the window would count 1,000.
MOST_WAITS = CONNECTIONS // 10
CPU_SHARE = 0.01
# One tick of the process's CPU clock counts against it whole.
CPU_TICK_SECONDS = 0.01
# Idle connections need none of the 3 s of grace that answers in flight
# get; the gateway then ends within the bound of the stop scenario.
CLOSE_SECONDS = 1.5
STOP_SECONDS = 5.0


def thread_waits(pid):
    """The voluntary context switches of the process's threads."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as status:
                for line in status:
                    if line.startswith("voluntary_ctxt_switches:"):
                        total += int(line.split(":")[1])
        except OSError:
            continue
    return total


def _open_answered(port):
    """Opens the connections, asks once on each and reads the answers;
    returns the connections answered and those not."""
    connections = [socket.create_connection(("127.0.0.1", port), timeout=10)
                   for _ in range(CONNECTIONS)]
    chooser = selectors.DefaultSelector()
    for s in connections:
        s.sendall(REQUEST)
        s.setblocking(False)
        chooser.register(s, selectors.EVENT_READ)
    received = {s: b"" for s in connections}
    waiting = set(connections)
    deadline = time.monotonic() + ANSWER_SECONDS
    while waiting and time.monotonic() < deadline:
        for key, _ in chooser.select(0.5):
            s = key.fileobj
            piece = s.recv(65536)
            received[s] += piece
            head, _, body = received[s].partition(b"\r\n\r\n")
            length = [int(line.split(b":")[1]) for line in head.split(b"\r\n")
                      if line.lower().startswith(b"content-length:")]
            if not piece or (length and len(body) >= length[0]):
                chooser.unregister(s)
                waiting.discard(s)
    chooser.close()
    answered = [s for s in connections
                if s not in waiting and received[s].startswith(b"HTTP/1.1 200")]
    return connections, len(answered)


def _closes(connections, seconds):
    """How many of the connections the gateway closes (end of stream or
    reset) within seconds, and when the last of them closed."""
    chooser = selectors.DefaultSelector()
    for s in connections:
        chooser.register(s, selectors.EVENT_READ)
    closed = 0
    started = time.monotonic()
    last = 0.0
    while closed < len(connections) and time.monotonic() < started + seconds:
        for key, _ in chooser.select(0.1):
            try:
                piece = key.fileobj.recv(4096)
            except OSError:
                piece = b""
            if not piece:
                chooser.unregister(key.fileobj)
                closed += 1
                last = time.monotonic() - started
    chooser.close()
    return closed, last


def run(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port)
    connections = []
    try:
        connections, answered = _open_answered(gateway.port)
        # Let the last answers' threads settle into their wait.
        time.sleep(0.5)
        before = gateway.stats()
        waits_before = thread_waits(gateway.pid)
        time.sleep(HOLD_SECONDS)
        waits = thread_waits(gateway.pid) - waits_before
        after = gateway.stats()
        cpu = after["cpu_s"] - before["cpu_s"]
        started = time.monotonic()
        gateway.process.send_signal(signal.SIGTERM)
        closed, last_close = _closes(connections, CLOSE_SECONDS)
        status = gateway.terminate(STOP_SECONDS * 4)
        took = time.monotonic() - started
        report.figure("idle_connections", {
            "connections": CONNECTIONS, "answered": answered, "threads": before["threads"],
            "waits_in_%d_s" % HOLD_SECONDS: waits, "cpu_s": round(cpu, 3),
            "closed": closed, "last_close_s": round(last_close, 2), "stop_s": round(took, 2),
            "exit_status": status})
        report.check("idle.all_answered_and_held",
                     answered == CONNECTIONS and before["threads"] >= CONNECTIONS,
                     "%d of %d answered, %d gateway threads"
                     % (answered, CONNECTIONS, before["threads"]))
        report.check("idle.threads_do_not_wake", waits < MOST_WAITS,
                     "%d waits of the gateway's threads in %d s with %d idle connections"
                     % (waits, HOLD_SECONDS, CONNECTIONS))
        report.check("idle.cpu_under_1_percent",
                     cpu <= CPU_SHARE * HOLD_SECONDS + CPU_TICK_SECONDS,
                     "%.3f s of CPU in %d s" % (cpu, HOLD_SECONDS))
        report.check("idle.stop_closes_every_connection_at_once", closed == CONNECTIONS,
                     "%d of %d closed within %.1f s of the stop, the last after %.2f s"
                     % (closed, CONNECTIONS, CLOSE_SECONDS, last_close))
        report.check("idle.stop_ends_within_bound", status == 0 and took <= STOP_SECONDS,
                     "exit status %s after %.2f s" % (status, took))
    finally:
        for s in connections:
            s.close()
        gateway.stop()
        sim.stop()
