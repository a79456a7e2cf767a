"""An end-to-end sequence for the memory checker: each resource, each error
document the API can be brought to write, the library's own refusals, a
connection left idle, and then each kind of Tesmo server fault, every part
against a gateway of its own run under context.wrapper (valgrind). The
gateway must answer as designed and end with status 0 on SIGTERM; the
wrapper's verdict is its exit status (valgrind --error-exitcode)."""

import asyncio
import os

import plant
from httpclient import Connection, exchange_raw
from load import SERVER_NOT_WORKING
from processes import Gateway, Sim

SERVER_TIMEOUT = 2
IDLE_TIMEOUT = 5
ANSWER_SECONDS = 60  # the gateway runs many times slower under valgrind
FAULTS = ("stall", "close", "short", "badlength", "slow=%d" % (SERVER_TIMEOUT * 1000 + 500))
LONG_AGO = "2023-06-01T00:00:00Z"


def _error_requests():
    """(target, status, error code or None)."""
    m = plant.MACHINE
    return [
        ("/api/nope", 501, 101),
        ("/api/machine", 400, 1002),
        ("/api/values", 400, 1003),
        ("/api/trend?machine_id=%s" % m, 400, 1004),
        ("/api/analysis_list?machine_id=%s" % m, 400, 1005),
        ("/api/analysis?machine_id=%s" % m, 400, 1006),
        ("/api/values?machine_id=NOPE", 500, 2001),
        # 30,000 raw samples do not fit in the answer buffer.
        ("/api/trend?machine_id=%s&variable_id=1&from=%s&to=%s&max_items=30000&mapped=false"
         % (m, LONG_AGO, plant.NOW), 200, 1),
        ("/no-such-file.txt", 404, None),
        ("/TesmoApi.json", 404, None),
        ("/api/ident%00", 400, None),
    ]


RAW = [
    b"POST /api/ident HTTP/1.1\r\n\r\n",
    b"GET /" + b"a" * 70000 + b" HTTP/1.1\r\n\r\n",
    b"\x16\x03\x01\x00\xa5\x01\x00",  # held until the idle time-out
]


async def _clean_part(port):
    problems = []
    when = await plant.analysis_time(port)
    connection = Connection(port)
    for kind in plant.data_requests(when) + plant.static_requests():
        answer = await connection.get(kind.target, ANSWER_SECONDS)
        problem = kind.problem(answer, True)
        if problem:
            problems.append("%s: %s" % (kind.name, problem))
    connection.close()
    for target, status, code in _error_requests():
        answer = await Connection(port).get(target, ANSWER_SECONDS)
        if answer.status != status or (code is not None and
                                       (b'"code":%d}' % code) not in answer.body):
            problems.append("%s: %r" % (target, answer))
    for data in RAW:
        await exchange_raw(port, data, IDLE_TIMEOUT + 5)
    return problems


async def _fault_part(port):
    """Data requests until each has met the fault at least once."""
    problems = []
    failed = 0
    kinds = plant.tolerate_server_failure(
        [k for k in plant.data_requests("2024-03-01T08:23:15Z") if k.name not in plant.LOCAL])
    for _ in range(2):
        for kind in kinds:
            answer = await Connection(port).get(kind.target, ANSWER_SECONDS)
            problem = kind.problem(answer, True)
            failed += answer.status == 500 and answer.body == SERVER_NOT_WORKING
            if problem:
                problems.append("%s: %s" % (kind.name, problem))
    if failed == 0:
        problems.append("no request met the fault")
    return problems


def _one(context, report, name, faults, part):
    log = os.path.join(context.log_dir, "memcheck-%s.txt" % name)
    wrapper = [w.replace("%LOG%", log) for w in context.wrapper]
    sim = Sim(context.bin_dir, faults=faults)
    gateway = Gateway(context.bin_dir, sim.port, idle_timeout=IDLE_TIMEOUT,
                      server_timeout=SERVER_TIMEOUT, wrapper=wrapper, start_seconds=120)
    try:
        problems = asyncio.run(part(gateway.port))
        status = gateway.terminate(120)
        report.check("sequence.%s.answers" % name, not problems, "; ".join(problems[:3]))
        report.check("sequence.%s.clean_exit" % name, status == 0,
                     "exit status %s%s" % (status, ", see " + log if context.wrapper else ""))
    finally:
        gateway.stop()
        sim.stop()


def run(context, report):
    _one(context, report, "resources_and_errors", [], _clean_part)
    for kind in FAULTS:
        faults = ["%s:%s:3" % (exchange, kind) for exchange in
                  ("login", "catalogue", "values", "trend", "analysis")]
        _one(context, report, "fault_" + kind.split("=")[0], faults, _fault_part)
