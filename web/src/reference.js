// API reference, generated from openapi.json: each resource with its
// parameters, limits and answers, an example request to run from the page,
// and the error documents with their codes.
'use strict';

(function (Tesmo) {
  const El = Tesmo.El;
  const kShownCharacters = 20000;
  const kExampleSpanMs = 24 * 3600 * 1000;
  const kWeekMs = 7 * kExampleSpanMs;

  function Resolve(document, node) {
    let at = node;
    while (at && at.$ref) {
      at = at.$ref.replace(/^#\//, '').split('/').reduce((o, key) => o[key], document);
    }
    return at;
  }

  function RefName(node) {
    return node && node.$ref ? node.$ref.split('/').pop() : '';
  }

  // A schema as a short text: "[{name, id, status}]", "Machine", "A or B".
  function Shape(document, schema, depth) {
    const name = RefName(schema);
    const s = Resolve(document, schema);
    if (!s) return '';
    if (s.oneOf) return s.oneOf.map((x) => Shape(document, x, depth)).join(' or ');
    if (s.maxProperties === 0) return '{}';
    if (s.type === 'array') return `[${Shape(document, s.items, depth)}]`;
    if (s.properties && depth > 0) return `{${Object.keys(s.properties).join(', ')}}`;
    if (name) return name;
    if (s.const !== undefined) return JSON.stringify(s.const);
    return Array.isArray(s.type) ? s.type.join(' or ') : s.type || 'any';
  }

  // Type and limits of a parameter, as words.
  function Limits(document, parameter) {
    const s = Resolve(document, parameter.schema);
    const words = [];
    if (s.enum) words.push('one of ' + s.enum.join(', '));
    else if (s.format === 'date-time') words.push('UTC time YYYY-MM-DDTHH:MM:SSZ');
    else words.push(s.type);
    if (s.minimum !== undefined && s.maximum !== undefined) words.push(`${s.minimum} to ${s.maximum}`);
    if (s.maxLength !== undefined) words.push(`at most ${s.maxLength} characters`);
    return words.join(', ');
  }

  // Example values of the parameters: the document's, with times of now
  // and, when the plant answers, ids of its own first machine.
  async function PlantExamples(signal) {
    const now = Date.now();
    const examples = { from: Tesmo.TimeText(now - kExampleSpanMs), to: Tesmo.TimeText(now), time: Tesmo.TimeText(now) };
    const machines = await Tesmo.Ask('machines', {}, signal);
    if (!machines.length) return examples;
    const machine = await Tesmo.Ask('machine', { machine_id: machines[0].id }, signal);
    examples.machine_id = machine.id;
    examples.group_id = machine.group_id;
    const measured = machine.variables.find((v) => v.type !== 'DIGITAL') || machine.variables[0];
    if (measured) examples.variable_id = measured.id;
    const definition = machine.analysis[0];
    if (!definition) return examples;
    examples.analysis_id = definition.id;
    const list = await Tesmo.Ask('analysis_list', {
      machine_id: machine.id, analysis_id: definition.id, from: Tesmo.TimeText(now - kWeekMs), to: Tesmo.TimeText(now), max_items: 1,
    }, signal);
    if (list.length) examples.time = list[0].time;
    return examples;
  }

  function ParameterTable(document, parameters) {
    if (!parameters.length) return El('p', { class: 'muted' }, 'No parameters.');
    return El('table', { class: 'grid stack params' },
      El('thead', null, El('tr', null, ['Parameter', 'Required', 'Type and limits', 'Default', 'Meaning'].map((h) => El('th', { scope: 'col' }, h)))),
      El('tbody', null, parameters.map((p) => {
        const s = Resolve(document, p.schema);
        return El('tr', null, El('td', { 'data-label': 'Parameter' }, El('code', null, p.name)),
          El('td', { 'data-label': 'Required' }, p.required ? 'yes' : 'no'),
          El('td', { 'data-label': 'Type and limits' }, Limits(document, p)),
          El('td', { 'data-label': 'Default' }, s.default !== undefined ? String(s.default) : '—'),
          El('td', { 'data-label': 'Meaning' }, p.description || ''));
      })));
  }

  function Responses(document, responses) {
    return El('ul', { class: 'responses' }, Object.entries(responses).map(([status, response]) => {
      const r = Resolve(document, response);
      const schema = r.content['application/json'].schema;
      const error = Resolve(document, schema);
      const code = error.properties && error.properties.code && error.properties.code.const;
      return El('li', { 'data-status': status }, El('strong', null, r.description.split(':')[0]), ' ',
        code ? `error document, code ${code}` : Shape(document, schema, 1),
        r.description.includes(':') ? El('span', { class: 'muted' }, ' — ' + r.description.split(':').slice(1).join(':').trim()) : null);
    }));
  }

  // An answer laid out for reading, arrays of numbers kept on one line.
  function Pretty(body) {
    return JSON.stringify(body, null, 2).replace(/\[\n\s*((?:-?[\d.e+-]+|null)(?:,\n\s*(?:-?[\d.e+-]+|null))*)\n\s*\]/g,
      (whole, inner) => '[' + inner.replace(/,\n\s*/g, ', ') + ']');
  }

  // The form that runs an example request and shows the answer.
  function TryIt(path, parameters, examples) {
    const resource = path.replace(/^\/api\//, '');
    const inputs = parameters.map((p) => El('input', {
      name: p.name, 'aria-label': p.name, value: examples[p.name] !== undefined ? String(examples[p.name]) : p.example !== undefined ? String(p.example) : '',
    }));
    const shown = El('div', { class: 'answer', 'aria-live': 'polite' });
    const form = El('form', {
      class: 'try',
      onsubmit: async (event) => {
        event.preventDefault();
        const values = Object.fromEntries(inputs.map((input) => [input.name, input.value]));
        const request = Tesmo.RequestPath(resource, values);
        shown.replaceChildren(Tesmo.Notice('Sending ' + request + ' …'));
        const started = performance.now();
        try {
          const answer = await Tesmo.Fetch(request);
          const text = answer.body !== undefined ? Pretty(answer.body) : answer.text;
          const cut = text.length > kShownCharacters ? text.slice(0, kShownCharacters) + `\n… (${text.length - kShownCharacters} more characters)` : text;
          shown.replaceChildren(
            El('p', { class: 'answer-head' }, El('a', { href: request, target: '_blank', rel: 'noopener' }, 'GET ' + request), El('br'),
              El('strong', { class: 'status-line' }, answer.statusLine), ` · ${answer.text.length} characters · ${Math.round(performance.now() - started)} ms`),
            El('pre', { class: 'answer-body' }, cut));
        } catch (error) {
          shown.replaceChildren(Tesmo.Notice(error.message, 'error'));
        }
      },
    }, inputs.map((input) => El('label', null, El('code', null, input.name), input)), El('button', { type: 'submit', class: 'button primary' }, 'Run'));
    return El('div', { class: 'try-holder' }, El('h3', null, 'Try it'), form, shown);
  }

  function ErrorTable(document) {
    const statusOf = {};
    for (const item of Object.values(document.paths)) {
      for (const [status, response] of Object.entries(item.get.responses)) {
        const name = RefName(Resolve(document, response).content['application/json'].schema);
        statusOf[name] = Resolve(document, response).description.split(':')[0];
      }
    }
    const notFound = document.components.responses.NoSuchResource;
    statusOf[RefName(notFound.content['application/json'].schema)] = notFound.description.split(':')[0];
    const rows = Object.entries(document.components.schemas).filter(([name, s]) => name.startsWith('Error') && s.properties && s.properties.code && s.properties.code.const !== undefined)
      .map(([name, s]) => El('tr', { 'data-code': s.properties.code.const },
        El('td', { 'data-label': 'Code' }, String(s.properties.code.const)),
        El('td', { 'data-label': 'Message' }, El('code', null, s.properties.error.const || s.properties.error.pattern || '')),
        El('td', { 'data-label': 'Status' }, statusOf[name] || 'the resource\'s own'),
        El('td', { 'data-label': 'When' }, s.description)));
    return El('table', { class: 'grid stack errors', id: 'error-codes' },
      El('thead', null, El('tr', null, ['Code', 'Message', 'Status', 'When'].map((h) => El('th', { scope: 'col' }, h)))),
      El('tbody', null, rows));
  }

  Tesmo.Views.reference = function (root, route, signal) {
    const body = El('div', null, Tesmo.Notice('Reading openapi.json…'));
    root.append(El('div', { class: 'view-head' }, El('h1', null, 'API reference')), body);

    async function Build() {
      const answer = await Tesmo.Fetch('openapi.json', signal);
      if (!answer.body || !answer.body.paths) throw new Tesmo.ApiError(`openapi.json could not be read (${answer.statusLine}).`, {});
      const document = answer.body;
      let examples = {};
      try {
        examples = await PlantExamples(signal);
      } catch (error) {
        if (error.name === 'AbortError') throw error;
      }
      const sections = Object.entries(document.paths).map(([path, item]) => {
        const operation = item.get;
        const parameters = (operation.parameters || []).map((p) => Resolve(document, p));
        return El('section', { class: 'card resource', id: 'resource-' + path.split('/').pop(), 'data-path': path },
          El('h2', null, El('span', { class: 'method' }, 'GET'), ' ', El('code', null, path.slice(1))),
          El('p', { class: 'summary-line' }, El('strong', null, operation.summary + '. '), operation.description),
          ParameterTable(document, parameters), El('h3', null, 'Answers'), Responses(document, operation.responses),
          TryIt(path, parameters, examples));
      });
      const index = El('nav', { class: 'card index', 'aria-label': 'Resources' }, El('ul', null, Object.keys(document.paths).map((path) =>
        El('li', null, El('button', { type: 'button', class: 'link', onclick: () => root.querySelector('#resource-' + path.split('/').pop()).scrollIntoView() }, path.slice(1))))));
      body.replaceChildren(
        El('section', { class: 'card intro' }, document.info.description.split('\n\n').map((text) => El('p', null, text)),
          El('p', null, El('a', { href: 'openapi.json', download: 'openapi.json' }, 'openapi.json'),
            ` (OpenAPI ${document.openapi}, API version ${document.info.version}) is the contract of this API: hand it to a client code generator to get a typed client.`)),
        index, ...sections,
        El('section', { class: 'card', id: 'errors' }, El('h2', null, 'Error documents'),
          El('p', null, 'A failed request answers {"error":"<message>","code":<n>} in place of its answer; the connection is then closed.'),
          ErrorTable(document)));
    }

    Build().catch((error) => {
      if (error.name === 'AbortError') return;
      body.replaceChildren(Tesmo.Notice(error.message, 'error'));
    });
    return null;
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
