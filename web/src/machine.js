// Machine view: points, variables with value, unit, status and alarm
// levels, analysis definitions; values refreshed from api/values.
'use strict';

(function (Tesmo) {
  const El = Tesmo.El;

  // What a definition stores: "to 1000 Hz, 800 lines, 4 averages" or
  // "2560 samples/s, 2048 samples".
  function DefinitionRange(definition) {
    if (definition.type === 'spectrum') return `to ${Tesmo.NumberText(definition.fmax)} Hz, ${definition.lines} lines, ${definition.averages} averages`;
    if (definition.type === 'waveform') return `${Tesmo.NumberText(definition.fs)} samples/s, ${definition.samples} samples`;
    return '';
  }

  function PointsList(points) {
    if (!points.length) return Tesmo.Notice('This machine has no measuring points.');
    return El('ul', { class: 'points' }, points.map((p) => El('li', { class: 'point', 'data-point': p.id },
      El('span', { class: 'point-id' }, p.id), ' ', El('span', { class: 'point-name' }, p.name), ' ',
      El('span', { class: 'point-status' }, Tesmo.StatusBadge(p.status)))));
  }

  function DefinitionsTable(machine) {
    if (!machine.analysis.length) return Tesmo.Notice('No spectra or waveforms are stored for this machine.');
    const rows = machine.analysis.map((d) => El('tr', { 'data-analysis': d.id },
      El('td', { 'data-label': 'Analysis' }, El('a', { href: Tesmo.RouteHash({ view: 'analysis', machine: machine.id, analysis: d.id }) }, d.id)),
      El('td', { 'data-label': 'Kind' }, d.type || '—'),
      El('td', { 'data-label': 'Point' }, d.point_id ? `${d.point_id} ${d.point_name}` : '—'),
      El('td', { 'data-label': 'Magnitude' }, `${d.magnitude} (${d.unit})`),
      El('td', { 'data-label': 'Range' }, DefinitionRange(d)),
      El('td', { 'data-label': 'Status' }, Tesmo.StatusBadge(d.status))));
    return El('table', { class: 'grid stack' },
      El('thead', null, El('tr', null, ['Analysis', 'Kind', 'Point', 'Magnitude', 'Range', 'Status'].map((h) => El('th', { scope: 'col' }, h)))),
      El('tbody', null, rows));
  }

  Tesmo.Views.machine = function (root, route, signal) {
    const machineId = route.machine;
    let machine = null;
    const selected = new Set();
    const head = El('div', { class: 'view-head' }, El('h1', null, machineId));
    const stamp = El('p', { class: 'stamp', id: 'values-stamp' });
    const body = El('div', { class: 'machine-body' }, Tesmo.Notice('Asking the gateway for the machine…'));
    const valueProblem = El('div', { class: 'value-problem' });
    root.append(Tesmo.Breadcrumbs([{ text: 'Plant', href: '#/' }, { text: machineId }]), head, valueProblem, body);

    const trendButton = El('button', {
      type: 'button', class: 'button primary', id: 'trend-selected', disabled: true,
      onclick: () => { location.hash = Tesmo.RouteHash({ view: 'trend', machine: machineId, variables: [...selected] }); },
    });
    function UpdateTrendButton() {
      const count = selected.size;
      trendButton.textContent = count ? `Trend of ${count} selected variable${count > 1 ? 's' : ''}` : 'Tick variables to trend them together';
      trendButton.disabled = !count;
    }

    function VariableRow(v) {
      const box = El('input', {
        type: 'checkbox', 'aria-label': `Select ${v.name} for a trend`,
        onchange: () => { if (box.checked) selected.add(v.id); else selected.delete(v.id); UpdateTrendButton(); },
      });
      const trend = Tesmo.RouteHash({ view: 'trend', machine: machineId, variables: [v.id] });
      return El('tr', { 'data-variable': v.id, class: 'row-' + (v.status || 'digital') },
        El('td', { class: 'pick' }, box),
        El('td', { 'data-label': 'Variable' }, El('a', { href: trend, title: 'Trend of this variable' }, v.name),
          El('span', { class: 'muted' }, ` ${v.type}`)),
        El('td', { 'data-label': 'Point' }, v.point_id ? `${v.point_id} ${v.point_name}` : 'machine'),
        El('td', { 'data-label': 'Value', class: 'value' }, El('span', { class: 'value-text' }, Tesmo.ValueText(v.value)),
          v.type !== 'DIGITAL' && v.unit ? El('span', { class: 'unit' }, ' ' + v.unit) : null),
        El('td', { 'data-label': 'Status', class: 'variable-status' }, v.status ? Tesmo.StatusBadge(v.status) : ''),
        El('td', { 'data-label': 'Alarm levels', class: 'levels', title: 'LL low-low (trip), L low (alarm), H high (alarm), HH high-high (trip)' }, Tesmo.LevelsText(v)));
    }

    function VariablesTable() {
      if (!machine.variables.length) return Tesmo.Notice('This machine has no variables.');
      return El('table', { class: 'grid stack variables', id: 'variables' },
        El('thead', null, El('tr', null, El('th', { class: 'pick' }, El('span', { class: 'hidden-text' }, 'Select')),
          ['Variable', 'Point', 'Value', 'Status', 'Alarm levels'].map((h) => El('th', { scope: 'col' }, h)))),
        El('tbody', null, machine.variables.map(VariableRow)));
    }

    function Draw() {
      head.replaceChildren(El('h1', null, machine.name), Tesmo.StatusBadge(machine.status),
        El('span', { class: 'muted' }, ' in '), El('a', { href: Tesmo.RouteHash({ view: 'overview', group: machine.group_id }) }, machine.group_name), stamp);
      root.querySelector('.crumbs').replaceWith(Tesmo.Breadcrumbs([{ text: 'Plant', href: '#/' },
        { text: machine.group_name, href: Tesmo.RouteHash({ view: 'overview', group: machine.group_id }) }, { text: machine.name }]));
      UpdateTrendButton();
      body.replaceChildren(
        El('section', { class: 'card' }, El('h2', null, 'Measuring points'), PointsList(machine.points)),
        El('section', { class: 'card' }, El('div', { class: 'card-head' }, El('h2', null, 'Variables'), trendButton), VariablesTable(),
          El('p', { class: 'plot-note' }, 'Alarm levels: L low and H high raise an alarm, LL low-low and HH high-high a trip. ' +
            'Click a variable for its trend, or tick several to compare them.')),
        El('section', { class: 'card' }, El('h2', null, 'Spectra and waveforms'), DefinitionsTable(machine)));
    }

    // New values: each variable's value and status, and each point's status
    // as the worst of its variables.
    function ShowValues(values) {
      const byId = new Map(values.map((v) => [v.id, v]));
      for (const v of machine.variables) {
        const fresh = byId.get(v.id);
        if (!fresh) continue;
        v.value = fresh.value;
        if (v.type !== 'DIGITAL') v.status = fresh.status;
        const row = [...body.querySelectorAll('tr[data-variable]')].find((r) => r.dataset.variable === v.id);
        if (!row) continue;
        row.querySelector('.value-text').textContent = Tesmo.ValueText(v.value);
        if (v.type !== 'DIGITAL') Tesmo.SetStatusBadge(row.querySelector('.variable-status'), v.status);
      }
      for (const point of machine.points) {
        const own = machine.variables.filter((v) => v.point_id === point.id && v.status).map((v) => v.status);
        if (!own.length) continue;
        const item = [...body.querySelectorAll('li[data-point]')].find((li) => li.dataset.point === point.id);
        if (item) Tesmo.SetStatusBadge(item.querySelector('.point-status'), Tesmo.WorstStatus(own));
      }
    }

    function ShowProblem(error) {
      valueProblem.replaceChildren(error ? Tesmo.Notice(error.message + (machine ? ' The values shown are the last ones received.' : ''), 'error') : '');
    }

    Tesmo.Every(Tesmo.kRefreshMs, signal, async () => {
      try {
        if (!machine) {
          machine = await Tesmo.Ask('machine', { machine_id: machineId }, signal);
          Draw();
        } else {
          ShowValues(await Tesmo.Ask('values', { machine_id: machineId }, signal));
        }
        stamp.textContent = `Values at ${Tesmo.ClockText(new Date())}, every ${Tesmo.kRefreshMs / 1000} s`;
        ShowProblem(null);
      } catch (error) {
        if (error.name === 'AbortError') throw error;
        ShowProblem(error);
        if (!machine) body.replaceChildren();
      }
    });
    return null;
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
