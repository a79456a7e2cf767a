// The explorer's charts, drawn by uPlot: trends against time with their
// alarm levels (DIGITAL variables as steps in a strip of their own), and
// spectra or waveforms against frequency or time.
'use strict';

(function (Tesmo) {
  // Colours that stay apart for colour-blind readers (Okabe and Ito).
  Tesmo.kSeriesColours = ['#0072b2', '#d55e00', '#009e73', '#cc79a7', '#56b4e9', '#e69f00', '#000000'];
  const kLevelColours = { alarm: '#a86b00', trip: '#b3261e' };
  const kOrderColour = '#6b7785';
  const kMainHeights = { wide: 380, narrow: 260 };
  const kStripHeights = { wide: 130, narrow: 110 };
  const kNarrowWidth = 600;
  const kMinWidth = 280;
  const kMarkerThreshold = 60;
  const kMaxOrders = 10;
  const kRpmPerHz = 60;
  const kRangePad = 0.1;

  // A uPlot chart that fills its holder's width and follows its resizing.
  class Chart {
    constructor(holder, options, data, heights) {
      this.heights = heights || kMainHeights;
      const element = document.createElement('div');
      holder.append(element);
      this.holder = holder;
      this.plot = new uPlot({ ...options, ...this.Size() }, data, element);
      this.observer = new ResizeObserver(() => {
        const next = this.Size();
        if (next.width !== this.plot.width || next.height !== this.plot.height) this.plot.setSize(next);
      });
      this.observer.observe(holder);
    }

    Size() {
      const width = Math.max(kMinWidth, Math.floor(this.holder.clientWidth));
      return { width, height: width < kNarrowWidth ? this.heights.narrow : this.heights.wide };
    }

    destroy() {
      this.observer.disconnect();
      this.plot.destroy();
    }
  }

  // Several charts shown and removed together.
  class Charts {
    constructor(list) {
      this.list = list;
    }

    destroy() {
      for (const chart of this.list) chart.destroy();
    }
  }

  // Dashed lines across the plot at given values, each with a short label:
  // alarm levels (horizontal) and multiples of the running speed (vertical).
  function GuidesPlugin(guides) {
    function Draw(u) {
      const ctx = u.ctx;
      const ratio = uPlot.pxRatio;
      const { left, top, width, height } = u.bbox;
      ctx.save();
      ctx.beginPath();
      ctx.rect(left, top, width, height);
      ctx.clip();
      ctx.font = `${11 * ratio}px system-ui, sans-serif`;
      ctx.lineWidth = 1.5 * ratio;
      const taken = [];
      // Moves a label left until it overlaps no label drawn before it.
      function Place(right, y, text) {
        const wide = ctx.measureText(text).width + 8 * ratio;
        let at = right;
        for (const box of taken) {
          if (Math.abs(box.y - y) < 12 * ratio && at > box.left && at - wide < box.right) at = box.left - 4 * ratio;
        }
        taken.push({ left: at - wide, right: at, y });
        return at;
      }
      // A label on a pale ground, readable over the lines behind it.
      function Text(text, x, y, align, colour) {
        const wide = ctx.measureText(text).width;
        const start = align === 'right' ? x - wide : x;
        ctx.fillStyle = 'rgba(255, 255, 255, 0.85)';
        ctx.fillRect(start - 2 * ratio, y - 10 * ratio, wide + 4 * ratio, 13 * ratio);
        ctx.fillStyle = colour;
        ctx.textAlign = align;
        ctx.fillText(text, x, y);
      }
      const labels = [];
      let lastX = -Infinity;
      let lastLine = -Infinity;
      for (const guide of guides) {
        ctx.strokeStyle = guide.colour;
        ctx.setLineDash(guide.dash.map((d) => d * ratio));
        ctx.beginPath();
        if (guide.scale === 'x') {
          const x = Math.round(u.valToPos(guide.value, 'x', true));
          // Multiples closer than a few pixels would only hide the chart.
          if (x - lastLine < 8 * ratio) continue;
          lastLine = x;
          ctx.moveTo(x, top);
          ctx.lineTo(x, top + height);
          // Lines closer than a label's width keep no label of their own.
          if (x - lastX >= 24 * ratio) {
            labels.push(() => Text(guide.label, x + 3 * ratio, top + 12 * ratio, 'left', guide.colour));
            lastX = x;
          }
        } else {
          const y = Math.round(u.valToPos(guide.value, guide.scale, true));
          ctx.moveTo(left, y);
          ctx.lineTo(left + width, y);
          labels.push(() => Text(guide.label, Place(left + width - 3 * ratio, y, guide.label), y - 3 * ratio, 'right', guide.colour));
        }
        ctx.stroke();
      }
      // Labels after all lines, so that no line crosses a label.
      for (const label of labels) label();
      ctx.restore();
    }
    return { hooks: { draw: [Draw] } };
  }

  function TimeAxis() {
    return { values: (u, ticks, axis, space, step) => Tesmo.TimeTicks(ticks, step), size: 50 };
  }

  function Label(variable) {
    return variable.point_id ? `${variable.name} ${variable.point_id}` : variable.name;
  }

  function Levels(variable) {
    return Tesmo.kLevels.filter((level) => variable[level.enable] && Number.isFinite(variable[level.key]));
  }

  // The range of a scale: its samples and the levels drawn on it.
  function RangeWith(levelValues) {
    return (u, min, max) => {
      const values = [min, max, ...levelValues].filter(Number.isFinite);
      if (!values.length) return [0, 1];
      return uPlot.rangeNum(Math.min(...values), Math.max(...values), kRangePad, true);
    };
  }

  // Samples of the traces on one time axis that spans the whole span asked
  // for (an empty time at each end where no sample is), so that the charts
  // line up and zooming out shows the whole span.
  function Joined(traces, value, span) {
    const tables = traces.map((trace) => [
      trace.samples.map((s) => Tesmo.TimeSeconds(s.time)),
      trace.samples.map((s) => value(s.value)),
    ]);
    const data = tables.length === 1 ? tables[0] : uPlot.join(tables);
    const from = Tesmo.TimeSeconds(span.from);
    const to = Tesmo.TimeSeconds(span.to);
    if (!data[0].length || data[0][0] > from) data.forEach((column, i) => column.unshift(i ? null : from));
    if (data[0][data[0].length - 1] < to) data.forEach((column, i) => column.push(i ? null : to));
    return data;
  }

  function TimeSeries() {
    return { label: 'Time', value: (u, v) => (v == null ? '—' : Tesmo.LocalTime(v)) };
  }

  // Measured variables, one scale per unit: the first unit's axis on the
  // left, the second's on the right, further units without an axis.
  function MeasuredChart(holder, traces, span, colourOf, layout) {
    const scales = { x: { time: true } };
    const axes = [TimeAxis()];
    const series = [TimeSeries()];
    const guides = [];
    const units = [];
    for (const trace of traces) {
      const unit = trace.variable.unit || '';
      if (!units.includes(unit)) units.push(unit);
    }
    units.forEach((unit, i) => {
      const levels = traces.filter((t) => (t.variable.unit || '') === unit).flatMap((t) => Levels(t.variable).map((l) => t.variable[l.key]));
      scales['unit' + i] = { auto: true, range: RangeWith(levels) };
      axes.push({ scale: 'unit' + i, show: i < 2, side: i === 0 ? 3 : 1, label: layout.narrow ? undefined : unit || 'value', grid: { show: i === 0 }, size: layout.axisSize });
    });
    for (const trace of traces) {
      const variable = trace.variable;
      const scale = 'unit' + units.indexOf(variable.unit || '');
      series.push({
        label: variable.unit ? `${Label(variable)} (${variable.unit})` : Label(variable), scale, stroke: colourOf(trace), width: 2, spanGaps: true,
        points: { show: trace.samples.length <= kMarkerThreshold },
        value: (u, v) => (v == null ? '—' : `${Tesmo.NumberText(v)} ${variable.unit || ''}`),
      });
      for (const level of Levels(variable)) {
        const prefix = traces.length > 1 && !layout.narrow ? `${Label(variable)} ` : '';
        guides.push({
          scale, value: variable[level.key], colour: kLevelColours[level.kind], dash: level.kind === 'trip' ? [8, 4] : [4, 4],
          label: `${prefix}${level.short} ${Tesmo.NumberText(variable[level.key])}`,
        });
      }
    }
    const data = Joined(traces, (v) => (typeof v === 'number' ? v : null), span);
    return new Chart(holder, {
      scales, axes, series, plugins: [GuidesPlugin(guides)], legend: { live: true },
      cursor: { sync: { key: layout.sync }, drag: { x: true, y: false } },
    }, data, kMainHeights);
  }

  // DIGITAL variables as steps between off and on, in a strip under the
  // measured ones.
  function DigitalChart(holder, traces, span, colourOf, layout) {
    const series = [TimeSeries()];
    for (const trace of traces) {
      series.push({
        label: Label(trace.variable), scale: 'state', stroke: colourOf(trace), width: 2, spanGaps: true,
        paths: uPlot.paths.stepped({ align: 1 }), points: { show: false },
        value: (u, v) => (v == null ? '—' : v ? 'on' : 'off'),
      });
    }
    const data = Joined(traces, (v) => (v === true ? 1 : v === false ? 0 : null), span);
    const axes = [TimeAxis(), {
      scale: 'state', size: layout.axisSize, label: layout.narrow ? undefined : 'on / off',
      splits: () => [0, 1], values: (u, ticks) => ticks.map((t) => (t ? 'on' : 'off')),
    }];
    // An empty right axis keeps the strip's time axis under the chart's.
    if (layout.rightAxis) axes.push({ scale: 'state', side: 1, size: layout.axisSize, label: layout.narrow ? undefined : ' ', values: () => [], grid: { show: false }, ticks: { show: false } });
    return new Chart(holder, {
      scales: { x: { time: true }, state: { range: [-0.15, 1.15] } }, axes,
      series, legend: { live: true }, cursor: { sync: { key: layout.sync }, drag: { x: true, y: false } },
    }, data, kStripHeights);
  }

  let syncCount = 0;

  // The trend charts of `traces` ([{variable, samples}]) over `span` ({from,
  // to}), or null when no trace has a sample. Each trace keeps the colour of
  // its place in `traces`.
  Tesmo.TrendChart = function (holder, traces, span) {
    if (!traces.some((t) => t.samples.length)) return null;
    const colourOf = (trace) => Tesmo.kSeriesColours[traces.indexOf(trace) % Tesmo.kSeriesColours.length];
    const measured = traces.filter((t) => t.variable.type !== 'DIGITAL');
    const digital = traces.filter((t) => t.variable.type === 'DIGITAL');
    const units = new Set(measured.map((t) => t.variable.unit || ''));
    const narrow = holder.clientWidth < kNarrowWidth;
    const layout = { sync: 'trend' + ++syncCount, narrow, axisSize: narrow ? 44 : 60, rightAxis: units.size > 1 };
    const charts = [];
    if (measured.length) charts.push(MeasuredChart(holder, measured, span, colourOf, layout));
    if (digital.length) charts.push(DigitalChart(holder, digital, span, colourOf, layout));
    return new Charts(charts);
  };

  // The x values of one stored analysis: frequencies of a spectrum's lines
  // or times of a waveform's samples.
  Tesmo.AnalysisAxis = function (analysis) {
    const header = analysis.analysis;
    if (header.type === 'waveform') return Tesmo.WaveformAxis(header.fs, analysis.data.length);
    return Tesmo.SpectrumAxis(header.fmin || 0, header.fmax, analysis.data.length);
  };

  // Multiples of the running speed within a spectrum, as vertical guides.
  function OrderGuides(header) {
    if (header.type !== 'spectrum' || !(header.rpm > 0)) return [];
    const f1 = header.rpm / kRpmPerHz;
    const guides = [];
    for (let n = 1; n <= kMaxOrders && n * f1 <= header.fmax; ++n) {
      guides.push({ scale: 'x', value: n * f1, colour: kOrderColour, dash: [2, 4], label: `${n}×` });
    }
    return guides;
  }

  // A chart of one or two stored analyses of one kind (`shown` is
  // [{analysis, label}]), overlaid on one axis.
  Tesmo.AnalysisChart = function (holder, shown) {
    const header = shown[0].analysis.analysis;
    const waveform = header.type === 'waveform';
    const tables = shown.map((s) => [Tesmo.AnalysisAxis(s.analysis), s.analysis.data]);
    const data = tables.length === 1 ? tables[0] : uPlot.join(tables);
    const xText = (v) => (v == null ? '—' : waveform ? `${Tesmo.NumberText(v)} ms` : `${Tesmo.NumberText(v)} Hz`);
    const series = [{ label: waveform ? 'Time' : 'Frequency', value: (u, v) => xText(v) }];
    shown.forEach((s, i) => series.push({
      label: s.label, stroke: Tesmo.kSeriesColours[i], width: 1.25, spanGaps: true, points: { show: false },
      value: (u, v) => (v == null ? '—' : `${Tesmo.NumberText(v)} ${header.units || ''}`),
    }));
    const axes = [{ label: waveform ? 'Time (ms)' : 'Frequency (Hz)' }, { label: header.units || header.magnitude, size: 60 }];
    return new Chart(holder, {
      scales: { x: { time: false } }, series, axes, plugins: [GuidesPlugin(OrderGuides(header))],
      legend: { live: true }, cursor: { drag: { x: true, y: false } },
    }, data, kMainHeights);
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
