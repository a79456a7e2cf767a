"""The programs under test: tesmo-sim and TesmoApi, each started from a copy of
a build folder, and what /proc tells about a running process."""

import json
import os
import resource
import shutil
import signal
import socket
import subprocess
import tempfile
import time

# What a program folder needs beside the program.
PROGRAM_FILES = ("TesmoApi", "libPortavex.so", "libTesmo.Client.so", "api.html", "openapi.json")

SIM_USER = "systest"
SIM_PASSWORD = "systest"
# The simulator's clock, fixed so that trends and stored analyses are known:
# 2024-03-01T12:00:00Z.
SIM_NOW = 1709294400
START_SECONDS = 30.0


class Sim:
    """tesmo-sim on a port of its own choosing."""

    def __init__(self, bin_dir, faults=(), plant="demo", extra=()):
        command = [os.path.join(bin_dir, "tesmo-sim"), "--port", "0", "--plant", plant,
                   "--user", SIM_USER, "--password", SIM_PASSWORD, "--now", str(SIM_NOW)]
        for fault in faults:
            command += ["--fault", fault]
        command += list(extra)
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        line = self.process.stdout.readline().decode()
        # "tesmo-sim listening on 127.0.0.1:PORT (...)"
        if " on " not in line:
            self.stop()
            raise RuntimeError("tesmo-sim did not start: " + line)
        self.port = int(line.split(" on ", 1)[1].split()[0].rsplit(":", 1)[1])

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()


def free_port():
    """A TCP port that was free a moment ago: bound to port 0 and read back.
    The gateway refuses a listen port of 0."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("", 0))
        return probe.getsockname()[1]


def listening_port(pid):
    """The TCP port the process listens on (IPv4), or 0."""
    inodes = set()
    try:
        for fd in os.listdir("/proc/%d/fd" % pid):
            try:
                target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
            except OSError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
        with open("/proc/%d/net/tcp" % pid) as table:
            next(table)
            for row in table:
                fields = row.split()
                if fields[3] == "0A" and fields[9] in inodes:
                    return int(fields[1].split(":")[1], 16)
    except OSError:
        pass
    return 0


class Gateway:
    """TesmoApi from a copy of the build folder, configured for a simulator.
    wrapper: a command that runs the program (valgrind); nofile: its
    descriptor limit; api_keys and server_keys: more keys of the
    configuration's "api" and "drovane_tesmo_server"."""

    def __init__(self, bin_dir, sim_port, idle_timeout=None, server_timeout=None,
                 wrapper=(), nofile=None, log_requests=False, start_seconds=START_SECONDS,
                 api_keys=None, server_keys=None):
        self.folder = tempfile.mkdtemp(prefix="tesmo-systest.")
        for name in PROGRAM_FILES:
            shutil.copy2(os.path.join(bin_dir, name), self.folder)
        api = {"listen_port": free_port()}
        api.update(api_keys or {})
        if idle_timeout is not None:
            api["idle_timeout"] = idle_timeout
        server = {"host": "127.0.0.1", "port": sim_port, "user": SIM_USER,
                  "password": SIM_PASSWORD}
        if server_timeout is not None:
            server["timeout"] = server_timeout
        server.update(server_keys or {})
        self.write("TesmoApi.json", _json({"api": api, "drovane_tesmo_server": server}))
        self.stderr_path = os.path.join(self.folder, "stderr.txt")
        self.stdout_path = os.path.join(self.folder, "requests.log")
        out = open(self.stdout_path if log_requests else os.devnull, "wb")
        err = open(self.stderr_path, "wb")

        def limit():
            if nofile is not None:
                resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))

        self.process = subprocess.Popen(list(wrapper) + [os.path.join(self.folder, "TesmoApi")],
                                        stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                        cwd="/", preexec_fn=limit)
        out.close()
        err.close()
        self.pid = self.process.pid
        self.port = 0
        deadline = time.monotonic() + start_seconds
        while self.port == 0:
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("TesmoApi did not start: " + self.errors())
            time.sleep(0.05)
            self.port = self._program_port()

    def _program_port(self):
        # Under a wrapper the program is the wrapper's process itself
        # (valgrind runs it in place), so the pid is the same.
        return listening_port(self.pid)

    def write(self, name, text):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode())

    def path(self, name):
        return os.path.join(self.folder, name)

    def errors(self):
        try:
            with open(self.stderr_path, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def alive(self):
        return self.process.poll() is None

    def stats(self):
        return process_stats(self.pid)

    def terminate(self, seconds=20):
        """SIGTERM; the exit status, or None when it did not end in time."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.terminate() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def _json(value):
    return json.dumps(value, separators=(",", ":"))


def process_stats(pid):
    """Resident memory (KiB), threads, open descriptors and CPU seconds."""
    stats = {}
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            key, _, value = line.partition(":")
            if key == "VmRSS":
                stats["rss_kib"] = int(value.split()[0])
            elif key == "Threads":
                stats["threads"] = int(value)
    stats["fds"] = len(os.listdir("/proc/%d/fd" % pid))
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    stats["cpu_s"] = (int(fields[11]) + int(fields[12])) / ticks
    return stats


def settle(gateway, idle, seconds=10.0):
    """Waits until the gateway's threads and descriptors are back to the idle
    counts, or the time runs out; returns the last stats."""
    deadline = time.monotonic() + seconds
    while True:
        now = gateway.stats()
        if (now["threads"] <= idle["threads"] and now["fds"] <= idle["fds"]) or \
                time.monotonic() > deadline:
            return now
        time.sleep(0.2)


def raise_descriptor_limit(wanted):
    """Raises this process's soft descriptor limit towards wanted; returns it."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    target = wanted if hard == resource.RLIM_INFINITY else min(wanted, hard)
    if soft < target:
        resource.setrlimit(resource.RLIMIT_NOFILE, (target, hard))
    return resource.getrlimit(resource.RLIMIT_NOFILE)[0]
