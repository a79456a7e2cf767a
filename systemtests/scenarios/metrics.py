"""Metrics: /metrics of the gateway with the plant, checked by the real tools.
promtool finds a real scrape clean and the alert rules that the README quotes
valid; a real Prometheus scraping the gateway every second holds one
tesmo_machine_status series per machine with the status /api/machines shows,
sees the request counter grow by the requests made, and evaluates the trip
rule on the machines in trip. The gateway keeps sessions, so the plant's
scrapes share them with the data requests, and the sessions gauges show the
kept session. A Tesmo server that stops answering shows as tesmo_up 0 in an
answer that is still whole and clean.

Skipped, saying so, only when prometheus or promtool is not installed
(scripts/install-deps installs them)."""

import json
import os
import re
import shutil
import subprocess
import tempfile
import time
import urllib.parse
import urllib.request

from processes import Gateway, Sim, listening_port

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RULES = os.path.join(HERE, "..", "packaging", "tesmoapi-alerts.yml")
README = os.path.join(HERE, "..", "README.md")
CONTENT_TYPE = "text/plain; version=0.0.4; charset=utf-8"
STATUS_CODES = {"undefined": -1, "normal": 0, "alarm": 1, "trip": 2}
IDENT_REQUESTS = 25
# The sessions the gateway keeps to the simulator.
SESSIONS = 2
# Bounds of the waits on Prometheus: its start, and a few scrapes.
START_SECONDS = 60
SCRAPE_WAIT_SECONDS = 20
PROMETHEUS_CONFIG = """global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - %s
scrape_configs:
  - job_name: tesmoapi
    static_configs:
      - targets: ["127.0.0.1:%d"]
"""


def _get(port, path, timeout=30):
    """(status, content type, body text) of GET path."""
    with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), timeout=timeout) as r:
        return r.status, r.headers.get("Content-Type"), r.read().decode()


def _promtool_metrics(text):
    """promtool's verdict on an exposition: (clean, what it said)."""
    done = subprocess.run(["promtool", "check", "metrics"], input=text.encode(),
                          capture_output=True, timeout=60)
    said = (done.stdout + done.stderr).decode(errors="replace").strip()
    return done.returncode == 0 and said == "", said


def _readme_rules():
    """The rules as the README quotes them: its YAML block that starts with
    "groups:"."""
    with open(README) as f:
        text = f.read()
    start = text.find("```yaml\ngroups:")
    if start < 0:
        return ""
    start = text.index("\n", start) + 1
    return text[start:text.index("```", start)]


class Prometheus:
    """prometheus scraping one gateway, with a storage and a port of its own."""

    def __init__(self, gateway_port):
        self.folder = tempfile.mkdtemp(prefix="tesmo-prometheus.")
        config = os.path.join(self.folder, "prometheus.yml")
        with open(config, "w") as f:
            f.write(PROMETHEUS_CONFIG % (os.path.abspath(RULES), gateway_port))
        self.log = open(os.path.join(self.folder, "log.txt"), "wb")
        self.process = subprocess.Popen(
            ["prometheus", "--config.file=" + config,
             "--storage.tsdb.path=" + os.path.join(self.folder, "data"),
             "--web.listen-address=127.0.0.1:0"],
            stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.port = 0
        deadline = time.monotonic() + START_SECONDS
        while self.port == 0 or not self._ready():
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("prometheus did not start: " + self.errors())
            time.sleep(0.2)
            self.port = self.port or listening_port(self.process.pid)

    def _ready(self):
        try:
            return _get(self.port, "/-/ready", timeout=2)[0] == 200
        except OSError:
            return False

    def api(self, path, **query):
        body = _get(self.port, "/api/v1/%s?%s" % (path, urllib.parse.urlencode(query)))[2]
        return json.loads(body)["data"]

    def query(self, expression):
        """{frozen labels: value} of an instant query."""
        result = self.api("query", query=expression)["result"]
        return {frozenset(r["metric"].items()): float(r["value"][1]) for r in result}

    def wait_for(self, expression, accept):
        """The query's answer once accept(answer) holds, or the last one."""
        deadline = time.monotonic() + SCRAPE_WAIT_SECONDS
        while True:
            answer = self.query(expression)
            if accept(answer) or time.monotonic() > deadline:
                return answer
            time.sleep(0.5)

    def errors(self):
        with open(os.path.join(self.folder, "log.txt"), errors="replace") as f:
            return f.read()[-2000:]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def _machine_statuses(port):
    """{(group id, machine id): status code} of /api/machines, the first
    machine with an id of a group counting."""
    statuses = {}
    for machine in json.loads(_get(port, "/api/machines")[2]):
        statuses.setdefault((machine["group_id"], machine["id"]),
                            STATUS_CODES[machine["status"]])
    return statuses


def _check_tools(gateway, report):
    status, content_type, text = _get(gateway.port, "/metrics")
    clean, said = _promtool_metrics(text)
    report.check("metrics.promtool_clean", status == 200 and content_type == CONTENT_TYPE
                 and clean, "%d %s; promtool: %s" % (status, content_type, said[:500]))
    rules = subprocess.run(["promtool", "check", "rules", RULES], capture_output=True,
                           timeout=60)
    with open(RULES) as f:
        quoted = _readme_rules() == f.read()
    report.check("metrics.alert_rules_valid", rules.returncode == 0 and quoted,
                 "quoted whole in the README: %s; %s" % (quoted, rules.stdout.decode()[-300:]))


def _check_prometheus(gateway, report):
    prometheus = Prometheus(gateway.port)
    try:
        expected = _machine_statuses(gateway.port)
        seen = prometheus.wait_for("tesmo_machine_status", lambda a: len(a) >= len(expected))
        series = {(dict(k)["group"], dict(k)["machine"]): v for k, v in seen.items()}
        report.check("metrics.machine_series_match_the_api",
                     len(seen) == len(expected) and series == expected,
                     "%d series for %d machines; differing: %s" % (
                         len(seen), len(expected),
                         sorted(set(series.items()) ^ set(expected.items()))[:5]))

        counter = 'tesmoapi_requests_total{resource="ident",result="ok"}'
        before = sum(prometheus.wait_for(counter, bool).values())
        for _ in range(IDENT_REQUESTS):
            _get(gateway.port, "/api/ident")
        after = sum(prometheus.wait_for(
            counter, lambda a: sum(a.values()) >= before + IDENT_REQUESTS).values())
        report.check("metrics.request_counter_grows_by_the_requests",
                     after - before == IDENT_REQUESTS,
                     "%g before, %g after %d requests" % (before, after, IDENT_REQUESTS))

        tripped = {k for k, v in expected.items() if v == STATUS_CODES["trip"]}

        def alerted(_):
            alerts = prometheus.api("alerts")["alerts"]
            return {(a["labels"]["group"], a["labels"]["machine"]) for a in alerts
                    if a["labels"]["alertname"] == "TesmoMachineTrip"}
        deadline = time.monotonic() + SCRAPE_WAIT_SECONDS
        while alerted(None) != tripped and time.monotonic() < deadline:
            time.sleep(0.5)
        report.check("metrics.trip_rule_names_the_machines_in_trip",
                     len(tripped) > 0 and alerted(None) == tripped,
                     "in trip: %s; alerted: %s" % (sorted(tripped), sorted(alerted(None))))
    finally:
        prometheus.stop()


def _check_sessions(gateway, report):
    """After a data request the pool keeps its session idle, and the gauges
    show it within the configured size."""
    _get(gateway.port, "/api/groups")
    text = _get(gateway.port, "/metrics")[2]
    gauges = dict(re.findall(r'^tesmoapi_sessions\{state="(\w+)"\} (\d+)$', text, re.M))
    in_use, idle = int(gauges.get("in_use", -1)), int(gauges.get("idle", -1))
    report.check("metrics.sessions_gauges_show_the_pool",
                 in_use >= 0 and idle >= 1 and in_use + idle <= SESSIONS,
                 "in use %d, idle %d of %d" % (in_use, idle, SESSIONS))


def _check_server_down(gateway, sim, report):
    sim.stop()
    status, _, text = _get(gateway.port, "/metrics")
    clean, said = _promtool_metrics(text)
    report.check("metrics.server_down_is_tesmo_up_0",
                 status == 200 and "\ntesmo_up 0\n" in text and clean
                 and "tesmoapi_requests_total" in text, "%d; promtool: %s" % (status, said))


def run(context, report):
    missing = [tool for tool in ("prometheus", "promtool") if shutil.which(tool) is None]
    if missing:
        print("SKIP  metrics: %s not installed (scripts/install-deps installs the Debian "
              "package prometheus)" % " and ".join(missing), flush=True)
        return
    sim = Sim(context.bin_dir)
    gateway = Gateway(context.bin_dir, sim.port, server_timeout=2,
                      api_keys={"metrics": True, "metrics_plant": True},
                      server_keys={"sessions": SESSIONS})
    try:
        _check_tools(gateway, report)
        _check_prometheus(gateway, report)
        _check_sessions(gateway, report)
        _check_server_down(gateway, sim, report)
        report.check("metrics.alive", gateway.alive(), gateway.errors()[-200:])
    finally:
        gateway.stop()
        sim.stop()
