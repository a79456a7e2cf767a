// Starts the simulated Tesmo server and a TesmoApi gateway in front of it on
// loopback ports the system picks, for the web tests. The gateway runs from a
// folder of its own (it reads TesmoApi.json beside itself) holding copies of
// the built program, its libraries, the page and the OpenAPI document.
'use strict';

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');

const kRepository = path.resolve(__dirname, '..', '..');
const kBuildFolders = ['linux-asan', 'linux-release', 'linux-debug'];
const kStartTimeoutMs = 15000;
const kPollMs = 50;
// Exit status of TesmoApi when its HTTP port is taken (another program took
// the free port between our probe and its start): try another port.
const kExitServerNotStarted = 3;
const kPortAttempts = 5;

// Folder of the built programs: TESMO_BIN, else the first build that has them.
function BinFolder() {
  if (process.env.TESMO_BIN) return path.resolve(process.env.TESMO_BIN);
  for (const preset of kBuildFolders) {
    const bin = path.join(kRepository, 'build', preset, 'bin');
    if (fs.existsSync(path.join(bin, 'TesmoApi')) && fs.existsSync(path.join(bin, 'api.html'))) return bin;
  }
  throw new Error('no built TesmoApi: build a preset first or set TESMO_BIN');
}

function Sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// A port that was free a moment ago.
function FreePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

function Exited(child) {
  return child.exitCode !== null || child.signalCode !== null;
}

function WaitForExit(child) {
  if (Exited(child)) return Promise.resolve();
  return new Promise((resolve) => child.once('exit', () => resolve()));
}

async function Stop(child) {
  if (!child || Exited(child)) return;
  child.kill('SIGTERM');
  await WaitForExit(child);
}

// tesmo-sim with --port 0 prints the port it listens on.
function StartSimulator(bin, { plant = 'demo', now, port = 0, extra = [] } = {}) {
  const args = ['--port', String(port), '--bind', '127.0.0.1', '--plant', plant, '--now', String(now), ...extra];
  const child = spawn(path.join(bin, 'tesmo-sim'), args, { stdio: ['ignore', 'pipe', 'pipe'] });
  return new Promise((resolve, reject) => {
    let printed = '';
    const timer = setTimeout(() => fail(new Error('tesmo-sim did not start: ' + printed)), kStartTimeoutMs);
    function fail(error) {
      clearTimeout(timer);
      child.kill('SIGKILL');
      reject(error);
    }
    child.stderr.on('data', (chunk) => (printed += chunk));
    child.stdout.on('data', (chunk) => {
      printed += chunk;
      const found = /listening on [0-9.]+:(\d+)/.exec(printed);
      if (!found) return;
      clearTimeout(timer);
      child.stdout.removeAllListeners('data');
      child.stdout.resume();
      resolve({ child, port: Number(found[1]), stop: () => Stop(child) });
    });
    child.once('exit', (code) => fail(new Error(`tesmo-sim exited with ${code}: ${printed}`)));
  });
}

// A folder of its own with the program, its libraries and the page's files
// from `bins` (the first folder that has a file wins).
function CopyGatewayFolder(...bins) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tesmo-web-'));
  for (const bin of bins) {
    for (const name of fs.readdirSync(bin)) {
      const shared = /\.so(\.|$)/.test(name) || /\.dll$/i.test(name);
      const wanted = shared || ['TesmoApi', 'TesmoApi.exe', 'api.html', 'openapi.json'].includes(name);
      if (!wanted || fs.existsSync(path.join(folder, name))) continue;
      fs.copyFileSync(path.join(bin, name), path.join(folder, name));
      fs.chmodSync(path.join(folder, name), fs.statSync(path.join(bin, name)).mode);
    }
  }
  return folder;
}

// The configuration of a gateway on `port` in front of the simulator.
function WriteConfiguration(folder, port, simulatorPort) {
  const configuration = {
    api: { listen_port: port, idle_timeout: 60 },
    drovane_tesmo_server: { host: '127.0.0.1', port: simulatorPort, user: 'demo', password: 'demo', timeout: 5 },
  };
  fs.writeFileSync(path.join(folder, 'TesmoApi.json'), JSON.stringify(configuration));
}

// Whether anything answers at `url`.
async function Answering(url) {
  try {
    await fetch(url);
    return true;
  } catch {
    return false;
  }
}

async function StartGatewayOnce(folder, simulatorPort) {
  const port = await FreePort();
  WriteConfiguration(folder, port, simulatorPort);
  const child = spawn(path.join(folder, 'TesmoApi'), [], { stdio: ['ignore', 'ignore', 'pipe'] });
  let printed = '';
  child.stderr.on('data', (chunk) => (printed += chunk));
  const base = `http://127.0.0.1:${port}/`;
  const deadline = Date.now() + kStartTimeoutMs;
  while (Date.now() < deadline) {
    if (Exited(child)) return { exitCode: child.exitCode, printed };
    if (await Answering(base + 'api/ident')) return { child, port, base };
    await Sleep(kPollMs);
  }
  await Stop(child);
  throw new Error('TesmoApi did not answer: ' + printed);
}

async function StartGateway(bin, simulatorPort) {
  const folder = CopyGatewayFolder(bin);
  for (let attempt = 0; attempt < kPortAttempts; ++attempt) {
    const started = await StartGatewayOnce(folder, simulatorPort);
    if (started.child) {
      return {
        ...started,
        folder,
        stop: async () => {
          await Stop(started.child);
          fs.rmSync(folder, { recursive: true, force: true });
        },
      };
    }
    if (started.exitCode !== kExitServerNotStarted) {
      throw new Error(`TesmoApi exited with ${started.exitCode}: ${started.printed}`);
    }
  }
  throw new Error('TesmoApi found no free port');
}

// A simulated plant with its gateway; the simulator's clock is fixed at
// `now` (seconds), so values, trends and analyses answer the same every time.
async function StartPlant(options = {}) {
  const bin = BinFolder();
  const now = options.now ?? Math.floor(Date.now() / 1000);
  const simulator = await StartSimulator(bin, { ...options, now });
  let gateway;
  try {
    gateway = await StartGateway(bin, simulator.port);
  } catch (error) {
    await simulator.stop();
    throw error;
  }
  const plant = {
    bin,
    now,
    simulator,
    gateway,
    base: gateway.base,
    // Stops the simulator and starts it again on the same port.
    async RestartSimulator() {
      await plant.simulator.stop();
      plant.simulator = await StartSimulator(bin, { ...options, now, port: simulator.port });
    },
    async stop() {
      await gateway.stop();
      await plant.simulator.stop();
    },
  };
  return plant;
}

// GET of a path below the gateway through Node's fetch, which keeps its
// connections and reuses them: status, status text, content type, text and
// the parsed body.
async function Get(base, relative) {
  const response = await fetch(base + relative);
  const text = await response.text();
  try {
    return { status: response.status, statusText: response.statusText, type: response.headers.get('content-type'), text, body: JSON.parse(text) };
  } catch (error) {
    throw new Error(`${relative}: ${error.message}: ${text.slice(0, 200)}`);
  }
}

// The query of a request, each value percent-encoded.
function Query(resource, parameters = {}) {
  const pairs = Object.entries(parameters).map(([name, value]) => `${name}=${encodeURIComponent(value)}`);
  return 'api/' + resource + (pairs.length ? '?' + pairs.join('&') : '');
}

function TimeText(seconds) {
  return new Date(seconds * 1000).toISOString().replace(/\.\d{3}Z$/, 'Z');
}

module.exports = {
  BinFolder, StartPlant, StartSimulator, CopyGatewayFolder, WriteConfiguration, FreePort, Answering, Sleep, Get, Query, TimeText, kRepository,
};
