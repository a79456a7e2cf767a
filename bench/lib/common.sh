# Shared by the bench/ scripts (sourced from the repository's root): what they
# install and build, a work folder and the processes started in it, free
# ports, a process's CPU time and peak memory from /proc, wrk runs read into
# figures, and the wait for a quiet machine.

BENCH_BUILD=build/linux-release
BENCH_BIN=$BENCH_BUILD/bin
# Servers run on the first CPU, load generators on the second, so that the
# two never take turns on one core.
BENCH_SERVER_CPU=${SERVER_CPU:-0}
BENCH_CLIENT_CPU=${CLIENT_CPU:-1}
BENCH_PIDS=()
BENCH_WORK=
# The simulators' one user, as the gateways are configured for it.
BENCH_USER=bench
BENCH_PASSWORD=bench

# Installs the Debian packages named that are missing (apt-get update first).
bench_install() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Builds the named targets of the release configuration with the benchmark
# programs switched on; the build's output is shown only when it fails.
bench_build() {
  scripts/install-deps
  bench_install libbenchmark-dev libcpp-httplib-dev pkgconf python3 util-linux
  local log=$BENCH_BUILD/bench-build.log
  mkdir -p "$BENCH_BUILD"
  if ! grep -q '^TESMO_BENCH:BOOL=ON' "$BENCH_BUILD/CMakeCache.txt" 2>/dev/null; then
    cmake --preset linux-release -DTESMO_BENCH=ON >"$log" 2>&1 || { cat "$log" >&2; return 1; }
  fi
  cmake --build --preset linux-release -j "$(nproc)" --target "$@" >"$log" 2>&1 ||
    { tail -40 "$log" >&2; return 1; }
}

bench_cleanup() {
  local p
  for p in "${BENCH_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "$BENCH_WORK" ] && rm -rf "$BENCH_WORK"
  return 0
}

# A fresh folder for the run's programs, files and logs; removed at exit,
# after every process started with bench_start has been stopped.
bench_workdir() {
  BENCH_WORK=$(mktemp -d /tmp/tesmo-bench.XXXXXX)
  trap bench_cleanup EXIT
  trap 'exit 130' INT TERM
}

# bench_start CPU LOG PROGRAM [ARG...]: starts a program pinned to CPU with
# its output appended to LOG (opened for appending, so that the log can be
# emptied while it runs); its id is left in BENCH_LAST_PID.
bench_start() {
  local cpu=$1 log=$2
  shift 2
  taskset -c "$cpu" "$@" >>"$log" 2>&1 &
  BENCH_LAST_PID=$!
  BENCH_PIDS+=("$BENCH_LAST_PID")
}

# The files of the HTTP scenarios, in FOLDER: page100k.html (an HTML page of
# 102,400 bytes) and file4m.bin (4 MiB of random bytes).
bench_make_files() {
  python3 -c '
import sys
size = 102400
page = "<!doctype html><html><head><title>bench</title></head><body>\n"
line = "<p>Velocidad 1H 2.79 mm/s, Aceleracion 0.41 g, Envolvente 1.02 gE, Temperatura 61.5 C</p>\n"
end = "</body></html>\n"
page += line * ((size - len(page) - len(end)) // len(line))
page += "x" * (size - len(page) - len(end)) + end
sys.stdout.write(page)' >"$1/page100k.html"
  head -c 4194304 /dev/urandom >"$1/file4m.bin"
}

bench_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# Waits until URL answers 200, for at most SECONDS (10).
bench_wait_http() {
  local i
  for i in $(seq $((${2:-10} * 10))); do
    curl -sf -o /dev/null "$1" && return 0
    sleep 0.1
  done
  echo "no answer from $1" >&2
  return 1
}

# bench_gateway CPU FOLDER SIM_PORT LOG [WRAPPER...]: a gateway run from
# FOLDER (a copy of the build's programs, made unless FOLDER exists), for the
# simulator at SIM_PORT, pinned to CPU, its request log appended to LOG and
# WRAPPER (such as valgrind) in front of it. Returns once it answers; leaves
# its port in BENCH_GATEWAY_PORT and its id in BENCH_LAST_PID.
# BENCH_API_KEYS: more members of the configuration's "api" ("metrics":true).
# BENCH_SERVER_KEYS, when set, is added to the "drovane_tesmo_server" object
# (such as ',"sessions":8').
bench_gateway() {
  local cpu=$1 folder=$2 sim=$3 log=$4 gateway
  shift 4
  [ -d "$folder" ] || cp -r "$BENCH_BIN" "$folder"
  BENCH_GATEWAY_PORT=$(bench_free_port)
  cat >"$folder/TesmoApi.json" <<JSON
{"api":{"listen_port":$BENCH_GATEWAY_PORT${BENCH_API_KEYS:+,$BENCH_API_KEYS}},
 "drovane_tesmo_server":{"host":"127.0.0.1","port":$sim,"user":"$BENCH_USER","password":"$BENCH_PASSWORD"${BENCH_SERVER_KEYS:-}}}
JSON
  bench_start "$cpu" "$log" "$@" "$folder/TesmoApi"
  gateway=$BENCH_LAST_PID
  bench_wait_http "http://127.0.0.1:$BENCH_GATEWAY_PORT/api/ident" 60
  BENCH_LAST_PID=$gateway
}

# bench_sim CPU PLANT LOG [OPTION...]: a simulator of PLANT pinned to CPU,
# with the tesmo-sim options given; leaves its port in BENCH_SIM_PORT.
bench_sim() {
  local cpu=$1 plant=$2 log=$3
  shift 3
  BENCH_SIM_PORT=$(bench_free_port)
  bench_start "$cpu" "$log" "$BENCH_BIN/tesmo-sim" --port "$BENCH_SIM_PORT" --plant "$plant" \
    --user "$BENCH_USER" --password "$BENCH_PASSWORD" "$@"
}

# A process and its children (nginx's master and workers).
bench_tree() {
  echo "$1"
  pgrep -P "$1" || true
}

# CPU time, user and system, in clock ticks of the processes named, threads
# (also ended ones) included.
bench_ticks() {
  local total=0 p t
  for p in "$@"; do
    t=$(sed 's/.*) //' "/proc/$p/stat" | awk '{print $12 + $13}')
    total=$((total + t))
  done
  echo "$total"
}

# bench_memory_kib FIELD PID...: a memory figure of /proc/<pid>/status, such
# as VmHWM (peak resident memory) or VmRSS (resident now), added up over the
# processes named, in KiB.
bench_memory_kib() {
  local field=$1 total=0 p k
  shift
  for p in "$@"; do
    k=$(awk -v f="$field:" '$1 == f {print $2}' "/proc/$p/status")
    total=$((total + k))
  done
  echo "$total"
}

# bench_wait_accepted PORT: waits, for at most 30 s, until the server
# listening on PORT has taken every connection out of its accept queue (the
# Recv-Q that ss shows for a listening socket), so that what is measured
# next runs beside connections that are open, not beside a server still
# taking them in. Leaves the milliseconds waited in BENCH_TAKEN_MS.
bench_wait_accepted() {
  local start queued
  start=$(date +%s%N)
  for _ in $(seq 3000); do
    queued=$(ss -Hltn "sport = :$1" | awk '{print $2; exit}')
    [ "${queued:-0}" -eq 0 ] && break
    sleep 0.01
  done
  BENCH_TAKEN_MS=$((($(date +%s%N) - start) / 1000000))
}

# wrk's latency texts (850.00us, 1.20ms, 2.00s, 1.00m) in milliseconds.
bench_to_ms() {
  sed -E 's/([0-9.]+)us$/\1 0.001/; s/([0-9.]+)ms$/\1 1/; s/([0-9.]+)s$/\1 1000/; s/([0-9.]+)m$/\1 60000/' |
    awk '{printf "%.3f", $1 * $2}'
}

# bench_wrk CONNECTIONS DURATION URL: one wrk run on one thread pinned to the
# client CPU, keep-alive; an answer slower than WRK_TIMEOUT (wrk's 2s) counts
# as a time-out; WRK_SCRIPT, when set, is wrk's Lua script; WRK_HEADER, when
# set, is sent as a header line with every request. Leaves W_RPS, W_P50 and
# W_P99 (ms), W_REQUESTS, W_ERRORS
# (connect, read and write errors), W_TIMEOUTS and W_NON2XX.
bench_wrk() {
  local report
  report=$(taskset -c "$BENCH_CLIENT_CPU" wrk -t1 -c"$1" -d"$2" --timeout "${WRK_TIMEOUT:-2s}" \
    ${WRK_SCRIPT:+-s "$WRK_SCRIPT"} ${WRK_HEADER:+-H "$WRK_HEADER"} --latency "$3" 2>&1)
  W_RPS=$(awk '/^Requests\/sec/ {print $2}' <<<"$report")
  W_P50=$(awk '$1 == "50%" {print $2}' <<<"$report" | bench_to_ms)
  W_P99=$(awk '$1 == "99%" {print $2}' <<<"$report" | bench_to_ms)
  W_REQUESTS=$(awk '/requests in/ {print $1}' <<<"$report")
  W_ERRORS=$(sed -n 's/.*Socket errors: connect \([0-9]*\), read \([0-9]*\), write \([0-9]*\).*/\1 \2 \3/p' <<<"$report" |
    awk '{print $1 + $2 + $3}')
  W_TIMEOUTS=$(sed -n 's/.*timeout \([0-9]*\).*/\1/p' <<<"$report")
  W_NON2XX=$(awk '/Non-2xx/ {print $NF}' <<<"$report")
  W_ERRORS=${W_ERRORS:-0} W_TIMEOUTS=${W_TIMEOUTS:-0} W_NON2XX=${W_NON2XX:-0}
  if [ -z "$W_RPS" ] || [ -z "$W_REQUESTS" ]; then
    echo "wrk gave no figures for $3:" >&2
    echo "$report" >&2
    return 1
  fi
}

# Microseconds of CPU per request from a tick difference and a request count.
bench_us_per_request() {
  awk -v t="$1" -v n="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.1f", (n > 0 ? t / hz * 1e6 / n : 0)}'
}

# Waits until the machine is quiet: the one-minute load average below
# QUIET_LOAD (0.5), checked every 15 s for at most QUIET_WAIT seconds
# (1200; 0 does not wait). Leaves a sentence for the results in BENCH_QUIET.
bench_wait_quiet() {
  local limit=${QUIET_LOAD:-0.5} patience=${QUIET_WAIT:-1200} start=$SECONDS load
  while :; do
    read -r load _ </proc/loadavg
    if awk -v l="$load" -v m="$limit" 'BEGIN {exit !(l < m)}'; then
      BENCH_QUIET="quiet machine: 1-minute load average $load when the run began"
      return 0
    fi
    if ((SECONDS - start >= patience)); then
      BENCH_QUIET="machine not quiet: 1-minute load average $load after waiting $((SECONDS - start)) s; measured anyway"
      echo "== $BENCH_QUIET" >&2
      return 0
    fi
    echo "== waiting for a quiet machine (load $load)" >&2
    sleep 15
  done
}

# One line on the machine and the programs measured.
bench_machine() {
  local cpu
  cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
  echo "$cpu, $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
    "Linux $(uname -r), $(. /etc/os-release && echo "$PRETTY_NAME"), $(g++ --version | head -1)"
}
