"""Slow and idle clients: connections that send a byte every few seconds and
never finish a request, and connections that say nothing, held open while
normal traffic runs. The normal traffic's p99 stays within twice its quiet
baseline, and the gateway closes every slow and idle connection at its idle
time-out."""

import asyncio
import multiprocessing
import selectors
import socket
import time

import plant
from httpclient import percentile
from load import run_load
from processes import Gateway, Sim, process_stats

SLOW = 1000
IDLE = 1000
TRICKLE_SECONDS = 2.0
NORMAL_CONNECTIONS = 8
# Closed at the idle time-out: not before it, and not much after it (2,000
# threads waking at their time-outs on two busy cores may take a moment).
OPEN_BATCH = 50
CLOSE_EARLY_SECONDS = 0.3
CLOSE_LATE_SECONDS = 2.5
P99_FACTOR = 2.0
# Added to twice the quiet p99: one scheduling delay of a shared 2-core
# machine (a few ms) must not count as a slowdown of the normal traffic.
P99_MARGIN_SECONDS = 0.005


def _wait_for_threads(pid, connections):
    """Lets the gateway take in a batch before the next one comes, so that
    the threads counted are those of connections already taken in."""
    deadline = time.monotonic() + 5
    while process_stats(pid)["threads"] - 2 < connections and time.monotonic() < deadline:
        time.sleep(0.01)


def _clients(port, pid, queue):
    """Opens the slow and idle connections, trickles a byte every few
    seconds on the slow ones, and times when the gateway closes each. Runs
    in a process of its own, so that the normal traffic is timed apart."""
    request = b"GET /api/ident HTTP/1.1\r\nX-Slow: " + b"a" * 1000
    chooser = selectors.DefaultSelector()
    opened = {}
    sent = {}
    results = []
    for n in range(SLOW + IDLE):
        if n % OPEN_BATCH == 0:
            _wait_for_threads(pid, n - OPEN_BATCH)
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=10)
        except OSError as error:
            results.append(("connect failed", repr(error)))
            continue
        opened[s] = time.monotonic()
        s.setblocking(False)
        chooser.register(s, selectors.EVENT_READ)
        if n < SLOW:
            sent[s] = 0
    results.append(("opening took", time.monotonic() - min(opened.values() or [0])))
    next_trickle = time.monotonic()
    deadline = time.monotonic() + 120
    while opened and time.monotonic() < deadline:
        if time.monotonic() >= next_trickle:
            for s, count in list(sent.items()):
                if count < len(request):
                    try:
                        s.send(request[count:count + 1])
                        sent[s] = count + 1
                    except OSError:
                        pass
            next_trickle += TRICKLE_SECONDS
        for key, _ in chooser.select(max(0.0, next_trickle - time.monotonic())):
            s = key.fileobj
            try:
                piece = s.recv(1024)
            except OSError:
                piece = b""
            if piece:
                results.append(("answered", piece[:40]))
            results.append(("held", time.monotonic() - opened.pop(s)))
            chooser.unregister(s)
            sent.pop(s, None)
            s.close()
    for s in opened:
        results.append(("still open", 0))
        s.close()
    queue.put(results)


def _normal_kinds(analysis_time):
    kinds = plant.data_requests(analysis_time) + plant.static_requests()
    return [k for k in kinds if k.name in ("ident", "values", "groups", "api.html")]


def run(context, report):
    idle_timeout = 30 if context.long else 12
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port, idle_timeout=idle_timeout)
    try:
        kinds = _normal_kinds(asyncio.run(plant.analysis_time(gateway.port)))
        measure = idle_timeout - 2.0
        quiet = asyncio.run(run_load(gateway.port, kinds, NORMAL_CONNECTIONS, measure, 10))
        queue = multiprocessing.Queue()
        clients = multiprocessing.Process(target=_clients, args=(gateway.port, gateway.pid, queue))
        clients.start()
        # Until every slow and idle connection has its thread.
        deadline = time.monotonic() + 10
        while process_stats(gateway.pid)["threads"] < SLOW + IDLE and \
                time.monotonic() < deadline:
            time.sleep(0.05)
        held = process_stats(gateway.pid)
        loaded = asyncio.run(run_load(gateway.port, kinds, NORMAL_CONNECTIONS,
                                      measure - 1.0, 10))
        results = queue.get(timeout=idle_timeout + 60)
        clients.join()
        holds = [r[1] for r in results if r[0] == "held"]
        opening = [r[1] for r in results if r[0] == "opening took"]
        odd = [r for r in results if r[0] not in ("held", "opening took")]
        quiet_p99 = percentile(quiet.latencies(), 0.99)
        loaded_p99 = percentile(loaded.latencies(), 0.99)
        report.figure("slow_clients.gateway_while_held", held)
        report.figure("slow_clients.normal", {
            "quiet": {"requests": quiet.total(), "p50_ms": round(percentile(
                quiet.latencies(), 0.5) * 1000, 2), "p99_ms": round(quiet_p99 * 1000, 2)},
            "loaded": {"requests": loaded.total(), "p50_ms": round(percentile(
                loaded.latencies(), 0.5) * 1000, 2), "p99_ms": round(loaded_p99 * 1000, 2)}})
        report.figure("slow_clients.held_seconds", {
            "connections": len(holds), "min": round(min(holds or [0]), 2),
            "p50": round(percentile(holds, 0.5), 2), "max": round(max(holds or [0]), 2),
            "idle_timeout": idle_timeout, "opening_s": round(opening[0], 2) if opening else None})
        report.check("slow_clients.all_held_at_once",
                     held["threads"] >= SLOW + IDLE and not odd,
                     "%d gateway threads while held; %s" % (held["threads"], odd[:3]))
        report.check("slow_clients.closed_at_idle_timeout",
                     len(holds) == SLOW + IDLE and
                     min(holds) >= idle_timeout - CLOSE_EARLY_SECONDS and
                     max(holds) <= idle_timeout + CLOSE_LATE_SECONDS,
                     "%d closed after %.2f to %.2f s (idle time-out %d s)"
                     % (len(holds), min(holds or [0]), max(holds or [0]), idle_timeout))
        report.check("slow_clients.normal_answers_expected",
                     quiet.problems() == 0 and loaded.problems() == 0,
                     str(quiet.examples()[:2] + loaded.examples()[:2]))
        report.check("slow_clients.normal_p99_within_2x_quiet",
                     loaded_p99 <= P99_FACTOR * quiet_p99 + P99_MARGIN_SECONDS,
                     "quiet p99 %.1f ms, with %d slow and %d idle connections %.1f ms"
                     % (quiet_p99 * 1000, SLOW, IDLE, loaded_p99 * 1000))
        report.check("slow_clients.alive", gateway.alive(), gateway.errors()[-200:])
    finally:
        gateway.stop()
        sim.stop()
