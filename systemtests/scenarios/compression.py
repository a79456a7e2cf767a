"""Compressed answers as curl fetches them: with --compressed, the
20,000-sample raw trend and the explorer's files come gzip-coded and decode
to exactly the bytes of the plain answer, and the trend travels in less
than 200 KB; /api/ident, too small to gain, comes as it is. Every one of
them says Vary: Accept-Encoding."""

import subprocess
import tempfile
import time

import plant
from processes import SIM_NOW, Gateway, Sim

SAMPLES = 20000
TREND_PERIOD = 600
MOST_TREND_BYTES = 200 * 1024
TARGETS = {
    "trend": "/api/trend?machine_id=%s&variable_id=1&from=%s&to=%s&max_items=%d&mapped=false",
    "page": "/api.html",
    "contract": "/openapi.json",
    "ident": "/api/ident",
}
CODED = {"trend": True, "page": True, "contract": True, "ident": False}


def _utc(seconds):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds))


def _fetch(url, compressed):
    """(header text, decoded body, bytes on the wire)."""
    with tempfile.NamedTemporaryFile() as header, tempfile.NamedTemporaryFile() as body:
        command = ["curl", "-sf", "-D", header.name, "-o", body.name, "-w", "%{size_download}"]
        if compressed:
            command.append("--compressed")
        wire = subprocess.run(command + [url], capture_output=True, check=True, timeout=60)
        return header.read().decode().lower(), body.read(), int(wire.stdout)


def run(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port)
    try:
        base = "http://127.0.0.1:%d" % gateway.port
        trend = TARGETS["trend"] % (plant.MACHINE, _utc(SIM_NOW - SAMPLES * TREND_PERIOD),
                                    plant.NOW, SAMPLES)
        for name, target in dict(TARGETS, trend=trend).items():
            plain_header, plain_body, plain_wire = _fetch(base + target, False)
            header, body, wire = _fetch(base + target, True)
            coded = "content-encoding: gzip" in header
            report.check("compression.%s.coded" % name, coded == CODED[name],
                         "coded %s, %d of %d bytes" % (coded, wire, plain_wire))
            report.check("compression.%s.same_body" % name, body == plain_body,
                         "%d decoded bytes, %d plain" % (len(body), len(plain_body)))
            report.check("compression.%s.vary" % name,
                         "vary: accept-encoding" in header and
                         "vary: accept-encoding" in plain_header)
            report.check("compression.%s.plain_uncoded" % name,
                         "content-encoding" not in plain_header)
            if name == "trend":
                report.figure("compression.trend_bytes", {"plain": plain_wire, "gzip": wire})
                report.check("compression.trend.small", wire <= MOST_TREND_BYTES,
                             "%d bytes on the wire" % wire)
    finally:
        gateway.stop()
        sim.stop()
