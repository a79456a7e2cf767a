// Trend view: one or more variables of a machine over a span, with their
// alarm levels, from api/trend.
'use strict';

(function (Tesmo) {
  const El = Tesmo.El;
  const kSpanNames = ['hour', 'day', 'week', 'month'];

  // Numbers of a trace, for its row under the chart.
  function Summary(samples) {
    const numbers = samples.map((s) => s.value).filter((v) => typeof v === 'number');
    return {
      count: samples.length,
      min: numbers.length ? Math.min(...numbers) : null,
      max: numbers.length ? Math.max(...numbers) : null,
      last: samples.length ? samples[samples.length - 1] : null,
    };
  }

  function SpanSeconds(span) {
    return Tesmo.TimeSeconds(span.to) - Tesmo.TimeSeconds(span.from);
  }

  // Check boxes for the machine's variables, grouped by point.
  function VariablePicker(machine, onChange) {
    const byPoint = new Map();
    for (const v of machine.variables) {
      const key = v.point_id ? `${v.point_id} ${v.point_name}` : 'Machine';
      if (!byPoint.has(key)) byPoint.set(key, []);
      byPoint.get(key).push(v);
    }
    const groups = [...byPoint].map(([title, variables]) => El('fieldset', null, El('legend', null, title),
      variables.map((v) => El('label', { class: 'pick-variable' },
        El('input', {
          type: 'checkbox', value: v.id,
          onchange: (event) => onChange(v.id, event.target.checked),
        }), ` ${v.name}`, El('span', { class: 'muted' }, v.type === 'DIGITAL' ? ' on/off' : v.unit ? ` ${v.unit}` : '')))));
    // Unfolded beside the chart; folded under it on a phone.
    const narrow = window.matchMedia('(max-width: 760px)').matches;
    return El('details', { class: 'card picker', open: !narrow }, El('summary', null, 'Variables'), groups);
  }

  function SummaryTable(traces) {
    const rows = traces.map((trace, i) => {
      const s = Summary(trace.samples);
      const v = trace.variable;
      const unit = v.type === 'DIGITAL' ? '' : ` ${v.unit || ''}`;
      return El('tr', { 'data-variable': v.id },
        El('td', { 'data-label': 'Variable' }, El('span', { class: 'swatch', style: `background:${Tesmo.kSeriesColours[i % Tesmo.kSeriesColours.length]}` }),
          ` ${v.name}${v.point_id ? ' ' + v.point_id : ''}`),
        El('td', { 'data-label': 'Samples', class: 'samples' }, String(s.count)),
        El('td', { 'data-label': 'Lowest', class: 'min' }, v.type === 'DIGITAL' ? '—' : Tesmo.NumberText(s.min) + unit),
        El('td', { 'data-label': 'Highest', class: 'max' }, v.type === 'DIGITAL' ? '—' : Tesmo.NumberText(s.max) + unit),
        El('td', { 'data-label': 'Last sample', class: 'last' }, s.last ? `${Tesmo.ValueText(s.last.value)}${unit} at ${Tesmo.LocalTime(s.last.time)}` : 'none in this span'),
        El('td', { 'data-label': 'Alarm levels', class: 'levels' }, Tesmo.LevelsText(v) || '—'));
    });
    return El('table', { class: 'grid stack summary', id: 'trend-summary' },
      El('thead', null, El('tr', null, ['Variable', 'Samples', 'Lowest', 'Highest', 'Last sample', 'Alarm levels'].map((h) => El('th', { scope: 'col' }, h)))),
      El('tbody', null, rows));
  }

  Tesmo.Views.trend = function (root, route, signal, go) {
    const machineId = route.machine;
    const page = Tesmo.MachinePage(root, machineId, 'Trend', signal);
    let current = route;
    const spans = El('div', { class: 'toolbar' });
    const pickerHolder = El('div', { class: 'picker-holder' });
    const plotHolder = El('div', { class: 'plot', id: 'trend-plot' });
    const status = El('div', { class: 'plot-status', id: 'trend-status' });
    const note = El('p', { class: 'plot-note', id: 'trend-note' });
    const summary = El('div', { class: 'summary-holder' });
    root.append(spans, El('div', { class: 'side-layout' }, pickerHolder,
      El('section', { class: 'card plot-card' }, status, plotHolder, note, summary)));

    function Toggle(id, on) {
      const ids = current.variables.filter((x) => x !== id);
      if (on) ids.push(id);
      go({ ...current, variables: ids });
    }

    // The variable picker is made once and then only follows the ticks, so
    // that ticking a box keeps the keyboard focus on it.
    function DrawControls(machine) {
      const picker = Tesmo.SpanPicker(current, kSpanNames, Tesmo.kTrendSpanDefault, (span) => go({ ...current, ...span }));
      picker.insertBefore(El('button', { type: 'button', class: 'button', id: 'trend-refresh', onclick: () => Load(current) }, 'Refresh'), picker.lastChild);
      spans.replaceChildren(picker);
      if (!pickerHolder.firstChild) pickerHolder.append(VariablePicker(machine, Toggle));
      for (const box of pickerHolder.querySelectorAll('input[type=checkbox]')) box.checked = current.variables.includes(box.value);
      const count = current.variables.length;
      pickerHolder.querySelector('summary').textContent = 'Variables' + (count ? ` (${count} ticked)` : '');
    }

    function NoteText(span, size) {
      return `${Tesmo.LocalTime(span.from)} to ${Tesmo.LocalTime(span.to)} · ` + (size.mapped
        ? `thinned by the Tesmo server to at most ${size.max_items} samples per variable, one per pixel column, peaks kept`
        : `raw samples, at most ${size.max_items} per variable`) + '. Drag across the chart to zoom, double-click to zoom out.';
    }

    async function Load(next) {
      current = next;
      const mine = page.Begin();
      try {
        const machine = await page.Machine(mine);
        DrawControls(machine);
        const variables = current.variables.map((id) => machine.variables.find((v) => v.id === id)).filter(Boolean);
        if (!variables.length) {
          page.ShowChart(plotHolder);
          summary.replaceChildren();
          note.textContent = '';
          status.replaceChildren(Tesmo.Notice('Tick one or more variables to draw their trend.'));
          return;
        }
        const span = Tesmo.SpanOf(current, Date.now(), Tesmo.kTrendSpanDefault);
        const size = Tesmo.TrendRequestSize(SpanSeconds(span), plotHolder.clientWidth);
        status.replaceChildren(Tesmo.Notice('Asking the gateway for the trend…'));
        const traces = await Promise.all(variables.map(async (variable) => ({
          variable,
          samples: await Tesmo.Ask('trend', { machine_id: machineId, variable_id: variable.id, from: span.from, to: span.to, ...size }, mine),
        })));
        const chart = page.ShowChart(plotHolder, () => Tesmo.TrendChart(plotHolder, traces, span));
        status.replaceChildren(chart ? '' : Tesmo.Notice('No samples were stored in this span.'));
        note.textContent = NoteText(span, size);
        summary.replaceChildren(SummaryTable(traces));
      } catch (error) {
        if (error.name === 'AbortError') return;
        status.replaceChildren(Tesmo.Notice(error.message, 'error'));
      }
    }

    Load(route);
    return { Update: (next) => (next.machine === machineId ? (Load(next), true) : false) };
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
