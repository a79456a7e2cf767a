// Building the page's elements. Texts from the API (names with quotes,
// backslashes or tabs) always go in as text, never as markup.
'use strict';

(function (Tesmo) {
  // El('a', {href: '#', class: 'x'}, 'text', child, ...): attributes
  // starting with "on" are listeners; null and false children are skipped.
  Tesmo.El = function (tag, attributes, ...children) {
    const element = document.createElement(tag);
    for (const [name, value] of Object.entries(attributes || {})) {
      if (value === undefined || value === null || value === false) continue;
      if (name.startsWith('on')) element.addEventListener(name.slice(2), value);
      else element.setAttribute(name, value === true ? '' : value);
    }
    for (const child of children.flat()) {
      if (child === null || child === undefined || child === false) continue;
      element.append(child instanceof Node ? child : document.createTextNode(String(child)));
    }
    return element;
  };
  const El = Tesmo.El;

  // Shapes beside the words, so that a status reads without its colour.
  const kStatusMarks = { trip: '■', alarm: '▲', normal: '●', undefined: '○' };

  Tesmo.StatusBadge = function (status) {
    const known = Object.prototype.hasOwnProperty.call(kStatusMarks, status);
    const word = known ? status : 'unknown';
    return El('span', { class: 'status status-' + word, 'data-status': word },
      El('span', { class: 'status-mark', 'aria-hidden': 'true' }, known ? kStatusMarks[status] : '?'), ' ', word);
  };

  // Replaces a badge in place when the status changed.
  Tesmo.SetStatusBadge = function (holder, status) {
    const badge = holder.querySelector('.status');
    if (badge && badge.dataset.status === status) return;
    holder.replaceChildren(Tesmo.StatusBadge(status));
  };

  // A line that tells the person what is going on in a part of a view: an
  // empty answer, a load in progress, or a failure in words.
  Tesmo.Notice = function (text, kind) {
    return El('p', { class: 'notice notice-' + (kind || 'info'), role: kind === 'error' ? 'alert' : null }, text);
  };

  Tesmo.Breadcrumbs = function (steps) {
    const items = steps.map((step, i) => El('li', null,
      i < steps.length - 1 && step.href ? El('a', { href: step.href }, step.text) : El('span', { 'aria-current': 'page' }, step.text)));
    return El('nav', { class: 'crumbs', 'aria-label': 'Where you are' }, El('ol', null, items));
  };

  // A row of buttons for the spans of time, the chosen one pressed, and a
  // folded "from/to" form for dates of one's own, filled with the span shown.
  Tesmo.SpanPicker = function (route, names, fallback, onChoose) {
    const custom = Boolean(route.from && route.to);
    const chosen = custom ? 'custom' : route.span || fallback;
    const span = Tesmo.SpanOf(route, Date.now(), fallback);
    const buttons = names.map((name) => El('button', {
      type: 'button', class: 'span-button', 'aria-pressed': String(chosen === name), 'data-span': name,
      onclick: () => onChoose({ span: name, from: '', to: '' }),
    }, Tesmo.kSpans[name].label));
    const from = El('input', { type: 'datetime-local', step: '1', 'aria-label': 'From', value: Tesmo.InputTime(span.from) });
    const to = El('input', { type: 'datetime-local', step: '1', 'aria-label': 'To', value: Tesmo.InputTime(span.to) });
    const problem = El('span', { class: 'span-problem', role: 'status' });
    const form = El('form', {
      class: 'span-custom',
      onsubmit: (event) => {
        event.preventDefault();
        const picked = { span: '', from: Tesmo.InputTimeText(from.value), to: Tesmo.InputTimeText(to.value) };
        if (!picked.from || !picked.to) problem.textContent = 'Give both times.';
        else if (picked.from > picked.to) problem.textContent = 'From must not be after To.';
        else onChoose(picked);
      },
    }, El('label', null, 'From ', from), El('label', null, 'to ', to), El('button', { type: 'submit' }, 'Show'), problem);
    const dates = El('details', { class: 'span-dates', open: custom },
      El('summary', { class: custom ? 'chosen' : null }, custom ? 'Dates (shown)' : 'Dates…'), form);
    return El('div', { class: 'span-picker', role: 'group', 'aria-label': 'Span of time' }, buttons, dates);
  };

  // What the trend and analyses views share: the heading and the way back
  // to the machine, the machine loaded once, one load at a time (a new one
  // gives up the one before), and the chart on show.
  Tesmo.MachinePage = function (root, machineId, title, signal) {
    const crumbs = El('div', null, Tesmo.Breadcrumbs([{ text: 'Plant', href: '#/' }, { text: machineId }]));
    const heading = El('h1', null, title);
    root.append(crumbs, El('div', { class: 'view-head' }, heading));
    let machine = null;
    let load = null;
    let chart = null;
    const page = {
      Begin() {
        if (load) load.abort();
        load = new AbortController();
        return load.signal;
      },
      async Machine(mine) {
        if (machine) return machine;
        machine = await Tesmo.Ask('machine', { machine_id: machineId }, mine);
        heading.textContent = `${machine.name} · ${title.toLowerCase()}`;
        crumbs.replaceChildren(Tesmo.Breadcrumbs([{ text: 'Plant', href: '#/' },
          { text: machine.group_name, href: Tesmo.RouteHash({ view: 'overview', group: machine.group_id }) },
          { text: machine.name, href: Tesmo.RouteHash({ view: 'machine', machine: machineId }) }, { text: title }]));
        return machine;
      },
      // Shows the chart that `make` draws into the emptied `holder` (none
      // when `make` is not given or draws nothing).
      ShowChart(holder, make) {
        if (chart) chart.destroy();
        holder.replaceChildren();
        chart = make ? make() : null;
        return chart;
      },
    };
    signal.addEventListener('abort', () => {
      if (load) load.abort();
      if (chart) chart.destroy();
    });
    return page;
  };

  // Runs `step` now and then every `ms` after each run has finished, until
  // `signal` aborts; a failed run is already shown by the view, so the loop
  // goes on (the page keeps working when a request fails).
  Tesmo.Every = function (ms, signal, step) {
    let timer = null;
    async function Run() {
      try {
        await step();
      } catch (error) {
        if (error.name !== 'AbortError' && !(error instanceof Tesmo.ApiError)) throw error;
      }
      if (!signal.aborted) timer = setTimeout(Run, ms);
    }
    signal.addEventListener('abort', () => clearTimeout(timer));
    Run();
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
