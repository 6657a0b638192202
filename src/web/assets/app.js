// The page's script: puts the texts of /api/display into place (the program
// has already converted and formatted every number), follows its changes
// through /api/events and draws /api/history with Chart.js.
'use strict';

const RANGES = { day: 1, week: 7, month: 31, year: 366, all: 0 };
const DAY = 86400;
let display = null;
let range = 'day';
let charts = {};
let shownRecord = null;
let historyAsked = 0;  // the newest history request; older answers are dropped

function $(selector) { return document.querySelector(selector); }
function $all(selector) { return document.querySelectorAll(selector); }

// A plain time (the station's wall clock counted as UTC seconds) as text.
function two(n) { return String(n).padStart(2, '0'); }
function plainText(seconds, withDate, withTime) {
  const d = new Date(seconds * 1000);
  const date = two(d.getUTCDate()) + '.' + two(d.getUTCMonth() + 1) + '.' + String(d.getUTCFullYear()).slice(2);
  const time = two(d.getUTCHours()) + ':' + two(d.getUTCMinutes());
  return withDate && withTime ? date + ' ' + time : withDate ? date : time;
}
function plainIso(seconds) { return new Date(seconds * 1000).toISOString().slice(0, 19); }

function words() { return display ? display.words : {}; }

// The line under the range buttons: a sentence, or nothing.
function note(text) {
  const el = $('#history-note');
  el.hidden = !text;
  el.textContent = text || '';
}

// A fault of this script is said as one, never as a lost connection, and
// goes to the console where a developer looks.
function pageFault(error) {
  console.error(error);
  note((words().page_error || 'The page failed:') + ' ' + (error && error.message ? error.message : String(error)));
}

// The program stopped answering.
function serverLost() {
  $('#connection-text').textContent = words().server_lost || 'Nimbrel?';
  $('#connection').dataset.connected = 'false';
}

// The charting library is served from the system's package; without it the
// page says so instead of showing empty frames.
function chartsAvailable() {
  const ok = typeof Chart !== 'undefined';
  $('.charts').hidden = !ok;
  if (!ok)
    note(words().chart_library_missing || 'The chart library (Debian package libjs-chart.js) is missing.');
  return ok;
}

function render(d) {
  display = d;
  document.documentElement.lang = d.language;
  for (const el of $all('[data-word]')) {
    const word = d.words[el.dataset.word];
    if (word) el.textContent = word;
  }
  for (const el of $all('[data-unit]')) el.textContent = d.units[el.dataset.unit] || '';
  const v = d.values || {};
  for (const el of $all('[data-value]')) {
    const text = v[el.dataset.value];
    el.textContent = text === undefined || text === null || text === '' ? '–' : text;
  }
  const conn = $('#connection');
  conn.dataset.connected = String(d.connected);
  $('#connection-text').textContent = d.connected ? d.words.connected : d.words.disconnected;
  $('#record-time').textContent = d.time_text || d.words.no_records;
  if (d.time) $('#record-time').setAttribute('datetime', d.time);
  // The station's clock running ahead of the computer's: its records are not
  // uploaded as current until the clocks agree.
  const clockNote = $('#clock-note');
  clockNote.textContent = d.clock_note || '';
  clockNote.hidden = !d.clock_note;

  const trend = v.pressure_trend || 'steady';
  $('#trend').dataset.trend = trend;
  $('#trend-word').textContent = d.words['pressure_trend'] + ': ' + d.words['trend_' + trend];
  const arrow = $('#wind-arrow');
  if (typeof v.wind_direction_degrees === 'number') {
    arrow.hidden = false;
    // The arrow points where the wind blows to.
    arrow.style.transform = 'rotate(' + v.wind_direction_degrees + 'deg)';
  } else {
    arrow.hidden = true;
  }

  // The outdoor channel as the headline, when nimbrel.ini names one; the
  // indoor temperature then stands beside the indoor humidity.
  const headline = v.headline;
  if (headline) {
    $('#indoor_temperature').textContent = headline.temperature;
    $('#headline-caption').textContent = headline.name + ', ' + headline.humidity + ' %';
  }
  for (const el of $all('.headline-indoor')) el.hidden = !headline;

  const body = $('#channels tbody');
  body.replaceChildren();
  for (const ch of v.channels || []) {
    const row = document.createElement('tr');
    const cells = [ch.name || 'CH' + ch.channel, ch.temperature + ' ' + d.units.temperature, ch.humidity + ' %'];
    for (const text of cells) {
      const td = document.createElement('td');
      td.textContent = text;
      row.appendChild(td);
    }
    body.appendChild(row);
  }

  loadStatus();

  // A new record: the charts follow.
  if (d.record_plain !== shownRecord) {
    shownRecord = d.record_plain;
    loadHistory();
  }
}

// The destinations as /api/status names them: one line each (name, state
// word, sentence), the list hidden while none is configured. Fetched after
// every display, which follows each change of a destination's state.
let statusAsked = 0;  // the newest status request; older answers are dropped
function loadStatus() {
  const asked = ++statusAsked;
  fetch('/api/status')
    .then((r) => (r.ok ? r.json().catch(() => null) : null), () => null)
    .then((s) => {
      // An unanswered request leaves the list as it was; the connection
      // line says the program is gone.
      if (asked !== statusAsked || s === null) return;
      showDestinations(Array.isArray(s.destinations) ? s.destinations : []);
    })
    .catch(pageFault);
}
function textSpan(className, text) {
  const el = document.createElement('span');
  el.className = className;
  el.textContent = text;
  return el;
}
function showDestinations(list) {
  const w = words();
  $('#destinations').hidden = list.length === 0;
  const items = list.map((d) => {
    const li = document.createElement('li');
    const state = textSpan('dest-state', w['destination_' + d.state] || d.state);
    state.dataset.state = d.state;
    li.append(textSpan('dest-name', d.name), state, textSpan('dest-sentence', d.sentence || ''));
    return li;
  });
  $('#destination-list').replaceChildren(...items);
}

const COLORS = ['#c0392b', '#1f6fb2', '#2e9d4f', '#8e44ad', '#d35400', '#16a085'];

// Tick spacing of the time axis for each range, in seconds.
const STEPS = { day: 3 * 3600, week: DAY, month: 7 * DAY, year: 30 * DAY, all: 0 };
let shownSpan = null;  // [from, to] of the charts, plain seconds

function lineChart(id, datasets, unit, bars) {
  const canvas = document.getElementById(id);
  if (charts[id]) charts[id].destroy();
  delete charts[id];
  let drawnPoints = 0;
  for (const ds of datasets) drawnPoints += ds.data.length;
  charts[id] = new Chart(canvas, {
    type: bars ? 'bar' : 'line',
    data: { datasets: datasets },
    options: {
      animation: false, responsive: true, maintainAspectRatio: false, parsing: false, normalized: true,
      interaction: { mode: 'nearest', intersect: false },
      elements: { point: { radius: 0 }, line: { borderWidth: 1.5 } },
      plugins: { legend: { display: datasets.length > 1, labels: { boxWidth: 12 } },
                 tooltip: { callbacks: { title: (items) => items.length ? plainText(items[0].parsed.x, true, true) : '' } } },
      scales: {
        x: { type: 'linear', offset: false, grid: { offset: false }, min: shownSpan ? shownSpan[0] : undefined, max: shownSpan ? shownSpan[1] : undefined,
             ticks: { maxTicksLimit: 9, stepSize: STEPS[range] || undefined, callback: (value) => {
               const span = shownSpan ? shownSpan[1] - shownSpan[0] : DAY;
               return plainText(value, span > 2 * DAY, span <= 10 * DAY);
             } } },
        // Chart.js picks the decimals from the tick step (0.005 inHg, 0.01 in
        // of rain); fixing a maximum below its pick makes Intl throw.
        y: { title: { display: true, text: unit }, ticks: { format: { useGrouping: false } } },
      },
    },
    plugins: [{ id: 'drawn', afterRender: () => { canvas.dataset.drawn = String(drawnPoints); } }],
  });
}

// A series the answer lacks draws as an empty one rather than stopping
// every chart after it.
function series(history, key) {
  return history.series.find((s) => s.key === key) || { key: key, unit: '', points: [] };
}
// A null value (no reading) is a gap in the line.
function dataset(s, label, i, fill) {
  return { label: label, data: s.points.map((p) => ({ x: p[0], y: p[1] })),
           borderColor: COLORS[i % COLORS.length], backgroundColor: fill ? COLORS[i % COLORS.length] : 'transparent' };
}

function drawHistory(h) {
  const w = words();
  const channels = display && display.values && display.values.channels ? display.values.channels : [];
  const temps = [dataset(series(h, 'indoor_temperature'), w.indoor_temperature, 0)];
  const hums = [dataset(series(h, 'indoor_humidity'), w.indoor_humidity, 0)];
  channels.forEach((ch, i) => {
    const t = series(h, 'channel' + ch.channel + '_temperature');
    const u = series(h, 'channel' + ch.channel + '_humidity');
    if (t) temps.push(dataset(t, ch.name || 'CH' + ch.channel, i + 1));
    if (u) hums.push(dataset(u, ch.name || 'CH' + ch.channel, i + 1));
  });
  lineChart('chart-temperature', temps, series(h, 'indoor_temperature').unit);
  lineChart('chart-humidity', hums, '%');
  const one = (id, key, bars) => {
    const s = series(h, key);
    lineChart(id, [dataset(s, s.unit, 0, bars)], s.unit, bars);
  };
  one('chart-pressure', 'pressure_sea_level');
  one('chart-wind', 'wind_speed');
  one('chart-rain', 'rain', true);
  one('chart-uv', 'uv_index');
}

// One /api/history request: {ok, body}, or null when the program did not
// answer at all.
function ask(params) {
  return fetch('/api/history?' + params.toString())
    .then((r) => r.json().then((body) => ({ ok: r.ok, body: body }), () => ({ ok: false, body: {} })),
          () => null);
}

function loadHistory() {
  if (!chartsAvailable()) return;
  const lines = new URLSearchParams({ units: 'display' });
  const width = Math.max(200, Math.min(1000, Math.round(document.querySelector('.plot').clientWidth)));
  lines.set('points', String(2 * width));
  const keys = ['indoor_temperature', 'indoor_humidity', 'pressure_sea_level', 'wind_speed', 'uv_index'];
  for (const ch of (display && display.values && display.values.channels) || [])
    keys.push('channel' + ch.channel + '_temperature', 'channel' + ch.channel + '_humidity');
  lines.set('series', keys.join(','));
  // Rain as bars about a dozen pixels wide: at one interval per pixel a
  // shower is a hairline nobody sees.
  const rain = new URLSearchParams({ units: 'display', series: 'rain' });
  rain.set('points', String(Math.max(12, Math.min(120, Math.round(width / 12)))));
  let span = null;
  if (display && typeof display.record_plain === 'number') {
    span = [RANGES[range] ? display.record_plain - RANGES[range] * DAY : -2208988800, display.record_plain];
    for (const params of [lines, rain]) {
      params.set('from', plainIso(span[0]));
      params.set('to', plainIso(span[1]));
    }
  }
  const asked = ++historyAsked;
  Promise.all([ask(lines), ask(rain)])
    .then(([l, r]) => {
      if (asked !== historyAsked) return;  // a newer range was chosen meanwhile
      if (l === null || r === null) {
        note(words().server_lost);
        return;
      }
      const refused = !l.ok ? l : !r.ok ? r : null;
      if (refused) {
        note((display && !display.time) ? words().no_records : refused.body.error);
        return;
      }
      note('');
      // "all" starts at the oldest record the answer names.
      shownSpan = span && !RANGES[range] ? [Date.parse(l.body.from + 'Z') / 1000, span[1]] : span;
      drawHistory({ series: l.body.series.concat(r.body.series) });
    })
    .catch(pageFault);
}

function follow() {
  const events = new EventSource('/api/events');
  events.addEventListener('display', (e) => {
    try {
      render(JSON.parse(e.data));
    } catch (error) {
      pageFault(error);
    }
  });
  events.addEventListener('error', serverLost);
}

for (const button of $all('#ranges button')) {
  button.addEventListener('click', () => {
    range = button.dataset.range;
    for (const b of $all('#ranges button')) b.setAttribute('aria-pressed', String(b === button));
    loadHistory();
  });
}

fetch('/api/display')
  .then((r) => r.json(), () => null)
  .then((d) => {
    if (d === null) {
      serverLost();
      return;
    }
    try {
      render(d);
    } finally {
      follow();  // a page that failed to draw still follows the next record
    }
  })
  .catch(pageFault);
