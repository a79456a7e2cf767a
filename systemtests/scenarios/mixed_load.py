"""Mixed load: every resource and the static files on many keep-alive
connections; every answer as expected, and afterwards the gateway's memory,
threads and descriptors back near where they were when it was idle."""

import asyncio
import time

import plant
from load import run_load
from processes import Gateway, Sim, settle

CONNECTIONS = 256
ANSWER_SECONDS = 10
# Resident memory may stay above the idle figure by what the allocator and
# the thread stacks it caches keep (glibc keeps up to 40 MiB of stacks of
# ended threads for new ones), but must not grow from one round to the next.
RSS_ALLOWANCE_KIB = 96 * 1024
RSS_GROWTH_KIB = 8 * 1024


def run(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port)
    try:
        idle = gateway.stats()
        report.figure("mixed.idle", idle)
        when = asyncio.run(plant.analysis_time(gateway.port))
        kinds = plant.mix(when)
        rounds = []
        round_seconds = context.seconds / 2
        for n in range(2):
            stats = asyncio.run(run_load(gateway.port, kinds, CONNECTIONS, round_seconds,
                                         ANSWER_SECONDS))
            after = settle(gateway, idle)
            rounds.append((stats, after))
            report.figure("mixed.round%d" % (n + 1),
                          {"requests": stats.total(), "seconds": round(stats.seconds, 1),
                           "statuses": stats.statuses(), "after": after})
        total = sum(s.total() for s, _ in rounds)
        problems = sum(s.problems() for s, _ in rounds)
        examples = rounds[0][0].examples() + rounds[1][0].examples()
        report.figure("mixed.per_kind", rounds[1][0].table())
        report.check("mixed.every_answer_expected", problems == 0 and total > 0,
                     "%d requests, %d unexpected %s" % (total, problems, examples[:5]))
        parsed = sum(k.parsed for s, _ in rounds for k in s.kinds.values())
        report.check("mixed.json_sample_parses", parsed > 0, "%d bodies parsed" % parsed)
        final = rounds[1][1]
        report.check("mixed.threads_back_to_idle", final["threads"] <= idle["threads"],
                     "idle %d, after %d" % (idle["threads"], final["threads"]))
        report.check("mixed.descriptors_back_to_idle", final["fds"] <= idle["fds"],
                     "idle %d, after %d" % (idle["fds"], final["fds"]))
        first = rounds[0][1]
        report.check("mixed.memory_near_idle",
                     final["rss_kib"] <= idle["rss_kib"] + RSS_ALLOWANCE_KIB and
                     final["rss_kib"] <= first["rss_kib"] + RSS_GROWTH_KIB,
                     "idle %d KiB, after round 1 %d KiB, after round 2 %d KiB"
                     % (idle["rss_kib"], first["rss_kib"], final["rss_kib"]))
        report.check("mixed.alive", gateway.alive(), gateway.errors()[-200:])
    finally:
        gateway.stop()
        sim.stop()
