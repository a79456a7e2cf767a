"""Load on keep-alive connections: each connection sends the requests of a
mix in turn, checks every answer against what its kind expects, and
records outcomes and latencies per kind."""

import asyncio
import json
import time

from httpclient import ANSWERED, Connection, percentile

# One answer in this many is parsed as JSON (every answer is checked for
# its status and headers).
JSON_SAMPLE_EVERY = 10
SERVER_NOT_WORKING = b'{"error":"Tesmo Server is not working","code":2001}'


class Kind:
    """A request and the answers it may get. statuses: the allowed status
    codes; body: None (any JSON when sampled), or a function of the parsed
    JSON that returns an error text or None; exact: status -> the only body
    allowed with it."""

    def __init__(self, name, target, statuses=(200,), body=None, exact=None, is_json=True):
        self.name = name
        self.target = target
        self.statuses = statuses
        self.body = body
        self.exact = exact or {}
        self.is_json = is_json

    def problem(self, answer, sample):
        if answer.outcome != ANSWERED:
            return "%s after %.3fs %s" % (answer.outcome, answer.seconds, answer.detail)
        if answer.status not in self.statuses:
            return "status %d, body %r" % (answer.status, answer.body[:120])
        if answer.status in self.exact:
            if answer.body != self.exact[answer.status]:
                return "status %d with body %r" % (answer.status, answer.body[:120])
            return None
        length = answer.headers.get("content-length")
        if length is not None and int(length) != len(answer.body):
            return "Content-Length %s, %d bytes" % (length, len(answer.body))
        if sample and self.is_json and answer.body:
            try:
                document = json.loads(answer.body)
            except ValueError as error:
                return "body is not JSON: %s" % error
            if self.body is not None and answer.status == 200:
                return self.body(document)
        return None


class KindStats:
    def __init__(self):
        self.count = 0
        self.statuses = {}
        self.latencies = []
        self.problems = 0
        self.examples = []
        self.parsed = 0
        self.slowest = 0.0
        self.slowest_by_status = {}

    def add(self, answer, problem, parsed):
        self.count += 1
        key = str(answer.status) if answer.outcome == ANSWERED else answer.outcome
        self.statuses[key] = self.statuses.get(key, 0) + 1
        self.slowest_by_status[key] = max(self.slowest_by_status.get(key, 0.0), answer.seconds)
        self.latencies.append(answer.seconds)
        self.slowest = max(self.slowest, answer.seconds)
        self.parsed += parsed
        if problem:
            self.problems += 1
            if len(self.examples) < 5:
                self.examples.append(problem)


class LoadStats:
    def __init__(self):
        self.kinds = {}
        self.seconds = 0.0

    def of(self, name):
        return self.kinds.setdefault(name, KindStats())

    def total(self):
        return sum(k.count for k in self.kinds.values())

    def problems(self):
        return sum(k.problems for k in self.kinds.values())

    def examples(self):
        return ["%s: %s" % (name, e) for name, k in self.kinds.items() for e in k.examples]

    def latencies(self, names=None):
        values = []
        for name, k in self.kinds.items():
            if names is None or name in names:
                values += k.latencies
        return values

    def slowest(self, status):
        """The longest time an answer with this status (or outcome) took."""
        return max([k.slowest_by_status.get(status, 0.0) for k in self.kinds.values()] or [0.0])

    def statuses(self):
        merged = {}
        for k in self.kinds.values():
            for key, n in k.statuses.items():
                merged[key] = merged.get(key, 0) + n
        return merged

    def table(self):
        return {name: {"requests": k.count, "statuses": k.statuses,
                       "p50_ms": round(percentile(k.latencies, 0.5) * 1000, 2),
                       "p99_ms": round(percentile(k.latencies, 0.99) * 1000, 2),
                       "max_ms": round(k.slowest * 1000, 1), "json_parsed": k.parsed}
                for name, k in sorted(self.kinds.items())}


async def _worker(port, kinds, offset, deadline, timeout, stats, counter):
    connection = Connection(port)
    i = offset
    while time.monotonic() < deadline:
        kind = kinds[i % len(kinds)]
        i += 1
        answer = await connection.get(kind.target, timeout)
        counter[0] += 1
        sample = counter[0] % JSON_SAMPLE_EVERY == 0
        problem = kind.problem(answer, sample)
        stats.of(kind.name).add(answer, problem,
                                int(sample and answer.outcome == ANSWERED and kind.is_json))
    connection.close()


async def run_load(port, kinds, connections, seconds, timeout, stats=None):
    """connections workers for seconds; each request must be answered
    within timeout."""
    stats = stats or LoadStats()
    deadline = time.monotonic() + seconds
    counter = [0]
    started = time.monotonic()
    await asyncio.gather(*[_worker(port, kinds, n, deadline, timeout, stats, counter)
                           for n in range(connections)])
    stats.seconds += time.monotonic() - started
    return stats
