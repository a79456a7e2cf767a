"""An HTTP/1.1 client for the system tests: keep-alive connections on
asyncio streams, answers delimited by Content-Length, and the outcome of
every request told apart: a whole answer, a connection closed before any
byte of an answer, an answer cut short, or no answer in time."""

import asyncio
import time

# Outcomes of one request.
ANSWERED = "answered"
CLOSED = "closed"        # closed or reset before the first byte of an answer
TRUNCATED = "truncated"  # part of an answer, then the end of the stream
TIMED_OUT = "timed out"

HEADER_LIMIT = 64 * 1024


class Answer:
    def __init__(self, outcome, status=0, headers=None, body=b"", seconds=0.0, detail=""):
        self.outcome = outcome
        self.status = status
        self.headers = headers or {}
        self.body = body
        self.seconds = seconds
        self.detail = detail

    def __repr__(self):
        return "<%s %s %.3fs %r %s>" % (self.outcome, self.status, self.seconds,
                                         self.body[:80], self.detail)


def request_bytes(target, headers=()):
    lines = ["GET %s HTTP/1.1" % target, "Host: 127.0.0.1"] + list(headers)
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def parse_head(head):
    """Status code and lower-case headers of an answer's header block."""
    lines = head.decode("latin-1").split("\r\n")
    parts = lines[0].split(" ", 2)
    if len(parts) < 2 or not parts[0].startswith("HTTP/1.") or not parts[1].isdigit():
        raise ValueError("bad status line %r" % lines[0])
    headers = {}
    for line in lines[1:]:
        if line:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
    return int(parts[1]), headers


async def read_answer(reader, started, chunk_pause=0.0):
    """Reads one answer; chunk_pause slows the reading of the body down."""
    try:
        head = await reader.readuntil(b"\r\n\r\n")
    except asyncio.IncompleteReadError as cut:
        outcome = CLOSED if not cut.partial else TRUNCATED
        return Answer(outcome, seconds=time.monotonic() - started, body=cut.partial)
    except (ConnectionError, asyncio.LimitOverrunError) as error:
        return Answer(CLOSED, seconds=time.monotonic() - started, detail=repr(error))
    try:
        status, headers = parse_head(head[:-4])
    except ValueError as error:
        return Answer(TRUNCATED, seconds=time.monotonic() - started, detail=str(error))
    length = int(headers.get("content-length", "0"))
    body = bytearray()
    try:
        while len(body) < length:
            piece = await reader.read(min(65536, length - len(body)))
            if not piece:
                raise asyncio.IncompleteReadError(bytes(body), length)
            body += piece
            if chunk_pause:
                await asyncio.sleep(chunk_pause)
    except (asyncio.IncompleteReadError, ConnectionError) as error:
        return Answer(TRUNCATED, status, headers, bytes(body), time.monotonic() - started,
                      "%d of %d body bytes: %r" % (len(body), length, error))
    return Answer(ANSWERED, status, headers, bytes(body), time.monotonic() - started)


class Connection:
    """One keep-alive connection that opens itself again when the gateway
    has closed it."""

    def __init__(self, port):
        self.port = port
        self.reader = None
        self.writer = None

    async def open(self):
        self.reader, self.writer = await asyncio.open_connection("127.0.0.1", self.port,
                                                                 limit=HEADER_LIMIT)

    def close(self):
        if self.writer is not None:
            self.writer.close()
        self.reader = self.writer = None

    async def get(self, target, timeout, headers=(), chunk_pause=0.0):
        started = time.monotonic()
        try:
            if self.writer is None:
                await asyncio.wait_for(self.open(), timeout)
            self.writer.write(request_bytes(target, headers))
            answer = await asyncio.wait_for(read_answer(self.reader, started, chunk_pause),
                                            timeout)
        except asyncio.TimeoutError:
            self.close()
            return Answer(TIMED_OUT, seconds=time.monotonic() - started)
        except ConnectionError as error:
            self.close()
            return Answer(CLOSED, seconds=time.monotonic() - started, detail=repr(error))
        # Only a successful answer keeps the connection open.
        if answer.outcome != ANSWERED or answer.status != 200:
            self.close()
        return answer


def start_sending(writer, data):
    """Sends data in the background, so that the answer can be read while a
    large request still goes out (the gateway may answer and close before it
    has all of it). Cancel the task returned when done."""
    async def send():
        try:
            writer.write(data)
            await writer.drain()
        except ConnectionError:
            pass
    return asyncio.ensure_future(send())


async def exchange_raw(port, data, timeout):
    """Sends raw bytes on a fresh connection and reads what comes back until
    the gateway closes it or timeout passes. Returns (bytes received, seconds
    to the first byte or None, seconds to the end of the stream or None)."""
    started = time.monotonic()
    reader, writer = await asyncio.open_connection("127.0.0.1", port, limit=HEADER_LIMIT)
    received = bytearray()
    first = end = None
    sender = start_sending(writer, data)
    try:
        while True:
            left = timeout - (time.monotonic() - started)
            if left <= 0:
                break
            try:
                piece = await asyncio.wait_for(reader.read(65536), left)
            except asyncio.TimeoutError:
                break
            except ConnectionError:
                end = time.monotonic() - started
                break
            if not piece:
                end = time.monotonic() - started
                break
            if first is None:
                first = time.monotonic() - started
            received += piece
    finally:
        sender.cancel()
        writer.close()
    return bytes(received), first, end


def percentile(values, fraction):
    if not values:
        return 0.0
    ordered = sorted(values)
    index = min(len(ordered) - 1, max(0, int(round(fraction * (len(ordered) - 1)))))
    return ordered[index]
