// Analyses view: the stored spectra or waveforms of one definition over a
// span (api/analysis_list, newest first); the chosen one drawn from
// api/analysis, and a second one overlaid to compare.
'use strict';

(function (Tesmo) {
  const El = Tesmo.El;
  const kSpanNames = ['day', 'week', 'month'];
  const kRpmPerHz = 60;

  // What a stored analysis is, in one line.
  function AnalysisFacts(header) {
    const facts = [];
    if (header.type === 'spectrum') {
      facts.push(`${header.lines} lines, ${Tesmo.NumberText(header.fmin)}–${Tesmo.NumberText(header.fmax)} Hz`);
    } else if (header.type === 'waveform') {
      facts.push(`${header.samples} samples at ${Tesmo.NumberText(header.fs)} /s`);
    }
    if (typeof header.rpm === 'number') {
      facts.push(`${Tesmo.NumberText(header.rpm)} rpm (1× = ${Tesmo.NumberText(header.rpm / kRpmPerHz)} Hz)`);
    }
    if (typeof header.kw === 'number') facts.push(`${Tesmo.NumberText(header.kw)} kW`);
    return facts.join(' · ');
  }

  // The largest value of a stored analysis and where it lies.
  function Peak(analysis) {
    const x = Tesmo.AnalysisAxis(analysis);
    let at = -1;
    analysis.data.forEach((v, i) => {
      if (typeof v === 'number' && (at < 0 || Math.abs(v) > Math.abs(analysis.data[at]))) at = i;
    });
    if (at < 0) return 'no values';
    const where = analysis.analysis.type === 'waveform' ? `${Tesmo.NumberText(x[at])} ms` : `${Tesmo.NumberText(x[at])} Hz`;
    return `largest ${Tesmo.NumberText(analysis.data[at])} ${analysis.analysis.units} at ${where}`;
  }

  function DefinitionLabel(d) {
    return `${d.id} · ${d.type || 'analysis'} · ${d.magnitude} (${d.unit})${d.point_id ? ' · ' + d.point_id + ' ' + d.point_name : ''}`;
  }

  Tesmo.Views.analysis = function (root, route, signal, go) {
    const machineId = route.machine;
    const page = Tesmo.MachinePage(root, machineId, 'Spectra and waveforms', signal);
    let machine = null;
    let current = route;
    let list = null;
    let listKey = '';
    const controls = El('div', { class: 'toolbar' });
    const listHolder = El('div', { class: 'card list-card' });
    const facts = El('div', { class: 'facts', id: 'analysis-facts' });
    const status = El('div', { class: 'plot-status', id: 'analysis-status' });
    const plotHolder = El('div', { class: 'plot', id: 'analysis-plot' });
    root.append(controls,
      El('div', { class: 'side-layout analysis-layout' }, listHolder, El('section', { class: 'card plot-card' }, facts, status, plotHolder)));

    function Definition() {
      return machine.analysis.find((d) => d.id === current.analysis) || machine.analysis[0];
    }

    function DrawControls(definition) {
      const select = El('select', { id: 'definition', onchange: () => go({ ...current, analysis: select.value, time: '', compare: '' }) },
        machine.analysis.map((d) => El('option', { value: d.id, selected: d.id === definition.id }, DefinitionLabel(d))));
      controls.replaceChildren(El('label', { class: 'grow' }, 'Analysis ', select),
        Tesmo.SpanPicker(current, kSpanNames, Tesmo.kAnalysisSpanDefault, (span) => go({ ...current, ...span, time: '', compare: '' })));
    }

    function DrawList(shownTime) {
      if (!list.length) {
        listHolder.replaceChildren(El('h2', null, 'Stored'), Tesmo.Notice('Nothing is stored for this analysis in this span.'));
        return;
      }
      const spectrum = list[0].type === 'spectrum';
      const rows = list.map((item) => {
        const show = El('input', { type: 'radio', name: 'shown', checked: item.time === shownTime, 'aria-label': `Show ${Tesmo.LocalTime(item.time)}`,
          onchange: () => go({ ...current, time: item.time, compare: current.compare === item.time ? '' : current.compare }) });
        const compare = El('input', { type: 'checkbox', checked: item.time === current.compare, disabled: item.time === shownTime,
          'aria-label': `Compare with ${Tesmo.LocalTime(item.time)}`,
          onchange: (event) => go({ ...current, time: shownTime, compare: event.target.checked ? item.time : '' }) });
        return El('tr', { 'data-time': item.time, class: item.time === shownTime ? 'chosen' : item.time === current.compare ? 'compared' : '' },
          El('td', null, show), El('td', null, compare),
          El('td', { title: `${Tesmo.LocalTime(item.time)} (${item.time})` }, Tesmo.ShortTime(item.time)),
          El('td', { class: 'num' }, Tesmo.NumberText(item.rpm)),
          spectrum ? El('td', { class: 'num' }, Tesmo.NumberText(item.kw)) : null);
      });
      listHolder.replaceChildren(El('h2', null, `Stored, newest first (${list.length})`),
        El('div', { class: 'list-scroll' }, El('table', { class: 'grid list', id: 'analysis-list' },
          El('thead', null, El('tr', null, El('th', { scope: 'col' }, 'Show'), El('th', { scope: 'col' }, 'Compare'),
            El('th', { scope: 'col' }, 'Taken'), El('th', { scope: 'col' }, 'rpm'), spectrum ? El('th', { scope: 'col' }, 'kW') : null)),
          El('tbody', null, rows))));
    }

    async function LoadList(definition, mine) {
      const span = Tesmo.SpanOf(current, Date.now(), Tesmo.kAnalysisSpanDefault);
      const key = [definition.id, current.span, current.from, current.to].join('\n');
      if (list && key === listKey) return;
      list = null;
      listHolder.replaceChildren(Tesmo.Notice('Asking the gateway for the stored analyses…'));
      list = await Tesmo.Ask('analysis_list', { machine_id: machineId, analysis_id: definition.id, ...span, max_items: Tesmo.kListMaxItems }, mine);
      listKey = key;
    }

    function ShowFacts(shown) {
      facts.replaceChildren(...shown.map((s, i) => El('p', { class: 'fact', 'data-time': s.analysis.time },
        El('span', { class: 'swatch', style: `background:${Tesmo.kSeriesColours[i]}` }), ' ',
        El('strong', null, Tesmo.LocalTime(s.analysis.time)), ' · ', AnalysisFacts(s.analysis.analysis), ' · ', Peak(s.analysis))));
    }

    async function Load(next) {
      current = next;
      const mine = page.Begin();
      try {
        machine = await page.Machine(mine);
        if (!machine.analysis.length) {
          controls.replaceChildren();
          listHolder.replaceChildren(Tesmo.Notice('No spectra or waveforms are stored for this machine.'));
          return;
        }
        const definition = Definition();
        DrawControls(definition);
        await LoadList(definition, mine);
        const shownTime = current.time || (list[0] && list[0].time) || '';
        DrawList(shownTime);
        if (!shownTime) {
          page.ShowChart(plotHolder);
          facts.replaceChildren();
          return;
        }
        const times = [shownTime, current.compare].filter(Boolean);
        status.replaceChildren(Tesmo.Notice('Asking the gateway for the values…'));
        const answers = await Promise.all(times.map((time) => Tesmo.Ask('analysis', { machine_id: machineId, analysis_id: definition.id, time }, mine)));
        const shown = answers.filter((a) => a.data).map((analysis) => ({ analysis, label: Tesmo.LocalTime(analysis.time) }));
        page.ShowChart(plotHolder);
        if (!shown.length) {
          status.replaceChildren(Tesmo.Notice('Nothing is stored at that time any more.'));
          facts.replaceChildren();
          return;
        }
        status.replaceChildren();
        ShowFacts(shown);
        page.ShowChart(plotHolder, () => Tesmo.AnalysisChart(plotHolder, shown));
      } catch (error) {
        if (error.name === 'AbortError') return;
        (list ? status : listHolder).replaceChildren(Tesmo.Notice(error.message, 'error'));
      }
    }

    Load(route);
    return { Update: (next) => (next.machine === machineId ? (Load(next), true) : false) };
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
