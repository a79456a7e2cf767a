"""A browser's second visit: the explorer page comes with its validators, and
asked again with them, as a browser asks for a page it keeps, it is answered
304 NOT MODIFIED in under a kilobyte instead of the whole page. A browser
that takes gzip gets the coded page under a tag of its own, and revalidates
with that one."""

import socket

from processes import Gateway, Sim

PAGE = "/api.html"
SECOND_LOAD_LIMIT = 1024  # bytes of the second answer
ANSWER_SECONDS = 10
CHUNK = 65536
BROWSER_HEADERS = ("Accept: text/html,application/xhtml+xml,*/*;q=0.8\r\n"
                   "Cache-Control: max-age=0\r\n")
ACCEPT_GZIP = "Accept-Encoding: gzip, deflate, br\r\n"


def fetch(port, headers=""):
    """The bytes of one answer to a GET of PAGE, all that the gateway sends
    until it closes after the answer."""
    with socket.create_connection(("127.0.0.1", port), timeout=ANSWER_SECONDS) as connection:
        connection.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n%s%sConnection: close\r\n\r\n"
                            % (PAGE, BROWSER_HEADERS, headers)).encode())
        received = b""
        while True:
            chunk = connection.recv(CHUNK)
            if not chunk:
                return received
            received += chunk


def header(answer, name):
    head = answer.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    for line in head.split("\r\n")[1:]:
        key, _, value = line.partition(":")
        if key.lower() == name.lower():
            return value.strip()
    return None


def revalidate(port, report, prefix, headers=""):
    """Loads the page, then asks again with its validators; returns the tag
    of the first answer."""
    first = fetch(port, headers)
    tag = header(first, "ETag")
    modified = header(first, "Last-Modified")
    report.check(prefix + "first_load_has_validators",
                 first.startswith(b"HTTP/1.1 200 OK\r\n") and tag and modified
                 and header(first, "Cache-Control") == "no-cache",
                 first.split(b"\r\n\r\n", 1)[0].decode("latin-1"))
    second = fetch(port, "%sIf-None-Match: %s\r\nIf-Modified-Since: %s\r\n"
                   % (headers, tag, modified))
    report.figure(prefix + "bytes", {"first": len(first), "second": len(second)})
    report.check(prefix + "second_load_is_not_modified_under_1kb",
                 second.startswith(b"HTTP/1.1 304 NOT MODIFIED\r\n")
                 and len(second) < SECOND_LOAD_LIMIT and second.endswith(b"\r\n\r\n")
                 and header(second, "ETag") == tag,
                 "%d bytes: %r" % (len(second), second[:300]))
    return tag


def run(context, report):
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port)
    try:
        plain_tag = revalidate(gateway.port, report, "revalidation.")
        gzip_tag = revalidate(gateway.port, report, "revalidation.gzip_", ACCEPT_GZIP)
        report.check("revalidation.gzip_tag_differs", plain_tag != gzip_tag,
                     "%s and %s" % (plain_tag, gzip_tag))
    finally:
        gateway.stop()
        sim.stop()
