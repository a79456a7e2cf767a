"""Checks and figures of a run. Each check has a name, "scenario.rule"; the
names listed in KNOWN_FAILURES are findings that are expected to fail until
they are mended: they are reported (XFAIL, or XPASS with a reminder to take
the name off the list once it passes) but do not fail the run, unless the
run is strict, where every check counts alike. Some findings show only now
and then (a crash at a stop depends on timing), so a pass alone does not
prove a finding mended."""

import json
import os

KNOWN_FAILURES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                              "KNOWN_FAILURES")


def load_known_failures(path=KNOWN_FAILURES):
    names = set()
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                names.add(line)
    return names


class Report:
    def __init__(self, strict=False, known=None):
        self.strict = strict
        self.known = load_known_failures() if known is None else known
        self.results = []  # (name, verdict, detail)
        self.figures = {}

    def check(self, name, passed, detail=""):
        expected_failure = name in self.known and not self.strict
        if passed:
            verdict = "XPASS" if expected_failure else "PASS"
        else:
            verdict = "XFAIL" if expected_failure else "FAIL"
        self.results.append((name, verdict, detail))
        print("%-5s %s%s" % (verdict, name, (": " + detail) if detail else ""), flush=True)
        return passed

    def figure(self, name, value):
        self.figures[name] = value
        print("      %s = %s" % (name, json.dumps(value)), flush=True)

    def failed(self):
        return [r for r in self.results if r[1] == "FAIL"]

    def summary(self):
        counts = {}
        for _, verdict, _ in self.results:
            counts[verdict] = counts.get(verdict, 0) + 1
        return counts

    def write(self, path):
        with open(path, "w") as f:
            json.dump({"checks": [{"name": n, "verdict": v, "detail": d}
                                  for n, v, d in self.results],
                       "figures": self.figures}, f, indent=1)
