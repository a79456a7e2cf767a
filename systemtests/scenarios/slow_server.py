"""A slow Tesmo server: the simulator answers every exchange just under the
gateway's time-out while 64 connections ask for data; ident and static files
keep their quiet speed meanwhile (the slow server must not starve the
resources that do not need it)."""

import asyncio

import plant
from httpclient import percentile
from load import run_load
from processes import Gateway, Sim

SERVER_TIMEOUT = 1  # seconds
DELAY_MS = 750      # each exchange, just under the time-out
EXCHANGES = ("login", "stamp", "catalogue", "kinds", "values", "trend", "analysis")
DATA_CONNECTIONS = 64
CHEAP_CONNECTIONS = 8
# Full speed, on a shared 2-core machine: at least half the quiet rate.
RATE_FACTOR = 0.5


def _cheap():
    return [k for k in plant.data_requests("") + plant.static_requests()
            if k.name in ("ident", "api.html", "openapi.json")]


def _data(analysis_time):
    return plant.tolerate_server_failure(
        [k for k in plant.data_requests(analysis_time) if k.name not in plant.LOCAL])


async def _both(port, seconds, analysis_time):
    """Data requests on 64 connections, and the cheap ones beside them."""
    data, cheap = await asyncio.gather(
        run_load(port, _data(analysis_time), DATA_CONNECTIONS, seconds + 2, 30),
        run_load(port, _cheap(), CHEAP_CONNECTIONS, seconds, 10))
    return data, cheap


def run(context, report):
    seconds = 30 if context.long else 6
    faults = ["%s:slow=%d" % (exchange, DELAY_MS) for exchange in EXCHANGES]
    sim = Sim(context.bin_dir, faults=faults)
    gateway = Gateway(context.bin_dir, sim.port, server_timeout=SERVER_TIMEOUT)
    try:
        # The analysis time is asked of the slow server too (5 exchanges).
        when = asyncio.run(plant.analysis_time(gateway.port))
        quiet = asyncio.run(run_load(gateway.port, _cheap(), CHEAP_CONNECTIONS, seconds, 10))
        data, loaded = asyncio.run(_both(gateway.port, seconds, when))
        quiet_rate = quiet.total() / quiet.seconds
        loaded_rate = loaded.total() / loaded.seconds
        statuses = data.statuses()
        report.figure("slow_server", {
            "delay_ms": DELAY_MS, "server_timeout_s": SERVER_TIMEOUT,
            "cheap_quiet": {"per_s": round(quiet_rate), "p99_ms": round(
                percentile(quiet.latencies(), 0.99) * 1000, 2)},
            "cheap_with_slow_server": {"per_s": round(loaded_rate), "p99_ms": round(
                percentile(loaded.latencies(), 0.99) * 1000, 2)},
            "data": {"requests": data.total(), "statuses": statuses,
                     "p50_s": round(percentile(data.latencies(), 0.5), 2)}})
        report.check("slow_server.cheap_at_full_speed", loaded_rate >= RATE_FACTOR * quiet_rate
                     and loaded.problems() == 0 and quiet.problems() == 0,
                     "ident and files: %.0f/s quiet, %.0f/s beside %d slow data connections"
                     % (quiet_rate, loaded_rate, DATA_CONNECTIONS))
        report.check("slow_server.data_answered_as_expected",
                     data.problems() == 0 and statuses.get("200", 0) > 0,
                     "%d data requests %s; %s" % (data.total(), statuses, data.examples()[:3]))
        report.check("slow_server.alive", gateway.alive(), gateway.errors()[-200:])
    finally:
        gateway.stop()
        sim.stop()
