"""Hostile requests, each on a connection of its own: garbage, oversized
request lines and header blocks, other methods, bad and NUL percent escapes,
very many parameters, names that try to leave the program's folder on
either platform, and the configuration file under every spelling. Each is
answered as designed (status, and a close after every answer but 200)
without holding the connection; the gateway answers normally afterwards."""

import asyncio
import os
import random
import time

from httpclient import HEADER_LIMIT, parse_head, start_sending
from processes import Gateway, Sim

IDLE_TIMEOUT = 3
# A refusal comes at once; nothing waits for the idle time-out.
AT_ONCE_SECONDS = 1.0


def _garbage(size, seed, line_breaks):
    rng = random.Random(seed)
    data = bytes(rng.randrange(256) for _ in range(size))
    if not line_breaks:
        data = data.replace(b"\r", b"\x00").replace(b"\n", b"\x00")
    return data


def _get(target, method="GET", extra=b""):
    return method.encode() + b" " + target.encode("latin-1") + b" HTTP/1.1\r\n" \
        b"Host: 127.0.0.1\r\n\r\n" + extra


METHODS = ("POST", "PUT", "DELETE", "HEAD", "OPTIONS", "PATCH", "TRACE", "CONNECT", "PROPFIND",
           "get", "Get")

TRAVERSALS = (
    "/../TesmoApi.json", "/../../../../../../etc/passwd", "/%2e%2e/%2e%2e/%2e%2e/etc/passwd",
    "/..%2f..%2f..%2f..%2fetc%2fpasswd", "/.%2e/.%2e/.%2e/etc/passwd", "//etc/passwd",
    "/%2fetc%2fpasswd", "/x/../../../../etc/passwd", "/....//....//etc/passwd",
    "/%c0%ae%c0%ae/%c0%ae%c0%ae/etc/passwd", "/..;/..;/etc/passwd",
    "/..\\..\\..\\windows\\win.ini", "/..%5c..%5c..%5cwindows%5cwin.ini",
    "/C:/Windows/win.ini", "/C:%5cWindows%5cwin.ini", "/c:\\boot.ini",
    "/\\\\server\\share\\file", "/%5c%5cserver%5cshare", "/CON", "/nul.txt", "/COM1",
    "/api.html::$DATA", "/api.html.", "/api.html%20",
)

CONFIGURATION = (
    "/TesmoApi.json", "/tesmoapi.json", "/TESMOAPI.JSON", "/TesmoApi.JSON", "/./TesmoApi.json",
    "/x/../TesmoApi.json", "/%54esmoApi.json", "/TesmoApi%2ejson", "/TesmoApi.json.",
    "/TesmoApi.json%20", "/TesmoApi.json::$DATA", "/TesmoApi.json:stream", "/TESMOA~1.JSO",
    "/TesmoApi.json/", "/TesmoApi.json?x=1", "/TesmoApi.json.bak", "/TesmoApi.json~",
    "/.TesmoApi.json.swp", "/%23TesmoApi.json%23", "/TesmoApi%20-%20Copy.json",
    "/TesmoApi%20(2).json", "/settings.txt", "/link.txt",
)


def cases():
    """(name, bytes sent, expected status, whether the answer must come at
    once). Every answer but 200 must be followed by a close."""
    table = [
        ("binary_garbage", _garbage(4096, 1, False), 400, True),
        ("binary_garbage_with_line_breaks", _garbage(4096, 2, True) + b"\r\n\r\n", 400, True),
        ("tls_client_hello", b"\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03" +
         _garbage(32, 3, False), 400, True),
        ("control_character_in_request_line", _get("/api/ident\x01"), 400, True),
        ("nul_byte_in_method", b"G\x00T /api/ident HTTP/1.1\r\n\r\n", 400, True),
        ("tab_after_method", _get("/api/ident", "GET\t"), 400, True),
        ("request_line_100k", _get("/" + "a" * 100 * 1024), 400, True),
        ("header_block_1m", b"GET /api/ident HTTP/1.1\r\n" +
         (b"X-Fill: " + b"b" * 1000 + b"\r\n") * 1024 + b"\r\n", 400, True),
        ("parameters_10000", _get("/api/ident?" + "&".join("p%d=1" % i for i in range(10000))),
         400, True),
        ("empty_parameters_10000", _get("/api/ident?" + "&" * 10000), 400, True),
        ("post_with_body", b"POST /api/ident HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 501,
         True),
        ("bad_escape_in_value", _get("/api/values?machine_id=%zz"), 500, True),
        ("bad_escape_in_name", _get("/%zz"), 404, True),
        ("cut_escape_at_end", _get("/api/ident%"), 501, True),
        ("escaped_slash_in_api", _get("/api%2fident"), 200, True),
        ("nul_escape_in_resource", _get("/api/ident%00"), 400, True),
        ("nul_escape_in_value", _get("/api/values?machine_id=P-101%00x"), 400, True),
        ("nul_escape_in_file_name", _get("/api.html%00.txt"), 400, True),
        ("dot_segments_inside", _get("/x/../api.html"), 200, True),
    ]
    table += [("method_" + m, _get("/api/ident", m), 501, True)
              for m in METHODS]
    table += [("traversal " + t, _get(t), 404, True) for t in TRAVERSALS]
    table += [("configuration " + c, _get(c), 404, True) for c in CONFIGURATION]
    return table


async def _try(port, data, seconds):
    """Sends data and reads one answer, then (after anything but 200) on to
    the end of the stream. Returns (status or 0, head, body, seconds to the
    answer, seconds to the end or None)."""
    started = time.monotonic()
    reader, writer = await asyncio.open_connection("127.0.0.1", port, limit=HEADER_LIMIT)
    sender = start_sending(writer, data)
    status, head, body, answered, ended = 0, b"", b"", None, None
    try:
        head = await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), seconds)
        answered = time.monotonic() - started
        status, headers = parse_head(head[:-4])
        body = await asyncio.wait_for(reader.readexactly(int(headers.get("content-length",
                                                                          "0"))), seconds)
        if status != 200:
            rest = await asyncio.wait_for(reader.read(), seconds)
            body += rest
            ended = time.monotonic() - started
    except (asyncio.TimeoutError, asyncio.IncompleteReadError, ConnectionError, ValueError):
        if reader.at_eof():
            ended = time.monotonic() - started
    finally:
        sender.cancel()
        writer.close()
    return status, head, body, answered, ended


def _verdict(expected, at_once, outcome):
    status, _, body, answered, ended = outcome
    if status != expected:
        return False, "status %d (%s), wanted %d" % (
            status, "closed after %.2f s" % ended if ended else "nothing", expected)
    if at_once and answered > AT_ONCE_SECONDS:
        return False, "answered after %.2f s" % answered
    if status != 200 and (ended is None or ended > answered + AT_ONCE_SECONDS):
        return False, "not closed after the answer"
    if b"drovane_tesmo_server" in body:
        return False, "the configuration was served"
    return True, "%d after %.3f s" % (status, answered)


def _prepare_folder(gateway):
    """Copies, links and backups of the configuration, as a person leaves
    them beside it."""
    config = gateway.path("TesmoApi.json")
    with open(config, "rb") as f:
        text = f.read()
    os.link(config, gateway.path("settings.txt"))
    os.symlink(config, gateway.path("link.txt"))
    for name in ("TesmoApi.json.bak", "TesmoApi.json~", ".TesmoApi.json.swp",
                 "#TesmoApi.json#", "TesmoApi - Copy.json", "TesmoApi (2).json"):
        gateway.write(name, text)


def run(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port, idle_timeout=IDLE_TIMEOUT)
    try:
        _prepare_folder(gateway)
        table = cases()

        async def all_cases():
            return await asyncio.gather(*[_try(gateway.port, data, IDLE_TIMEOUT + 2)
                                          for _, data, _, _ in table])

        outcomes = asyncio.run(all_cases())
        for (name, _, expected, at_once), outcome in zip(table, outcomes):
            passed, detail = _verdict(expected, at_once, outcome)
            report.check("hostile." + name.replace(" ", "."), passed, detail)
        after = asyncio.run(_try(gateway.port, _get("/api/ident"), 5))
        report.check("hostile.answers_afterwards", after[0] == 200 and gateway.alive(),
                     "ident answered %d" % after[0])
        report.figure("hostile.requests", len(table))
    finally:
        gateway.stop()
        sim.stop()
