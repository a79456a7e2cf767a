// The built page carries everything it needs (the pinned uPlot with its
// licence, its own scripts) and refers to no other host; the pure helpers of
// its scripts keep a view's address, spans and request sizes right.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vm = require('node:vm');
const { BinFolder } = require('./harness');

const kWeb = path.join(__dirname, '..');
const kVendored = [
  ['vendor/uplot/uPlot.iife.min.js', 'dist/uPlot.iife.min.js'],
  ['vendor/uplot/uPlot.min.css', 'dist/uPlot.min.css'],
  ['vendor/uplot/LICENSE', 'LICENSE'],
];

function Read(relative) {
  return fs.readFileSync(path.join(kWeb, relative), 'utf8');
}

// The page's helpers as the browser runs them, in a context of their own.
function PageHelpers() {
  const context = vm.createContext({ URLSearchParams, encodeURIComponent, decodeURIComponent, Date, Math, Number, String, Array, Object });
  for (const file of ['src/format.js', 'src/api.js']) vm.runInContext(Read(file), context, { filename: file });
  return context.Tesmo;
}

test('the copy of uPlot the build carries is the version package-lock.json pins', () => {
  const lock = JSON.parse(Read('package-lock.json'));
  const pinned = lock.packages['node_modules/uplot'].version;
  const installed = path.join(kWeb, 'node_modules', 'uplot');
  assert.equal(JSON.parse(fs.readFileSync(path.join(installed, 'package.json'), 'utf8')).version, pinned);
  for (const [copy, original] of kVendored) {
    assert.ok(fs.readFileSync(path.join(kWeb, copy)).equals(fs.readFileSync(path.join(installed, original))), `${copy} is uplot ${pinned}'s ${original}`);
  }
  assert.match(Read('vendor/uplot/uPlot.iife.min.js'), new RegExp(`^/\\*! \\S+ \\(v${pinned.replace(/\./g, '\\.')}\\) \\*/`));
});

test('the built page holds uPlot, its licence and every script, and asks no other host', () => {
  const page = fs.readFileSync(path.join(BinFolder(), 'api.html'), 'utf8');
  const template = Read('api.html');
  const inlined = [...template.matchAll(/<!-- inline (\S+) -->/g)].map((m) => m[1]);
  assert.ok(inlined.length >= 10);
  for (const name of inlined) assert.ok(page.includes(Read(name)), `${name} is inside the built page`);
  assert.ok(!/<!-- inline /.test(page), 'no marker left');
  assert.ok(page.indexOf('Copyright (c) 2022 Leon Sorokin') < page.indexOf('var uPlot='), 'the licence comes with the library');
  // Only the page's own folder: no address of another host in an
  // attribute, a style or a request.
  assert.deepEqual(page.match(/(?:src|href|action)\s*=\s*["'](?:[a-z]+:)?\/\/[^"']*/gi), null);
  assert.deepEqual(page.match(/url\(\s*["']?(?:[a-z]+:)?\/\//gi), null);
  assert.deepEqual(page.match(/fetch\(\s*["'`](?:[a-z]+:)?\/\//gi), null);
});

test('a file holding the closing text of its element stops the build of the page', () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tesmo-inline-'));
  const cases = [
    ['broken.js', 'var a = "</SCRIPT>";'],
    ['broken.css', 'a::after { content: "</style>"; }'],
    ['NOTICE', 'text --> more'],
  ];
  try {
    for (const [name, text] of cases) {
      fs.writeFileSync(path.join(folder, name), text);
      fs.writeFileSync(path.join(folder, 'page.html'), `<html><!-- inline ${name} --></html>`);
      const run = () => execFileSync('cmake', [`-DTEMPLATE=${folder}/page.html`, `-DOUTPUT=${folder}/out.html`, '-P', path.join(kWeb, 'Inline.cmake')], { stdio: 'pipe' });
      assert.throws(run, /cannot be carried inside the page/, name);
      fs.writeFileSync(path.join(folder, name), text.replace(/<\/?\w+>|-->/gi, 'x'));
      run();
      assert.ok(fs.readFileSync(path.join(folder, 'out.html'), 'utf8').includes(text.replace(/<\/?\w+>|-->/gi, 'x')), `${name} without it is carried`);
    }
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

test('a view keeps its address in the fragment, whatever its ids hold', () => {
  const Tesmo = PageHelpers();
  const ids = ['P-101', 'E-1 "Bomba"', 'E-2 C:\\Bombas\\2', 'E-3\tCompresor', 'a&b=c#d?e', 'Señales € œ', '1/S', '+ %20'];
  for (const id of ids) {
    const route = { view: 'analysis', machine: id, variables: [id, '70'], analysis: id, span: 'week', time: '2026-12-08T12:23:15Z', compare: id };
    const hash = Tesmo.RouteHash(route);
    assert.ok(!/[\s"#]/.test(hash.slice(1)), `${JSON.stringify(id)}: ${hash} is one fragment`);
    const back = Tesmo.ParseRoute(hash);
    for (const key of Object.keys(route)) assert.deepEqual(back[key], route[key], `${JSON.stringify(id)}: ${key}`);
  }
  const custom = Tesmo.ParseRoute(Tesmo.RouteHash({ view: 'trend', machine: 'M', variables: ['1'], span: 'day', from: '2026-12-01T00:00:00Z', to: '2026-12-02T00:00:00Z' }));
  assert.deepEqual([custom.span, custom.from, custom.to], ['', '2026-12-01T00:00:00Z', '2026-12-02T00:00:00Z'], 'from and to win over a span');
  assert.equal(Tesmo.ParseRoute('#/nonsense?span=year').view, 'overview');
  assert.equal(Tesmo.ParseRoute('#/trend?span=year').span, '', 'an unknown span is dropped');
  assert.equal(Tesmo.RouteHash({ view: 'overview' }), '#/');
});

test('trend requests fit the span and the chart', () => {
  const Tesmo = PageHelpers();
  const hour = 3600;
  const cases = [
    // seconds, pixels, max_items, mapped
    [hour, 900, 3600, false],
    [hour + 1, 900, 900, true],
    [30 * 24 * hour, 1366, 1366, true],
    [7 * 24 * hour, 50, 200, true],
    [7 * 24 * hour, 0, 200, true],
    [30 * 24 * hour, 40000, 20000, true],
  ];
  for (const [seconds, pixels, items, mapped] of cases) {
    assert.deepEqual({ ...Tesmo.TrendRequestSize(seconds, pixels) }, { max_items: items, mapped }, `${seconds} s over ${pixels} px`);
  }
  const now = Date.parse('2026-12-08T12:00:00Z');
  assert.deepEqual({ ...Tesmo.SpanOf({ span: 'week' }, now, 'day') }, { from: '2026-12-01T12:00:00Z', to: '2026-12-08T12:00:00Z' });
  assert.deepEqual({ ...Tesmo.SpanOf({}, now + 999, 'hour') }, { from: '2026-12-08T11:00:00Z', to: '2026-12-08T12:00:00Z' }, 'whole seconds');
});

test('requests leave out empty parameters and encode every value', () => {
  const Tesmo = PageHelpers();
  assert.equal(Tesmo.RequestPath('machines', { group_id: '', status: 'alarm' }), 'api/machines?status=alarm');
  assert.equal(Tesmo.RequestPath('help', {}), 'api/help');
  assert.equal(Tesmo.RequestPath('analysis', { machine_id: 'a&b=c', analysis_id: '1/S', time: '2026-12-08T12:23:15Z' }),
    'api/analysis?machine_id=a%26b%3Dc&analysis_id=1%2FS&time=2026-12-08T12%3A23%3A15Z');
  assert.equal(Tesmo.RequestPath('trend', { mapped: false, max_items: 0 }), 'api/trend?mapped=false&max_items=0', 'false and 0 are values');
});

test('spectra run from fmin to fmax over their lines, waveforms at fs', () => {
  const Tesmo = PageHelpers();
  assert.deepEqual([...Tesmo.SpectrumAxis(0, 1000, 4)], [0, 250, 500, 750]);
  assert.deepEqual([...Tesmo.SpectrumAxis(100, 200, 2)], [100, 150]);
  assert.deepEqual([...Tesmo.WaveformAxis(2000, 3)], [0, 0.5, 1]);
  assert.deepEqual([...Tesmo.SpectrumAxis(0, 1000, 0)], []);
});

test('values and statuses as a person reads them', () => {
  const Tesmo = PageHelpers();
  const cases = [[true, 'on'], [false, 'off'], [null, '—'], [0, '0'], [2.96968, '2.96968'], [1e+06, '1000000']];
  for (const [value, text] of cases) assert.equal(Tesmo.ValueText(value), text, String(value));
  assert.equal(Tesmo.NumberText(1 / 3), '0.333333');
  assert.equal(Tesmo.NumberText(Infinity), '—');
  assert.equal(Tesmo.WorstStatus(['normal', 'trip', 'alarm']), 'trip');
  assert.equal(Tesmo.WorstStatus([]), 'undefined');
  const levels = { type: 'ANALOG', low_low_enable: true, low_enable: false, high_enable: true, high_high_enable: true, low_low: 2, low: 3, high: 10, high_high: 12 };
  assert.equal(Tesmo.LevelsText(levels), 'LL 2 · H 10 · HH 12', 'enabled levels only, lowest first');
  assert.equal(Tesmo.LevelsText({ type: 'DIGITAL' }), '');
});
