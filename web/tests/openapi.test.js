// web/openapi.json: a valid OpenAPI 3.1 document, and the contract that real
// answers of the gateway keep: every resource and every error code, from the
// simulator's demo and edge plants, validated against its schemas.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { Validator } = require('@seriousme/openapi-schema-validator');
const { StartPlant, Get, Query, TimeText } = require('./harness');
const { AnswerSchemas, LoadDocument, kDocumentPath } = require('./schemas');

const kHour = 3600;
const kDay = 24 * kHour;
const kWeek = 7 * kDay;
// Codes that no request can provoke: the gateway itself only ever writes the
// texts true and false as Booleans.
const kUnreachableCodes = [2];

test('openapi.json is a valid OpenAPI 3.1 document', async () => {
  const validator = new Validator();
  const result = await validator.validate(kDocumentPath);
  assert.deepEqual(result.errors, undefined, JSON.stringify(result.errors, null, 2));
  assert.equal(result.valid, true);
  assert.equal(validator.version, '3.1');
});

// Every request the test makes and what it got.
class Answers {
  constructor(base, plant) {
    this.base = base;
    this.plant = plant;
    this.list = [];
  }

  async Ask(resource, parameters) {
    const request = Query(resource, parameters);
    const answer = await Get(this.base, request);
    this.list.push({ plant: this.plant, request, apiPath: '/api/' + resource, ...answer });
    return answer.body;
  }
}

// Asks for every resource: each machine, each variable's trend, each
// definition's analyses, and the usage errors of each resource.
async function AskEverything(answers, now) {
  const span = { from: TimeText(now - kDay), to: TimeText(now) };
  await answers.Ask('ident');
  await answers.Ask('help');
  await answers.Ask('ident', { anything: 'ignored' });
  const groups = await answers.Ask('groups');
  const machines = await answers.Ask('machines');
  for (const status of ['undefined', 'normal', 'alarm', 'trip']) await answers.Ask('machines', { status });
  for (const group of groups) await answers.Ask('machines', { group_id: group.id, status: 'normal' });
  await answers.Ask('machines', { group_id: 'no such group' });
  for (const entry of machines) {
    const machine = await answers.Ask('machine', { machine_id: entry.id });
    await answers.Ask('values', { machine_id: entry.id });
    for (const variable of machine.variables) {
      await answers.Ask('trend', { machine_id: entry.id, variable_id: variable.id, ...span, max_items: 40 });
    }
    const some = machine.variables[machine.variables.length - 1];
    if (some) {
      await answers.Ask('trend', { machine_id: entry.id, variable_id: some.id, ...span, max_items: 30, mapped: false });
      await answers.Ask('trend', { machine_id: entry.id, variable_id: some.id, ...span, max_items: 0 });
    }
    for (const definition of machine.analysis) {
      const list = await answers.Ask('analysis_list', {
        machine_id: entry.id, analysis_id: definition.id, from: TimeText(now - kWeek), to: TimeText(now), max_items: 4,
      });
      if (list.length) await answers.Ask('analysis', { machine_id: entry.id, analysis_id: definition.id, time: list[0].time });
    }
  }
  const first = machines[0].id;
  await answers.Ask('analysis', { machine_id: first, analysis_id: '1/S', time: TimeText(now - 17) });
  await answers.Ask('trend', { machine_id: first, variable_id: 'no such variable', ...span });
  await AskUsageErrors(answers, first, span);
}

async function AskUsageErrors(answers, machineId, span) {
  const later = { from: span.to, to: span.from };
  await answers.Ask('Machines');
  await answers.Ask('');
  await answers.Ask('machine');
  await answers.Ask('machine', { machine_id: 'no such machine' });
  await answers.Ask('values', { name: machineId });
  await answers.Ask('trend', { machine_id: machineId, variable_id: '1', ...later });
  await answers.Ask('trend', { machine_id: machineId, variable_id: '1', ...span, max_items: 30001 });
  await answers.Ask('trend', { machine_id: machineId, variable_id: '1', from: '2022-13-01T00:00:00Z', to: span.to });
  await answers.Ask('analysis_list', { machine_id: machineId, analysis_id: '1/S', ...span, max_items: 101 });
  await answers.Ask('analysis_list', { machine_id: machineId, analysis_id: '1/S', ...span, max_items: 0 });
  await answers.Ask('analysis', { machine_id: machineId, analysis_id: '1/S', time: 'yesterday' });
}

// Every data resource while the Tesmo server does not answer.
async function AskWithoutServer(answers, machineId, now) {
  const span = { from: TimeText(now - kHour), to: TimeText(now) };
  await answers.Ask('ident');
  await answers.Ask('groups');
  await answers.Ask('machines');
  await answers.Ask('machine', { machine_id: machineId });
  await answers.Ask('values', { machine_id: machineId });
  await answers.Ask('trend', { machine_id: machineId, variable_id: '1', ...span });
  await answers.Ask('analysis_list', { machine_id: machineId, analysis_id: '1/S', ...span });
  await answers.Ask('analysis', { machine_id: machineId, analysis_id: '1/S', time: span.to });
}

function Failures(schemas, list) {
  const failures = [];
  for (const answer of list) {
    let complaint;
    try {
      complaint = schemas.Check(answer.apiPath, answer.status, answer.body);
    } catch (error) {
      complaint = error.message;
    }
    if (complaint) failures.push(`${answer.plant} ${answer.status} ${answer.request}\n  ${answer.text.slice(0, 300)}\n  ${complaint}`);
  }
  return failures;
}

test('real answers of the demo and edge plants keep to openapi.json', async (t) => {
  const schemas = new AnswerSchemas();
  const all = [];
  for (const plantName of ['demo', 'edge']) {
    const plant = await StartPlant({ plant: plantName });
    t.after(() => plant.stop());
    const answers = new Answers(plant.base, plantName);
    await AskEverything(answers, plant.now);
    const machineId = answers.list.find((a) => a.request === 'api/machines').body[0].id;
    await plant.simulator.stop();
    await AskWithoutServer(answers, machineId, plant.now);
    all.push(...answers.list);
  }
  // Thousands of samples a day: a trend of 30,000 of them outgrows the answer.
  const dense = await StartPlant({ plant: 'demo', extra: ['--trend-period', '10'] });
  t.after(() => dense.stop());
  const answers = new Answers(dense.base, 'demo, a sample every 10 s');
  await answers.Ask('trend', { machine_id: 'P-101', variable_id: '1', from: TimeText(dense.now - kWeek), to: TimeText(dense.now), max_items: 30000 });
  all.push(...answers.list);

  const failures = Failures(schemas, all);
  assert.equal(failures.length, 0, `${failures.length} of ${all.length} answers break openapi.json:\n${failures.slice(0, 20).join('\n')}`);

  const statuses = new Set(all.map((a) => a.status));
  assert.deepEqual([...statuses].sort(), [200, 400, 500, 501], 'every status line of the API was seen');
  const codes = new Set(all.filter((a) => a.body && typeof a.body.code === 'number').map((a) => a.body.code));
  const expected = LoadDocument().components.schemas.Error.properties.code.enum.filter((c) => !kUnreachableCodes.includes(c));
  assert.deepEqual([...codes].sort((a, b) => a - b), expected, 'every reachable error code was seen and validated');
  const resources = new Set(all.filter((a) => a.status === 200 && !('code' in a.body)).map((a) => a.apiPath));
  assert.deepEqual([...resources].sort(), Object.keys(LoadDocument().paths).sort(), 'a good answer of every resource');
});

test('the document describes exactly the resources the gateway lists, and is served beside the page', async (t) => {
  const plant = await StartPlant({ plant: 'demo' });
  t.after(() => plant.stop());
  const help = await Get(plant.base, 'api/help');
  const document = LoadDocument();
  assert.deepEqual(Object.keys(document.paths), help.body.resources.map((name) => '/api/' + name), 'paths in the order of api/help');
  const served = await Get(plant.base, 'openapi.json');
  assert.equal(served.status, 200);
  assert.deepEqual(served.body, document);
  assert.match(served.type, /^application\/json/);
});

// Damages a good answer in one way each; the schema must refuse every one,
// so that the validation above could fail at all.
test('the schemas refuse damaged answers', async (t) => {
  const plant = await StartPlant({ plant: 'demo' });
  t.after(() => plant.stop());
  const schemas = new AnswerSchemas();
  const now = plant.now;
  const span = { from: TimeText(now - kDay), to: TimeText(now) };
  const good = {
    ident: (await Get(plant.base, 'api/ident')).body,
    groups: (await Get(plant.base, 'api/groups')).body,
    machines: (await Get(plant.base, 'api/machines')).body,
    machine: (await Get(plant.base, Query('machine', { machine_id: 'P-101' }))).body,
    values: (await Get(plant.base, Query('values', { machine_id: 'P-101' }))).body,
    trend: (await Get(plant.base, Query('trend', { machine_id: 'P-101', variable_id: '1', ...span }))).body,
    list: (await Get(plant.base, Query('analysis_list', { machine_id: 'P-101', analysis_id: '1/S', ...span }))).body,
    waves: (await Get(plant.base, Query('analysis_list', { machine_id: 'P-101', analysis_id: '1/W', ...span }))).body,
  };
  good.analysis = (await Get(plant.base, Query('analysis', { machine_id: 'P-101', analysis_id: '1/S', time: good.list[0].time }))).body;
  const usage = (await Get(plant.base, Query('trend', { machine_id: 'P-101' }))).body;
  const digital = (m) => m.variables.find((v) => v.type === 'DIGITAL');
  const measured = (m) => m.variables.find((v) => v.type !== 'DIGITAL');
  const cases = [
    ['ident with a member more', '/api/ident', 200, good.ident, (a) => (a.extra = 1)],
    ['group status in capitals', '/api/groups', 200, good.groups, (a) => (a[0].status = 'Alarm')],
    ['group without id', '/api/groups', 200, good.groups, (a) => delete a[0].id],
    ['machine entry without group_name', '/api/machines', 200, good.machines, (a) => delete a[0].group_name],
    ['name of 51 characters', '/api/machines', 200, good.machines, (a) => (a[0].name = 'x'.repeat(51))],
    ['DIGITAL variable with a unit', '/api/machine', 200, good.machine, (m) => (digital(m).unit = 'bar')],
    ['DIGITAL value as a number', '/api/machine', 200, good.machine, (m) => (digital(m).value = 1)],
    ['measured variable without high level', '/api/machine', 200, good.machine, (m) => delete measured(m).high],
    ['point_id without point_name', '/api/machine', 200, good.machine, (m) => delete m.variables.find((v) => v.point_id).point_name],
    ['spectrum definition with samples', '/api/machine', 200, good.machine, (m) => (m.analysis[0].samples = 2048)],
    ['definition of an unknown type', '/api/machine', 200, good.machine, (m) => (m.analysis[0].type = 'orbit')],
    ['value as text', '/api/values', 200, good.values, (a) => (a[1].value = '5.1')],
    ['trend time without Z', '/api/trend', 200, good.trend, (a) => (a[0].time = a[0].time.replace('Z', ''))],
    ['trend time with milliseconds', '/api/trend', 200, good.trend, (a) => (a[0].time = a[0].time.replace('Z', '.000Z'))],
    ['spectrum header without kw', '/api/analysis_list', 200, good.list, (a) => delete a[0].kw],
    ['waveform header with lines', '/api/analysis_list', 200, good.waves, (a) => (a[0].lines = 800)],
    ['header with a member more', '/api/analysis_list', 200, good.list, (a) => (a[0].status = 'normal')],
    ['analysis data with a text', '/api/analysis', 200, good.analysis, (a) => (a.data[3] = 'x')],
    ['analysis without its point', '/api/analysis', 200, good.analysis, (a) => delete a.point],
    ['trend usage error with the code of analysis_list', '/api/trend', 400, usage, (e) => (e.code = 1005)],
    ['trend usage error with another message', '/api/trend', 400, usage, (e) => (e.error = 'use: /api/trend')],
  ];
  for (const [name, apiPath, status, answer, damage] of cases) {
    assert.equal(schemas.Check(apiPath, status, answer), null, `the good answer for "${name}" is valid`);
    const damaged = structuredClone(answer);
    damage(damaged);
    assert.notEqual(schemas.Check(apiPath, status, damaged), null, `refused: ${name}`);
  }
});
