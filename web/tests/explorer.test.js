// The explorer in headless Chromium against the simulator and the gateway:
// what a person sees on a laptop and on a phone-sized window.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const { StartPlant, Get, Query } = require('./harness');
const { Launch, OpenPage, ColouredPixels } = require('./browser');

// The first two series colours of the page (Okabe and Ito blue, vermilion).
const kFirstColour = '#0072b2';
const kSecondColour = '#d55e00';
const kDrawnPixels = 200;
const kWaitMs = 15000;
const kBrowserFailure = /^Failed to load resource/;

// The text the page shows for a value of the API.
function ValueText(value) {
  if (value === true) return 'on';
  if (value === false) return 'off';
  return value === null ? '—' : String(value);
}

async function Texts(page, selector) {
  return page.locator(selector).evaluateAll((nodes) => nodes.map((n) => n.textContent.trim()));
}

// The words of status badges, without the shape beside them.
async function StatusWords(page, selector) {
  return page.locator(selector).evaluateAll((nodes) => nodes.map((n) =>
    [...n.childNodes].filter((c) => !(c.classList && c.classList.contains('status-mark'))).map((c) => c.textContent).join('').trim()));
}

async function Until(what, check, timeout = kWaitMs) {
  const deadline = Date.now() + timeout;
  let last;
  while (Date.now() < deadline) {
    last = await check();
    if (last) return last;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  assert.fail(`timed out waiting for ${what} (last: ${JSON.stringify(last)})`);
}

async function Chart(page, holder, colour) {
  await page.locator(holder + ' canvas').first().waitFor({ timeout: kWaitMs });
  return Until(`a drawn chart in ${holder}`, async () => {
    const pixels = await ColouredPixels(page, holder, colour);
    return pixels > kDrawnPixels && pixels;
  });
}

function NoErrors(watch, allowed = null) {
  const errors = watch.errors.filter((e) => !(allowed && allowed.test(e)));
  assert.deepEqual(errors, [], `${watch.size}: console errors`);
}

async function Overview(page, watch, base) {
  const groups = (await Get(base, 'api/groups')).body;
  const machines = (await Get(base, 'api/machines')).body;
  await page.goto(base);
  await Until('the groups', async () => (await page.locator('section.group').count()) === groups.length);
  assert.deepEqual(await Texts(page, 'section.group h2'), groups.map((g) => g.name));
  assert.deepEqual(await StatusWords(page, 'section.group .card-head .status'), groups.map((g) => g.status));
  assert.deepEqual(await Texts(page, '.tile-name'), machines.map((m) => m.name));
  assert.deepEqual(await StatusWords(page, '.tile .status'), machines.map((m) => m.status), 'each status in words');
  assert.match(await page.locator('#overview-stamp').textContent(), /^Updated \d\d:\d\d:\d\d/);
  assert.match(await page.locator('#link-state').textContent(), /^Last answer \d\d:\d\d:\d\d/);
  for (const status of ['trip', 'alarm', 'normal', 'undefined']) {
    const count = machines.filter((m) => m.status === status).length;
    assert.equal(await page.locator(`.counts button[data-status="${status}"] .count-number`).textContent(), String(count));
  }
  await watch.Screenshot('overview');

  // The status filter shows what the API's own filter answers, and is in
  // the URL: the back button takes it off again.
  const alarmed = (await Get(base, Query('machines', { status: 'alarm' }))).body;
  await page.selectOption('#filter-status', 'alarm');
  await Until('the alarm filter', async () => JSON.stringify(await Texts(page, '.tile-name')) === JSON.stringify(alarmed.map((m) => m.name)));
  assert.match(page.url(), /status=alarm/);
  await page.goBack();
  await Until('all machines again', async () => (await page.locator('.tile').count()) === machines.length);
  const group = groups.find((g) => machines.some((m) => m.group_id === g.id));
  await page.selectOption('#filter-group', group.id);
  await Until('the group filter', async () => (await page.locator('section.group').count()) === 1);
  assert.equal(await page.locator('section.group h2').textContent(), group.name);
  await page.goBack();
  return machines;
}

async function Machine(page, watch, base, machineId, refresh) {
  await page.locator('.tile', { has: page.locator('.tile-name', { hasText: machineId }) }).first().click();
  await page.locator('#variables tbody tr').first().waitFor({ timeout: kWaitMs });
  const machine = (await Get(base, Query('machine', { machine_id: machineId }))).body;
  const values = (await Get(base, Query('values', { machine_id: machineId }))).body;
  assert.equal(await page.locator('.view-head h1').textContent(), machine.name);
  assert.deepEqual(await Texts(page, '#variables tbody tr .value-text'), values.map((v) => ValueText(v.value)), 'values as the API answers them');
  const measured = machine.variables.filter((v) => v.type !== 'DIGITAL');
  assert.deepEqual(await StatusWords(page, '#variables .variable-status .status'), measured.map((v) => values.find((x) => x.id === v.id).status));
  assert.deepEqual(await Texts(page, '.point .point-id'), machine.points.map((p) => p.id));
  if (refresh) {
    // Values come again from api/values every few seconds.
    const before = watch.answers.filter((a) => a.url.pathname.endsWith('/api/values')).length;
    await Until('a refresh of the values', () => watch.answers.filter((a) => a.url.pathname.endsWith('/api/values')).length > before);
  }
  await watch.Screenshot('machine');
  return machine;
}

async function Trend(page, watch, machine) {
  const analog = machine.variables.filter((v) => v.type !== 'DIGITAL').slice(0, 2);
  const digital = machine.variables.find((v) => v.type === 'DIGITAL');
  for (const v of [...analog, digital]) {
    await page.locator(`#variables tr[data-variable="${v.id}"] input[type=checkbox]`).check();
  }
  await page.locator('#trend-selected').click();
  await Chart(page, '#trend-plot', kFirstColour);
  await Chart(page, '#trend-plot', kSecondColour);
  await page.locator('#trend-summary tbody tr').nth(2).waitFor({ timeout: kWaitMs });
  for (const v of [...analog, digital]) {
    const answer = watch.Last('trend', (q) => q.get('variable_id') === v.id);
    assert.ok(answer, `the page asked for the trend of ${v.id}`);
    assert.equal(answer.url.searchParams.get('mapped'), 'true', 'a day is thinned by the server');
    const items = Number(answer.url.searchParams.get('max_items'));
    assert.ok(items >= 200 && items <= 20000, `max_items ${items} follows the chart's width`);
    const row = page.locator(`#trend-summary tr[data-variable="${v.id}"]`);
    assert.equal(await row.locator('.samples').textContent(), String(answer.body.length));
    const last = answer.body[answer.body.length - 1];
    assert.ok((await row.locator('.last').textContent()).startsWith(ValueText(last.value)), 'the last sample as the API answers it');
    if (v.type !== 'DIGITAL') {
      const numbers = answer.body.map((s) => s.value);
      assert.ok((await row.locator('.max').textContent()).startsWith(String(Number(Math.max(...numbers).toPrecision(6)))));
    }
  }
  assert.ok((await page.locator('#trend-plot .u-legend').count()) === 2, 'measured and DIGITAL variables in two charts');
  await watch.Screenshot('trend');

  await page.locator('button[data-span="hour"]').click();
  await Until('the hour', () => watch.Last('trend', (q) => q.get('mapped') === 'false'));
  assert.match(page.url(), /span=hour/);
  await Chart(page, '#trend-plot', kFirstColour);
}

async function Analyses(page, watch, machine) {
  const spectrum = machine.analysis.find((d) => d.type === 'spectrum');
  const waveform = machine.analysis.find((d) => d.type === 'waveform' && d.point_id === spectrum.point_id);
  await page.goBack();
  await page.goBack();
  await page.locator(`tr[data-analysis="${spectrum.id}"] a`).click();
  await Chart(page, '#analysis-plot', kFirstColour);
  const list = watch.Last('analysis_list').body;
  assert.equal(await page.locator('#analysis-list tbody tr').count(), list.length, 'every stored spectrum listed');
  assert.deepEqual(await page.locator('#analysis-list tbody tr').evaluateAll((rows) => rows.map((r) => r.dataset.time)), list.map((a) => a.time), 'newest first');
  const shown = watch.Last('analysis').body;
  assert.equal(shown.time, list[0].time);
  assert.equal(shown.data.length, shown.analysis.lines);
  const facts = await page.locator('#analysis-facts').textContent();
  assert.ok(facts.includes(`${shown.analysis.lines} lines`) && facts.includes(`${Number(shown.analysis.rpm.toPrecision(6))} rpm`) &&
    facts.includes(`${Number(shown.analysis.kw.toPrecision(6))} kW`), facts);

  // A second spectrum overlaid in the second colour.
  await page.locator('#analysis-list tbody tr').nth(1).locator('input[type=checkbox]').check();
  await Chart(page, '#analysis-plot', kSecondColour);
  assert.equal(await page.locator('#analysis-facts .fact').count(), 2);
  assert.match(page.url(), /cmp=/);
  await watch.Screenshot('spectrum');

  await page.selectOption('#definition', waveform.id);
  await Until('the waveform', async () => (await page.locator('#analysis-facts').textContent()).includes('samples at'));
  await Chart(page, '#analysis-plot', kFirstColour);
  const wave = watch.Last('analysis', (q) => q.get('analysis_id') === waveform.id).body;
  assert.equal(wave.data.length, wave.analysis.samples);
  await watch.Screenshot('waveform');
}

async function Reference(page, watch, base) {
  await page.goto(base + '#/reference');
  await page.locator('section.resource').nth(8).waitFor({ timeout: kWaitMs });
  const help = (await Get(base, 'api/help')).body;
  assert.deepEqual(await Texts(page, 'section.resource h2 code'), help.resources.map((r) => 'api/' + r));
  const codes = await page.locator('#error-codes tbody tr').evaluateAll((rows) => rows.map((r) => Number(r.dataset.code)));
  assert.deepEqual(codes.sort((a, b) => a - b), [1, 2, 101, 1002, 1003, 1004, 1005, 1006, 2001]);
  const ident = page.locator('#resource-ident');
  await ident.locator('button[type=submit]').click();
  await ident.locator('.answer-body').waitFor({ timeout: kWaitMs });
  assert.equal(await ident.locator('.status-line').textContent(), '200 OK');
  assert.deepEqual(JSON.parse(await ident.locator('.answer-body').textContent()), (await Get(base, 'api/ident')).body);
  // The analysis example is filled from the plant and runs as it stands.
  const analysis = page.locator('#resource-analysis');
  await analysis.locator('button[type=submit]').click();
  await analysis.locator('.answer-body').waitFor({ timeout: kWaitMs });
  assert.equal(await analysis.locator('.status-line').textContent(), '200 OK');
  assert.match(await analysis.locator('.answer-body').textContent(), /^\{\n {2}"time": "[-0-9T:]+Z",[^]*"data": \[/);
  await watch.Screenshot('reference');
}

// A plant with its gateway and a browser, both stopped when the test ends.
async function Start(t, plantName) {
  const plant = await StartPlant({ plant: plantName });
  t.after(() => plant.stop());
  const browser = await Launch();
  t.after(() => browser.close());
  return { plant, browser };
}

test('a person walks the demo plant on a laptop and on a phone', async (t) => {
  const { plant, browser } = await Start(t, 'demo');
  for (const size of ['laptop', 'phone']) {
    await t.test(size, async () => {
      const { context, page, watch } = await OpenPage(browser, size);
      try {
        const machines = await Overview(page, watch, plant.base);
        const machine = await Machine(page, watch, plant.base, machines[0].id, size === 'laptop');
        await Trend(page, watch, machine);
        await Analyses(page, watch, machine);
        await Reference(page, watch, plant.base);
        NoErrors(watch);
      } finally {
        await context.close();
      }
    });
  }
});

// A reverse proxy that serves the gateway under `prefix` and answers 404
// for every other path; `strays` counts the requests outside the prefix.
async function ReverseProxy(t, gatewayPort, prefix) {
  const proxy = { strays: [] };
  const server = http.createServer((request, response) => {
    if (!request.url.startsWith(prefix)) {
      proxy.strays.push(request.url);
      response.writeHead(404).end();
      return;
    }
    const upstream = http.request({ host: '127.0.0.1', port: gatewayPort, path: request.url.slice(prefix.length - 1), headers: request.headers }, (answer) => {
      response.writeHead(answer.statusCode, answer.statusMessage, answer.headers);
      answer.pipe(response);
    });
    upstream.on('error', () => response.writeHead(502).end());
    request.pipe(upstream);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  t.after(() => new Promise((resolve) => server.close(resolve)));
  proxy.base = `http://127.0.0.1:${server.address().port}${prefix}`;
  return proxy;
}

test('behind a reverse proxy at /tesmo/, a link to a view opens it and the back button returns', async (t) => {
  const { plant, browser } = await Start(t, 'demo');
  const proxy = await ReverseProxy(t, plant.gateway.port, '/tesmo/');
  const { page, watch } = await OpenPage(browser, 'laptop');
  await page.goto(proxy.base + '#/trend?m=P-101&v=70&span=week');
  await Chart(page, '#trend-plot', kFirstColour);
  const asked = watch.Last('trend');
  assert.equal(asked.url.searchParams.get('variable_id'), '70');
  const seconds = (Date.parse(asked.url.searchParams.get('to')) - Date.parse(asked.url.searchParams.get('from'))) / 1000;
  assert.equal(seconds, 7 * 24 * 3600);
  assert.equal(await page.locator('button[data-span="week"]').getAttribute('aria-pressed'), 'true');
  await page.locator('.crumbs a', { hasText: 'P-101' }).click();
  await page.locator('#variables').waitFor({ timeout: kWaitMs });
  await page.goBack();
  await Chart(page, '#trend-plot', kFirstColour);
  assert.match(page.url(), /\/tesmo\/#\/trend\?m=P-101&v=70&span=week$/);
  await page.locator('.tabs a[data-tab="reference"]').click();
  await page.locator('section.resource').nth(8).waitFor({ timeout: kWaitMs });
  assert.ok(watch.answers.length > 3 && watch.answers.every((a) => a.url.pathname.startsWith('/tesmo/api/')), 'every request below the prefix');
  assert.deepEqual(proxy.strays, [], 'nothing asked outside the prefix');
  NoErrors(watch);
});

test('a stopped Tesmo server and a stopped gateway are told in words, and the page recovers', async (t) => {
  const { plant, browser } = await Start(t, 'demo');
  const { page, watch } = await OpenPage(browser, 'laptop');
  await page.goto(plant.base);
  await page.locator('.tile').first().waitFor({ timeout: kWaitMs });
  const tiles = await page.locator('.tile').count();

  await plant.simulator.stop();
  const words = await Until('the failure in words', async () => {
    const notice = page.locator('#groups .notice-error');
    return (await notice.count()) && notice.textContent();
  });
  assert.match(words, /Tesmo server is not working/);
  assert.match(words, /code 2001/);
  assert.equal(await page.locator('.tile').count(), tiles, 'the last answer stays on the page');
  assert.ok(await page.locator('#problem').isVisible());
  assert.match(await page.locator('#link-state').textContent(), /Last request failed/);
  await watch.Screenshot('simulator-stopped');

  await page.locator('.tile').first().click();
  const machineWords = await Until('the failure in the machine view', async () => {
    const notice = page.locator('.value-problem .notice-error');
    return (await notice.count()) && notice.textContent();
  });
  assert.match(machineWords, /Tesmo server is not working/);

  await plant.RestartSimulator();
  await page.locator('#variables').waitFor({ timeout: kWaitMs });
  await Until('the banner to go', async () => !(await page.locator('#problem').isVisible()));

  await plant.gateway.stop();
  const silence = await Until('no answer in words', async () => {
    const notice = page.locator('.value-problem .notice-error');
    return (await notice.count()) && notice.textContent();
  });
  assert.match(silence, /TesmoApi service does not answer/);
  assert.match(await page.locator('#link-state').textContent(), /No answer from TesmoApi/);
  await watch.Screenshot('gateway-stopped');
  NoErrors(watch, kBrowserFailure);
});

test('the edge plant: names with quotes, backslashes and tabs, values that are no numbers, the largest spectrum', async (t) => {
  const { plant, browser } = await Start(t, 'edge');
  const { page, watch } = await OpenPage(browser, 'laptop');
  const machines = (await Get(plant.base, 'api/machines')).body;
  const groups = (await Get(plant.base, 'api/groups')).body;
  await page.goto(plant.base);
  await Until('the machines', async () => (await page.locator('.tile').count()) === machines.length);
  // The page shows the machines group by group, in the order of the groups.
  const shownOrder = groups.flatMap((g) => machines.filter((m) => m.group_id === g.id));
  assert.deepEqual(await Texts(page, '.tile-name'), shownOrder.map((m) => m.name.trim()), 'names exactly as the API gives them');
  const quoted = machines.find((m) => m.id.includes('"'));
  await page.locator('.tile').nth(shownOrder.indexOf(quoted)).click();
  await page.locator('#variables tbody tr').first().waitFor({ timeout: kWaitMs });
  const values = (await Get(plant.base, Query('values', { machine_id: quoted.id }))).body;
  assert.ok(values.some((v) => v.value === null));
  assert.deepEqual(await Texts(page, '#variables tbody tr .value-text'), values.map((v) => ValueText(v.value)), 'no value shown as a dash');
  const machine = (await Get(plant.base, Query('machine', { machine_id: quoted.id }))).body;
  const largest = machine.analysis.find((d) => d.id === '17/S');
  await page.goto(plant.base + `#/analysis?m=${encodeURIComponent(quoted.id)}&a=${encodeURIComponent(largest.id)}&span=month`);
  await Chart(page, '#analysis-plot', kFirstColour);
  const shown = watch.Last('analysis').body;
  assert.equal(shown.data.length, 65549);
  assert.equal(await page.locator('.view-head h1').textContent(), `${machine.name} · spectra and waveforms`);
  await watch.Screenshot('edge-largest-spectrum');
  NoErrors(watch);
});

// The page comes with its validators and Cache-Control: no-cache, so a
// browser asks again on every visit, and on a second visit the gateway
// answers 304 NOT MODIFIED instead of sending the whole page again.
test('a second visit revalidates the page and moves under a kilobyte', async (t) => {
  const kSecondVisitBytes = 1024;
  const { plant, browser } = await Start(t, 'demo');
  const context = await browser.newContext();
  t.after(() => context.close());
  const page = await context.newPage();
  const visits = [];
  for (let visit = 0; visit < 2; visit++) {
    const finished = page.waitForEvent('requestfinished', { predicate: (request) => request.resourceType() === 'document', timeout: kWaitMs });
    await page.goto(plant.base, { waitUntil: 'load' });
    const request = await finished;
    const sizes = await request.sizes();
    visits.push({ headers: await request.allHeaders(), bytes: sizes.responseHeadersSize + sizes.responseBodySize });
  }
  assert.equal(visits.length, 2);
  // The whole page, gzip-coded since Chromium takes gzip (about 56 KB of 143 KB).
  assert.ok(visits[0].bytes > 40 * 1024, `first visit ${visits[0].bytes} bytes`);
  assert.match(visits[1].headers['if-none-match'] || '', /-gz"$/, 'the browser asks with the coded page\'s tag');
  assert.ok(visits[1].bytes < kSecondVisitBytes, `second visit ${visits[1].bytes} bytes`);
});
