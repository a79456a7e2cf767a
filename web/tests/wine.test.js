// The same page served by the Windows build, as a service under Wine: a
// fresh Wine prefix registers no content type for .html or .json, so the
// page and the answers go out as application/unknown, and the explorer must
// still work (it carries its scripts inside itself; no .js file is served).
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { BinFolder, StartSimulator, CopyGatewayFolder, WriteConfiguration, FreePort, Answering, Sleep, Get } = require('./harness');
const { Launch, OpenPage, ColouredPixels } = require('./browser');

const kWindowsBin = process.env.TESMO_WINDOWS_BIN ? path.resolve(process.env.TESMO_WINDOWS_BIN) : '';
const kServiceName = 'TesmoApiWebTest';
const kStartMs = 30000;
const kWaitMs = 15000;
const kDrawnPixels = 200;

function Skip() {
  if (!kWindowsBin) return 'TESMO_WINDOWS_BIN names no Windows build';
  if (!process.env.WINEPREFIX) return 'no Wine prefix: source scripts/wine-env first';
  if (!fs.existsSync(path.join(kWindowsBin, 'TesmoApi.exe')) || !fs.existsSync(path.join(kWindowsBin, 'api.html'))) return 'the Windows build has no TesmoApi.exe and api.html';
  return false;
}

function Wine(...args) {
  return execFileSync('wine', args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }).replace(/\r/g, '');
}

async function WaitFor(what, check, timeout) {
  const deadline = Date.now() + timeout;
  while (Date.now() < deadline) {
    if (await check()) return;
    await Sleep(200);
  }
  assert.fail('timed out waiting for ' + what);
}

test('the explorer works when the Windows build under Wine serves it', { skip: Skip() }, async (t) => {
  for (const name of ['api.html', 'openapi.json']) {
    const native = fs.readFileSync(path.join(BinFolder(), name));
    assert.ok(native.equals(fs.readFileSync(path.join(kWindowsBin, name))), `${name} is the same page on both platforms`);
  }
  const simulator = await StartSimulator(BinFolder(), { plant: 'demo', now: Math.floor(Date.now() / 1000) });
  t.after(() => simulator.stop());
  const folder = CopyGatewayFolder(kWindowsBin);
  t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
  const port = await FreePort();
  WriteConfiguration(folder, port, simulator.port);
  const program = Wine('winepath', '-w', path.join(folder, 'TesmoApi.exe')).trim();
  Wine('sc.exe', 'create', kServiceName, 'binpath=', program);
  t.after(() => {
    try {
      Wine('sc.exe', 'stop', kServiceName);
    } catch {
      // Not running: nothing to stop.
    }
    Wine('sc.exe', 'delete', kServiceName);
  });
  Wine('sc.exe', 'start', kServiceName);
  const base = `http://127.0.0.1:${port}/`;
  await WaitFor('the service to answer', () => Answering(base + 'api/ident'), kStartMs);

  const served = await fetch(base);
  t.diagnostic(`api.html served as ${served.headers.get('content-type')}`);
  const machines = (await Get(base, 'api/machines')).body;
  const browser = await Launch();
  t.after(() => browser.close());
  const { page, watch } = await OpenPage(browser, 'laptop');
  await page.goto(base);
  await WaitFor('the machines', async () => (await page.locator('.tile').count()) === machines.length, kWaitMs);
  await watch.Screenshot('wine-overview');
  await page.goto(base + '#/trend?m=P-101&v=70&span=day');
  await page.locator('#trend-plot canvas').first().waitFor({ timeout: kWaitMs });
  await WaitFor('a drawn trend', async () => (await ColouredPixels(page, '#trend-plot', '#0072b2')) > kDrawnPixels, kWaitMs);
  await page.goto(base + '#/reference');
  await WaitFor('the reference from openapi.json', async () => (await page.locator('section.resource').count()) === 9, kWaitMs);
  assert.deepEqual(watch.errors, []);
});
