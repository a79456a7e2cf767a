# Sourced from the repository's root by scripts/demo and bench/run: the
# release build, and TesmoApi in front of the simulated Tesmo server with the
# demo plant, both on loopback.
#   gateway_build                 installs the build packages that are missing and
#                                 builds the release targets
#   gateway_start BIN API SIM LOG writes BIN/TesmoApi.json, starts tesmo-sim on port SIM
#                                 and TesmoApi on port API (request log to LOG), and
#                                 waits until the gateway answers
#   gateway_stop                  stops both
# The caller sets its traps to call gateway_stop.

gateway_release=build/linux-release
gateway_build_minutes=3
gateway_pids=()

# The first configure leaves the tests out, so that neither GoogleTest nor
# nlohmann-json is needed; a build folder configured before keeps its choice
# ("cmake --preset linux-release -DBUILD_TESTING=ON" turns the tests on).
# The build shows its progress on a terminal; elsewhere it goes to a log that
# is shown when the build fails.
gateway_build() {
  scripts/install-deps build
  if [ ! -f "$gateway_release/CMakeCache.txt" ]; then
    echo "== Configuring the release build in $gateway_release (without the tests)"
    cmake --preset linux-release -DBUILD_TESTING=OFF >/dev/null
  fi
  echo "== Building TesmoApi, tesmo-sim and the page (the first build takes about $gateway_build_minutes minutes on two cores)"
  local build=(cmake --build --preset linux-release -j "$(nproc)" --target TesmoApi tesmo-sim web)
  if [ -t 1 ]; then
    "${build[@]}"
    return
  fi
  local log=$gateway_release/build.log
  "${build[@]}" >"$log" 2>&1 || { tail -n 40 "$log" >&2; return 1; }
}

gateway_start() {
  local bin=$1 api_port=$2 sim_port=$3 log=$4
  cat > "$bin/TesmoApi.json" <<JSON
{
  "api": { "listen_port": $api_port, "idle_timeout": 60 },
  "drovane_tesmo_server": {
    "host": "127.0.0.1", "port": $sim_port,
    "user": "demo", "password": "demo", "timeout": 10
  }
}
JSON
  "$bin/tesmo-sim" --port "$sim_port" --bind 127.0.0.1 --plant demo --user demo --password demo &
  gateway_pids+=($!)
  "$bin/TesmoApi" > "$log" &
  gateway_pids+=($!)
  for _ in $(seq 100); do
    curl -sf "http://127.0.0.1:$api_port/api/ident" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "TesmoApi does not answer on port $api_port (log: $log)" >&2
  return 1
}

gateway_stop() {
  for p in "${gateway_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  gateway_pids=()
}
