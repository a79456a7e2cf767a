#!/usr/bin/env python3
"""Turns the raw runs of a bench/ script (one TSV line per wrk or client run,
several rounds) into medians: a summary TSV for the plot and Markdown tables
for bench/RESULTS.md. Counts of errors and time-outs are added up over the
rounds, everything else is the median of the rounds.

    tables.py http RAW.tsv RSS.tsv OUT_PREFIX
    tables.py crowd CROWD.tsv OUT_PREFIX
    tables.py api RAW.tsv OUT_PREFIX
    tables.py scale RAW.tsv OUT_PREFIX
    tables.py sessions RAW.tsv OUT_PREFIX
"""
import csv
import statistics
import sys
from collections import OrderedDict

SERVERS = [("tesmoapi", "TesmoApi"), ("previous", "TesmoApi (OLD)"), ("httplib", "cpp-httplib"),
           ("nginx", "nginx")]
SCENARIOS = [("ident", "/api/ident"), ("page", "100 KB page"), ("file", "4 MB file")]
COUNTS = ("errors", "timeouts", "non2xx")


def read(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))


def group(rows, keys):
    groups = OrderedDict()
    for row in rows:
        groups.setdefault(tuple(row[k] for k in keys), []).append(row)
    return groups


def median(rows, column):
    values = [float(r[column]) for r in rows if r.get(column) not in (None, "", "-")]
    return statistics.median(values) if values else float("nan")


def total(rows, column):
    return sum(int(r[column]) for r in rows if r.get(column) not in (None, "", "-"))


def ratio(a, b):
    return a / b if b else float("nan")


def fmt(value, digits=0):
    if value != value:  # NaN
        return "-"
    if digits == 0:
        return f"{value:,.0f}"
    return f"{value:,.{digits}f}"


def table(header, lines):
    out = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    out += ["| " + " | ".join(line) + " |" for line in lines]
    return "\n".join(out) + "\n"


def connections_of(rows):
    return sorted({int(r["connections"]) for r in rows})


def http(raw_path, rss_path, prefix):
    rows = read(raw_path)
    rss = {r["server"]: int(r["rss_kib"]) for r in read(rss_path)}
    runs = group(rows, ("scenario", "connections", "server"))
    summary = []
    lines = []
    for scenario, label in SCENARIOS:
        for c in connections_of(rows):
            for server, name in SERVERS:
                group_rows = runs.get((scenario, str(c), server))
                if not group_rows:
                    continue
                s = {
                    "scenario": scenario, "connections": c, "server": server,
                    "rps": median(group_rows, "rps"), "p50_ms": median(group_rows, "p50_ms"),
                    "p99_ms": median(group_rows, "p99_ms"), "cpu_us": median(group_rows, "cpu_us"),
                }
                for k in COUNTS:
                    s[k] = total(group_rows, k)
                summary.append(s)
                lines.append([label, str(c), name, fmt(s["rps"]), fmt(s["p50_ms"], 3),
                              fmt(s["p99_ms"], 3), fmt(s["cpu_us"], 1),
                              f'{s["errors"]} / {s["timeouts"]} / {s["non2xx"]}',
                              fmt(rss.get(server, float("nan")) / 1024, 1)])
    with open(prefix + ".tsv", "w") as f:
        columns = ["scenario", "connections", "server", "rps", "p50_ms", "p99_ms", "cpu_us"]
        f.write("\t".join(columns + list(COUNTS)) + "\n")
        for s in summary:
            f.write("\t".join(str(s[k]) for k in columns + list(COUNTS)) + "\n")

    by_key = {(s["scenario"], s["connections"], s["server"]): s for s in summary}
    ratio_lines = []
    for scenario, label in SCENARIOS:
        for c in connections_of(rows):
            t = by_key.get((scenario, c, "tesmoapi"))
            h = by_key.get((scenario, c, "httplib"))
            n = by_key.get((scenario, c, "nginx"))
            if not (t and h and n):
                continue
            ratio_lines.append([label, str(c), fmt(ratio(t["rps"], h["rps"]), 2),
                                fmt(ratio(t["rps"], n["rps"]), 2),
                                fmt(ratio(t["p99_ms"], h["p99_ms"]), 2),
                                fmt(ratio(t["p99_ms"], n["p99_ms"]), 2),
                                fmt(ratio(t["cpu_us"], h["cpu_us"]), 2),
                                fmt(ratio(t["cpu_us"], n["cpu_us"]), 2)])
    with open(prefix + ".md", "w") as f:
        f.write(table(["scenario", "conns", "server", "req/s", "p50 ms", "p99 ms",
                       "CPU us/req", "errors / time-outs / non-2xx", "peak RSS MiB"], lines))
        f.write("\nRatios, TesmoApi against each peer (req/s: above 1 is faster; p99 and CPU:"
                " below 1 is better):\n\n")
        f.write(table(["scenario", "conns", "req/s vs httplib", "req/s vs nginx",
                       "p99 vs httplib", "p99 vs nginx", "CPU vs httplib", "CPU vs nginx"],
                      ratio_lines))
        builds = []
        for scenario, label in SCENARIOS:
            for c in connections_of(rows):
                t = by_key.get((scenario, c, "tesmoapi"))
                p = by_key.get((scenario, c, "previous"))
                if t and p:
                    builds.append([label, str(c)] + [fmt(ratio(t[k], p[k]), 2) for k in
                                                     ("rps", "p50_ms", "p99_ms", "cpu_us")])
        if builds:
            f.write("\nThis build against the OLD one, side by side (req/s: above 1 is faster;"
                    " p50, p99 and CPU: below 1 is better):\n\n")
            f.write(table(["scenario", "conns", "req/s", "p50", "p99", "CPU per request"],
                          builds))


def crowd(raw_path, prefix):
    """/api/ident at 16 connections alone and beside the crowd: medians per
    gateway, and the loaded p99 over the quiet one."""
    rows = read(raw_path)
    runs = group(rows, ("server", "crowd"))
    lines = []
    for server, name in SERVERS:
        alone = runs.get((server, "none"))
        beside = [g for (s, c), g in runs.items() if s == server and c != "none"]
        if not (alone and beside):
            continue
        crowd_name = beside[0][0]["crowd"]
        lines.append([name, crowd_name, fmt(median(beside[0], "taken_in_ms")),
                      fmt(median(alone, "rps")), fmt(median(alone, "p50_ms"), 3),
                      fmt(median(alone, "p99_ms"), 3), fmt(median(beside[0], "rps")),
                      fmt(median(beside[0], "p50_ms"), 3), fmt(median(beside[0], "p99_ms"), 3),
                      fmt(ratio(median(beside[0], "p99_ms"), median(alone, "p99_ms")), 2)])
    with open(prefix + ".md", "w") as f:
        f.write(table(["server", "crowd", "taken in ms", "req/s alone", "p50 ms alone",
                       "p99 ms alone", "req/s beside", "p50 ms beside", "p99 ms beside",
                       "p99 beside / alone"], lines))


def api(raw_path, prefix):
    rows = read(raw_path)
    runs = group(rows, ("resource", "connections", "side"))
    resources = list(OrderedDict.fromkeys(r["resource"] for r in rows))
    lines = []
    for resource in resources:
        for c in connections_of(rows):
            g = runs.get((resource, str(c), "gateway"))
            b = runs.get((resource, str(c), "bare"))
            if not (g and b):
                continue
            g_rps, b_rps = median(g, "rps"), median(b, "rps")
            # At a fixed number of connections the time per request is the
            # inverse of the throughput.
            lines.append([resource, str(c), fmt(g_rps), fmt(b_rps), fmt(ratio(b_rps, g_rps), 2),
                          fmt(median(g, "p50_ms"), 3), fmt(median(b, "p50_ms"), 3),
                          fmt(median(g, "p99_ms"), 3), fmt(median(b, "p99_ms"), 3),
                          fmt(median(g, "cpu_us"), 0),
                          f'{total(g, "errors") + total(g, "timeouts") + total(g, "non2xx")}'
                          f' / {total(b, "errors")}'])
    with open(prefix + ".md", "w") as f:
        f.write(table(["resource", "conns", "gateway req/s", "bare req/s",
                       "gateway/bare time per request", "gateway p50 ms", "bare p50 ms",
                       "gateway p99 ms", "bare p99 ms", "gateway CPU us/req",
                       "failures gateway / bare"], lines))


def scale(raw_path, prefix):
    rows = read(raw_path)
    setups = list(OrderedDict.fromkeys(r["setup"] for r in rows))
    runs = group(rows, ("resource", "connections", "setup"))
    resources = list(OrderedDict.fromkeys(r["resource"] for r in rows))
    lines = []
    for resource in resources:
        for c in connections_of(rows):
            cells = [resource, str(c)]
            medians = {}
            for setup in setups:
                g = runs.get((resource, str(c), setup), [])
                medians[setup] = median(g, "rps")
                failures = sum(total(g, k) for k in COUNTS)
                cells.append(f'{fmt(medians[setup])} (p99 {fmt(median(g, "p99_ms"), 1)} ms'
                             f'{", " + str(failures) + " failed" if failures else ""})')
            cells.append(fmt(ratio(medians.get(setups[-1], float("nan")),
                                   medians.get(setups[0], float("nan"))), 2))
            lines.append(cells)
    with open(prefix + ".md", "w") as f:
        f.write(table(["resource", "conns"] + [s + " req/s" for s in setups]
                      + [f"{setups[-1]} / {setups[0]}"], lines))


def per_answer(rows, column):
    """The median over the rounds of a simulator count per answer."""
    return statistics.median(int(r[column]) / int(r["requests"]) for r in rows
                             if int(r["requests"]) > 0)


def sessions(raw_path, prefix):
    rows = read(raw_path)
    runs = group(rows, ("case", "latency_ms", "connections", "sessions"))
    cases = list(OrderedDict.fromkeys((r["case"], r["latency_ms"], r["connections"])
                                      for r in rows if r["case"] != "limit"))
    lines = []
    for case, latency, c in cases:
        modes = sorted({r["sessions"] for r in rows if (r["case"], r["latency_ms"],
                                                        r["connections"]) == (case, latency, c)},
                       key=int)
        medians = {}
        for mode in modes:
            g = runs[(case, latency, c, mode)]
            medians[mode] = (median(g, "rps"), median(g, "p50_ms"))
            lines.append([case, latency, c, mode, fmt(per_answer(g, "sim_connections"), 3),
                          fmt(per_answer(g, "exchanges"), 3),
                          fmt(per_answer(g, "bytes") / 1024, 2), fmt(median(g, "p50_ms"), 2),
                          fmt(median(g, "p99_ms"), 2), fmt(median(g, "rps")),
                          str(total(g, "errors") + total(g, "timeouts") + total(g, "non2xx")),
                          "", ""])
        base, last = medians[modes[0]], medians[modes[-1]]
        lines[-1][-2] = fmt(ratio(last[1], base[1]), 2)
        lines[-1][-1] = fmt(ratio(last[0], base[0]), 2)
    limit_lines = []
    for (case, latency, c, mode), g in runs.items():
        if case != "limit":
            continue
        limit_lines.append([c, mode, fmt(median(g, "rps")), str(total(g, "refused")),
                            str(total(g, "non2xx")), str(total(g, "errors") + total(g, "timeouts")),
                            str(sum(int(r["requests"]) for r in g))])
    with open(prefix + ".md", "w") as f:
        f.write(table(["case", "latency ms", "conns", "sessions", "connections / answer",
                       "exchanges / answer", "KB received / answer", "p50 ms", "p99 ms",
                       "req/s", "failures", "p50 vs 0", "req/s vs 0"], lines))
        f.write("\nA server that takes 4 connections (tesmo-sim --max-connections 4), the"
                " values of its machines in turn, the rounds added up:\n\n")
        f.write(table(["conns", "sessions", "req/s", "refused connections", "non-2xx",
                       "errors and time-outs", "answers"], limit_lines))


if __name__ == "__main__":
    kind = sys.argv[1]
    if kind == "http":
        http(sys.argv[2], sys.argv[3], sys.argv[4])
    elif kind == "crowd":
        crowd(sys.argv[2], sys.argv[3])
    elif kind == "api":
        api(sys.argv[2], sys.argv[3])
    elif kind == "scale":
        scale(sys.argv[2], sys.argv[3])
    elif kind == "sessions":
        sessions(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
