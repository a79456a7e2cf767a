"""Faults under load: tesmo-sim injects one kind of fault at every 7th
exchange of each kind while the mixed load runs. Every request is answered
200 or 500 with the 2001 document within the time-out plus one second;
nothing hangs, the gateway does not crash and keeps no thread or descriptor
afterwards."""

import asyncio

import plant
from load import run_load
from processes import Gateway, Sim, settle

CONNECTIONS = 256
EXCHANGES = ("login", "stamp", "catalogue", "kinds", "values", "trend", "analysis")
EVERY = 7
SERVER_TIMEOUT = 2  # seconds, the gateway's drovane_tesmo_server.timeout
# A slow answer comes after the time-out: the gateway must give up on it.
FAULT_KINDS = ("stall", "close", "short", "badlength", "slow=%d" % (SERVER_TIMEOUT * 1000 + 500))
# Each request meets at most one fault that ends it, so it ends within the
# time-out and a second (queueing under load included).
ANSWER_SECONDS = SERVER_TIMEOUT + 1


def run(context, report):
    seconds = max(3.0, context.seconds / len(FAULT_KINDS))
    for kind in FAULT_KINDS:
        name = kind.split("=")[0]
        faults = ["%s:%s:%d" % (exchange, kind, EVERY) for exchange in EXCHANGES]
        sim = Sim(context.bin_dir, faults=faults)
        gateway = Gateway(context.bin_dir, sim.port, server_timeout=SERVER_TIMEOUT)
        try:
            idle = gateway.stats()
            when = asyncio.run(plant.analysis_time(gateway.port))
            kinds = plant.tolerate_server_failure(plant.data_requests(when) +
                                                  plant.static_requests())
            stats = asyncio.run(run_load(gateway.port, kinds, CONNECTIONS, seconds,
                                         ANSWER_SECONDS))
            after = settle(gateway, idle, seconds=SERVER_TIMEOUT + 10)
            statuses = stats.statuses()
            report.figure("faults.%s" % name,
                          {"requests": stats.total(), "statuses": statuses,
                           "slowest_s": round(max(stats.latencies()), 2),
                           "idle": idle, "after": after})
            report.check("faults.%s.answers_200_or_2001_in_time" % name,
                         stats.problems() == 0 and statuses.get("500", 0) > 0,
                         "%d requests, %d with the 2001 document, %d unexpected %s"
                         % (stats.total(), statuses.get("500", 0), stats.problems(),
                            stats.examples()[:3]))
            report.check("faults.%s.nothing_kept" % name,
                         after["threads"] <= idle["threads"] and after["fds"] <= idle["fds"],
                         "threads %d -> %d, descriptors %d -> %d"
                         % (idle["threads"], after["threads"], idle["fds"], after["fds"]))
            report.check("faults.%s.alive" % name, gateway.alive(), gateway.errors()[-200:])
        finally:
            gateway.stop()
            sim.stop()
