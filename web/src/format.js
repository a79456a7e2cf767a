// Pure helpers of the explorer: the views' addresses in the URL fragment,
// spans of time, the size of trend requests, the x axes of spectra and
// waveforms, and how numbers and times are shown. Nothing here touches the
// page, so the tests load this file in Node as well.
'use strict';

(function (Tesmo) {
  const kSecond = 1000;
  const kMinute = 60;
  const kHour = 60 * kMinute;
  const kDay = 24 * kHour;
  const kMonths = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];

  // The spans a person picks, in seconds.
  Tesmo.kSpans = {
    hour: { seconds: kHour, label: 'Last hour' },
    day: { seconds: kDay, label: 'Day' },
    week: { seconds: 7 * kDay, label: 'Week' },
    month: { seconds: 30 * kDay, label: 'Month' },
  };
  Tesmo.kTrendSpanDefault = 'day';
  Tesmo.kAnalysisSpanDefault = 'week';

  // Trend requests: the API takes at most 30,000 samples, and an answer of
  // more than about 20,000 outgrows the gateway's results buffer.
  Tesmo.kTrendMaxItems = 20000;
  // Below this span the samples come raw (the Tesmo server stores at most a
  // few per second); above it the server thins them to about one per pixel
  // column, keeping the peaks.
  Tesmo.kRawSpanSeconds = kHour;
  Tesmo.kRawMaxItems = 3600;
  Tesmo.kMinPlotItems = 200;
  Tesmo.kListMaxItems = 100;

  // The views and the members of their addresses, as #/view?name=value&...
  const kViews = ['overview', 'machine', 'trend', 'analysis', 'reference'];

  Tesmo.ParseRoute = function (hash) {
    const text = String(hash || '').replace(/^#\/?/, '');
    const question = text.indexOf('?');
    const name = decodeURIComponent(question < 0 ? text : text.slice(0, question)) || 'overview';
    const query = new URLSearchParams(question < 0 ? '' : text.slice(question + 1));
    const route = {
      view: kViews.includes(name) ? name : 'overview',
      machine: query.get('m') || '',
      variables: query.getAll('v'),
      span: query.get('span') || '',
      from: query.get('from') || '',
      to: query.get('to') || '',
      analysis: query.get('a') || '',
      time: query.get('t') || '',
      compare: query.get('cmp') || '',
      group: query.get('group') || '',
      status: query.get('status') || '',
    };
    if (route.span && !Tesmo.kSpans[route.span]) route.span = '';
    return route;
  };

  // The fragment of a route; members left empty are left out.
  Tesmo.RouteHash = function (route) {
    const query = new URLSearchParams();
    const add = (key, value) => value && query.append(key, value);
    add('m', route.machine);
    for (const id of route.variables || []) add('v', id);
    add('a', route.analysis);
    if (route.from && route.to) {
      add('from', route.from);
      add('to', route.to);
    } else {
      add('span', route.span);
    }
    add('t', route.time);
    add('cmp', route.compare);
    add('group', route.group);
    add('status', route.status);
    const view = route.view && route.view !== 'overview' ? route.view : '';
    const text = query.toString();
    return '#/' + view + (text ? '?' + text : '');
  };

  // "YYYY-MM-DDTHH:MM:SSZ" of milliseconds since 1970, as the API reads it.
  Tesmo.TimeText = function (ms) {
    return new Date(Math.floor(ms / kSecond) * kSecond).toISOString().replace(/\.\d{3}Z$/, 'Z');
  };

  // Seconds since 1970 of an API time text; NaN when it is not one.
  Tesmo.TimeSeconds = function (text) {
    if (!/^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z$/.test(text)) return NaN;
    return Date.parse(text) / kSecond;
  };

  // The from and to texts of a route at `nowMs`: its own from and to, else
  // its span (or `fallback`) ending now.
  Tesmo.SpanOf = function (route, nowMs, fallback) {
    if (route.from && route.to) return { from: route.from, to: route.to };
    const span = Tesmo.kSpans[route.span || fallback];
    return { from: Tesmo.TimeText(nowMs - span.seconds * kSecond), to: Tesmo.TimeText(nowMs) };
  };

  // max_items and mapped of a trend request over `seconds` for a plot
  // `pixels` wide: raw samples over a short span, else about one sample per
  // pixel column, thinned by the server.
  Tesmo.TrendRequestSize = function (seconds, pixels) {
    if (seconds <= Tesmo.kRawSpanSeconds) return { max_items: Tesmo.kRawMaxItems, mapped: false };
    const columns = Math.round(pixels) || Tesmo.kMinPlotItems;
    const items = Math.min(Tesmo.kTrendMaxItems, Math.max(Tesmo.kMinPlotItems, columns));
    return { max_items: items, mapped: true };
  };

  // Frequencies of a spectrum's lines: fmin to fmax over its lines.
  Tesmo.SpectrumAxis = function (fmin, fmax, count) {
    const step = count > 0 ? (fmax - fmin) / count : 0;
    return Array.from({ length: count }, (_, i) => fmin + i * step);
  };

  // Times of a waveform's samples in milliseconds, taken at fs per second.
  Tesmo.WaveformAxis = function (fs, count) {
    const step = fs > 0 ? kSecond / fs : 0;
    return Array.from({ length: count }, (_, i) => i * step);
  };

  // A value as a person reads it: DIGITAL variables as on or off, numbers
  // with up to six significant digits as the API gives them, no value as a dash.
  Tesmo.ValueText = function (value) {
    if (value === true) return 'on';
    if (value === false) return 'off';
    if (value === null || value === undefined || Number.isNaN(value)) return '—';
    return String(value);
  };

  // A number rounded for a table of results (min, max, levels).
  Tesmo.NumberText = function (value) {
    if (value === null || value === undefined || !Number.isFinite(value)) return '—';
    return String(Number(value.toPrecision(6)));
  };

  function Two(n) {
    return String(n).padStart(2, '0');
  }

  // Local date and time of an API time text or of seconds since 1970.
  Tesmo.LocalTime = function (time) {
    const seconds = typeof time === 'number' ? time : Tesmo.TimeSeconds(time);
    if (!Number.isFinite(seconds)) return String(time);
    const d = new Date(seconds * kSecond);
    return `${d.getFullYear()}-${Two(d.getMonth() + 1)}-${Two(d.getDate())} ${Two(d.getHours())}:${Two(d.getMinutes())}:${Two(d.getSeconds())}`;
  };

  // Local day and time of an API time text without the year, for lists
  // of a span of at most a few weeks: "9 Dec 01:23:15".
  Tesmo.ShortTime = function (text) {
    const seconds = Tesmo.TimeSeconds(text);
    if (!Number.isFinite(seconds)) return String(text);
    const d = new Date(seconds * kSecond);
    return `${d.getDate()} ${kMonths[d.getMonth()]} ${Tesmo.ClockText(d)}`;
  };

  // Local time of day of a Date, for "last answer at".
  Tesmo.ClockText = function (date) {
    return `${Two(date.getHours())}:${Two(date.getMinutes())}:${Two(date.getSeconds())}`;
  };

  // Labels of a time axis's ticks (seconds since 1970, `step` seconds
  // apart), in 24-hour local time: "14:30", with the date under the first
  // tick of each day; ticks a day or more apart show the date alone.
  Tesmo.TimeTicks = function (ticks, step) {
    let lastDay = '';
    return ticks.map((seconds) => {
      const d = new Date(seconds * kSecond);
      const day = `${d.getDate()} ${kMonths[d.getMonth()]}`;
      if (step >= kDay) return day;
      const clock = step < kMinute ? Tesmo.ClockText(d) : `${Two(d.getHours())}:${Two(d.getMinutes())}`;
      const label = day !== lastDay ? `${clock}\n${day}` : clock;
      lastDay = day;
      return label;
    });
  };

  // "UTC+01:00" for the footer.
  Tesmo.ZoneText = function (date) {
    const minutes = -date.getTimezoneOffset();
    const sign = minutes < 0 ? '-' : '+';
    const whole = Math.abs(minutes);
    return `UTC${sign}${Two(Math.floor(whole / kMinute))}:${Two(whole % kMinute)}`;
  };

  // The "datetime-local" input text of an API time text, and back.
  Tesmo.InputTime = function (text) {
    const seconds = Tesmo.TimeSeconds(text);
    return Number.isFinite(seconds) ? Tesmo.LocalTime(seconds).replace(' ', 'T') : '';
  };
  Tesmo.InputTimeText = function (local) {
    const ms = new Date(local).getTime();
    return Number.isFinite(ms) ? Tesmo.TimeText(ms) : '';
  };

  // The four alarm levels of a measured variable, with the member that
  // enables each; low and high raise an alarm, low-low and high-high a trip.
  Tesmo.kLevels = [
    { key: 'high_high', enable: 'high_high_enable', short: 'HH', kind: 'trip' },
    { key: 'high', enable: 'high_enable', short: 'H', kind: 'alarm' },
    { key: 'low', enable: 'low_enable', short: 'L', kind: 'alarm' },
    { key: 'low_low', enable: 'low_low_enable', short: 'LL', kind: 'trip' },
  ];

  // The enabled alarm levels of a variable, lowest first: "L 3 · H 10 · HH 12".
  Tesmo.LevelsText = function (variable) {
    if (variable.type === 'DIGITAL') return '';
    const parts = [];
    for (const level of Tesmo.kLevels.slice().reverse()) {
      if (variable[level.enable]) parts.push(`${level.short} ${Tesmo.NumberText(variable[level.key])}`);
    }
    return parts.join(' · ');
  };

  // Statuses from best to worst, and the worst of several.
  Tesmo.kStatuses = ['undefined', 'normal', 'alarm', 'trip'];
  Tesmo.WorstStatus = function (statuses, start) {
    let worst = start || 'undefined';
    for (const status of statuses) {
      if (Tesmo.kStatuses.indexOf(status) > Tesmo.kStatuses.indexOf(worst)) worst = status;
    }
    return worst;
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
