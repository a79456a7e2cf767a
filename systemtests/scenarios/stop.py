"""Stop under load: SIGTERM while 100 requests are in flight (data requests
waiting on a slow Tesmo server, large files being read slowly, and quick
requests). The gateway stops within a few seconds, and each request in
flight ends with a complete answer or a connection closed before its
answer began, never an answer cut short. Also while every request waits on
a Tesmo server that takes just under the time-out for each exchange."""

import asyncio
import time

from httpclient import ANSWERED, CLOSED, TRUNCATED, Connection
from processes import Gateway, Sim

SERVER_TIMEOUT = 2
VALUES_DELAY_MS = 800
# Larger than what the system buffers on loopback, so that a close cuts it.
# A reader that takes 64 KiB every 5 ms needs about 1.5 s: within the few
# seconds a stop gives the answers being sent (an answer that needs longer
# than that is cut by the close).
BIG_FILE_BYTES = 16 * 1024 * 1024
READ_PAUSE = 0.005
IN_FLIGHT = {"values": 40, "big_file": 30, "quick": 30}
RUN_BEFORE_STOP = 1.5
# Each exchange just under the time-out: a request needs five of them.
SLOW_SERVER_DELAY_MS = 1800
SLOW_SERVER_REQUESTS = 20
STOP_SECONDS = 5.0
TARGETS = {"values": ["/api/values?machine_id=P-101"], "big_file": ["/big.bin"],
           "quick": ["/api/ident", "/api.html", "/api/groups"]}


async def _client(port, kind, stopped, outcomes):
    connection = Connection(port)
    i = 0
    while True:
        target = TARGETS[kind][i % len(TARGETS[kind])]
        i += 1
        in_flight_at_stop = not stopped.is_set()
        pause = READ_PAUSE if kind == "big_file" else 0.0
        answer = await connection.get(target, 30, chunk_pause=pause)
        if in_flight_at_stop and (stopped.is_set() or answer.outcome != ANSWERED):
            outcomes.append((kind, answer))
        if stopped.is_set() or answer.outcome != ANSWERED or answer.status != 200:
            break
    connection.close()


async def _stop_under_load(gateway):
    stopped = asyncio.Event()
    outcomes = []
    clients = [asyncio.ensure_future(_client(gateway.port, kind, stopped, outcomes))
               for kind, count in IN_FLIGHT.items() for _ in range(count)]
    await asyncio.sleep(RUN_BEFORE_STOP)
    stopped.set()
    asked = time.monotonic()
    exit_status = await asyncio.get_event_loop().run_in_executor(None, gateway.terminate, 20)
    took = time.monotonic() - asked
    done, pending = await asyncio.wait(clients, timeout=10)
    for task in pending:
        task.cancel()
    return exit_status, took, outcomes, len(pending)


async def _stop_waiting_on_server(gateway):
    """SIGTERM while requests wait on a slow Tesmo server: how long the stop
    takes, and what became of the requests."""
    connections = [Connection(gateway.port) for _ in range(SLOW_SERVER_REQUESTS)]
    asking = [asyncio.ensure_future(c.get(TARGETS["values"][0], 60)) for c in connections]
    await asyncio.sleep(RUN_BEFORE_STOP)
    asked = time.monotonic()
    exit_status = await asyncio.get_event_loop().run_in_executor(None, gateway.terminate, 60)
    took = time.monotonic() - asked
    answers = await asyncio.gather(*asking)
    return exit_status, took, answers


def _slow_server(context, report):
    exchanges = ("login", "stamp", "catalogue", "kinds", "values")
    sim = Sim(context.bin_dir, faults=["%s:slow=%d" % (e, SLOW_SERVER_DELAY_MS)
                                       for e in exchanges])
    gateway = Gateway(context.bin_dir, sim.port, server_timeout=SERVER_TIMEOUT)
    try:
        exit_status, took, answers = asyncio.run(_stop_waiting_on_server(gateway))
        outcomes = {}
        for answer in answers:
            outcomes[answer.outcome] = outcomes.get(answer.outcome, 0) + 1
        report.figure("stop.slow_server", {"in_flight": SLOW_SERVER_REQUESTS,
                                           "exchange_ms": SLOW_SERVER_DELAY_MS,
                                           "outcomes": outcomes, "stop_seconds": round(took, 2),
                                           "exit_status": exit_status})
        report.check("stop.slow_server.stops_within_a_few_seconds",
                     exit_status == 0 and took <= STOP_SECONDS,
                     "exit status %s after %.2f s" % (exit_status, took))
    finally:
        gateway.stop()
        sim.stop()


def run(context, report):
    _under_load(context, report)
    _slow_server(context, report)


def _under_load(context, report):
    sim = Sim(context.bin_dir, faults=["values:slow=%d" % VALUES_DELAY_MS])
    gateway = Gateway(context.bin_dir, sim.port, server_timeout=SERVER_TIMEOUT)
    try:
        gateway.write("big.bin", b"z" * BIG_FILE_BYTES)
        exit_status, took, outcomes, hanging = asyncio.run(_stop_under_load(gateway))
        counts = {}
        cut = []
        for kind, answer in outcomes:
            key = "%s %s" % (kind, answer.outcome)
            counts[key] = counts.get(key, 0) + 1
            if answer.outcome == TRUNCATED:
                cut.append(answer.detail)
        report.figure("stop", {"in_flight": sum(IN_FLIGHT.values()), "outcomes": counts,
                               "stop_seconds": round(took, 2), "exit_status": exit_status})
        report.check("stop.stops_within_a_few_seconds",
                     exit_status == 0 and took <= STOP_SECONDS,
                     "exit status %s after %.2f s" % (exit_status, took))
        report.check("stop.no_request_hangs", hanging == 0 and len(outcomes) >= 100,
                     "%d requests in flight ended, %d still waiting" % (len(outcomes), hanging))
        report.check("stop.answers_in_flight_finished",
                     all(a.outcome == ANSWERED for _, a in outcomes),
                     "outcomes %s" % counts)
        report.check("stop.no_answer_cut_short",
                     not cut and all(a.outcome in (ANSWERED, CLOSED) for _, a in outcomes),
                     "%d answers cut short: %s" % (len(cut), cut[:3]))
    finally:
        gateway.stop()
        sim.stop()
