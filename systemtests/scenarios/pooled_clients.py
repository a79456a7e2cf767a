"""Clients that keep their connections and reuse them: the standard
library's http.client on one connection, and nginx as a reverse proxy with
upstream keep-alive in front of the gateway. A mix of successes and of the
answers after which the gateway closes (400, 404, 501, 500 with the 2001
document) goes through each: every request gets its answer, none is lost to
a connection the gateway closed without saying so, and nginx never finds an
upstream connection closed under it."""

import collections
import http.client
import os
import shutil
import socket
import subprocess
import tempfile
import time

from load import SERVER_NOT_WORKING
from processes import Gateway, Sim

ROUNDS = 60  # of the nine requests of MIX: 540 requests
ANSWER_SECONDS = 10
NGINX_START_SECONDS = 10
# Every third values exchange with the Tesmo server fails: a 500 with the
# 2001 document.
FAULTS = ["values:close:3"]
PREMATURE = "prematurely closed"

# method, target, the statuses it may get and, for some, the only body.
MIX = [
    ("GET", "/api/ident", (200,), None),
    ("GET", "/api/values?machine_id=P-101", (200, 500), {500: SERVER_NOT_WORKING}),
    ("GET", "/api/nope", (501,), None),
    ("GET", "/api/values", (400,), None),
    ("DELETE", "/api/ident", (501,), b""),
    ("GET", "/api.html", (200,), None),
    ("GET", "/no-such-file.txt", (404,), b""),
    # nginx refuses this one itself, with a page of its own.
    ("GET", "/api/ident%00", (400,), None),
    ("GET", "/openapi.json", (200,), None),
]

NGINX_CONFIG = """daemon off;
master_process off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log warn;
events {{
    worker_connections 64;
}}
http {{
    access_log off;
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    upstream gateway {{
        server 127.0.0.1:{gateway};
        keepalive 4;
    }}
    server {{
        listen 127.0.0.1:{port};
        location / {{
            proxy_pass http://gateway;
            proxy_http_version 1.1;
            proxy_set_header Connection "";
        }}
    }}
}}
"""


def free_port():
    """A port that was free a moment ago: nginx cannot be told to pick one."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def run_mix(port):
    """Sends the mix ROUNDS times on one reused http.client connection;
    returns (answered as expected, problems, count of each status)."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=ANSWER_SECONDS)
    good = 0
    problems = []
    statuses = collections.Counter()
    for n in range(ROUNDS * len(MIX)):
        method, target, allowed, exact = MIX[n % len(MIX)]
        try:
            connection.request(method, target)
            response = connection.getresponse()
            body = response.read()
        except (http.client.HTTPException, OSError) as error:
            problems.append("%s %s: %r" % (method, target, error))
            connection.close()
            continue
        statuses[response.status] += 1
        wanted = exact.get(response.status) if isinstance(exact, dict) else exact
        if response.status not in allowed or (wanted is not None and body != wanted):
            problems.append("%s %s: %d %r" % (method, target, response.status, body[:80]))
            continue
        good += 1
    connection.close()
    return good, problems, statuses


class Nginx:
    """nginx in front of the gateway, in a folder of its own."""

    def __init__(self, gateway_port):
        self.work = tempfile.mkdtemp(prefix="pooled-nginx-")
        self.port = free_port()
        config = os.path.join(self.work, "nginx.conf")
        with open(config, "w") as out:
            out.write(NGINX_CONFIG.format(work=self.work, gateway=gateway_port, port=self.port))
        self.process = subprocess.Popen(
            [shutil.which("nginx") or "/usr/sbin/nginx", "-p", self.work, "-c", config,
             "-e", os.path.join(self.work, "error.log")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + NGINX_START_SECONDS
        while not self._listening():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("nginx did not start: " + self.errors())
            time.sleep(0.05)

    def _listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
            return True
        except OSError:
            return False

    def errors(self):
        try:
            with open(os.path.join(self.work, "error.log")) as log:
                return log.read()
        except OSError:
            return ""

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)
        shutil.rmtree(self.work, ignore_errors=True)


def run(context, report):
    total = ROUNDS * len(MIX)
    sim = Sim(context.bin_dir, faults=FAULTS)
    gateway = Gateway(context.bin_dir, sim.port)
    try:
        good, problems, statuses = run_mix(gateway.port)
        report.figure("pooled_clients.http_client", {"requests": total, "good": good,
                                                     "statuses": dict(statuses)})
        report.check("pooled_clients.http_client_loses_nothing",
                     good == total and statuses[500] > 0,
                     "%d of %d answered as expected, %d with the 2001 document; %s"
                     % (good, total, statuses[500], problems[:3]))
        if shutil.which("nginx") is None and not os.path.exists("/usr/sbin/nginx"):
            report.check("pooled_clients.nginx_installed", False, "scripts/install-deps")
            return
        nginx = Nginx(gateway.port)
        try:
            good, problems, statuses = run_mix(nginx.port)
            errors = nginx.errors()
        finally:
            nginx.stop()
        premature = errors.count(PREMATURE)
        report.figure("pooled_clients.nginx", {"requests": total, "good": good,
                                               "statuses": dict(statuses),
                                               "prematurely_closed": premature})
        report.check("pooled_clients.nginx_loses_nothing", good == total,
                     "%d of %d answered as expected; %s" % (good, total, problems[:3]))
        report.check("pooled_clients.nginx_finds_no_premature_close", premature == 0,
                     "%d in nginx's error log: %s" % (premature, errors[-300:]))
    finally:
        gateway.stop()
        sim.stop()
