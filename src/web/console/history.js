// The History page: every relayed page the archive keeps, searched by
// address or range, function, type, full text, time range and carrier,
// newest first and a page of 50 at a time. A page opens its delivery trail:
// one line per destination with what became of it there, in order, with the
// times. The same search downloads as CSV. Page texts come from the carrier
// and are shown as text only.
'use strict';

import { button, field, input, listTable, make, rangeTime, relayMoment, setText } from '/dom.js';
import { getJson } from '/api.js';
import { createOlderPager } from '/older-pager.js';

const kPageRows = 50;
const kAny = '';

let view = null;
let asked = 0; // the latest read: an older answer arriving late is dropped
let trailAsked = 0; // the same for the trail opened last
let opened = false;

function choice(id, values) {
  const box = make('select');
  box.id = id;
  const any = make('option', '', 'Any');
  any.value = kAny;
  box.append(any);
  for (const value of values) box.append(make('option', '', value));
  return box;
}

function createFilters() {
  const form = make('form', 'toolbar');
  form.id = 'historyForm';
  const address = input('historyAddress', 'text', '1234567 or 1234000-1234999');
  const fn = choice('historyFunction', ['A', 'B', 'C', 'D']);
  const type = choice('historyType', ['A', 'N', 'T']);
  const text = input('historyText', 'search', 'words, "a phrase", OR, NOT, prefix*');
  const from = input('historyFrom', 'datetime-local');
  const to = input('historyTo', 'datetime-local');
  from.step = to.step = '1';
  const carrier = input('historyCarrier', 'text', 'carrier row');
  const search = make('button', '', 'Search');
  search.type = 'submit';
  search.id = 'historySearch';
  const csv = make('a', 'download', 'Export CSV');
  csv.id = 'historyCsv';
  form.append(field('Address', address), field('Function', fn), field('Type', type),
    field('Text', text), field('From', from), field('To', to), field('Carrier', carrier),
    search, csv);
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    view.pager.restart();
    read('');
  });
  return { form, address, fn, type, text, from, to, carrier, csv };
}

function createTrail() {
  const root = make('section', 'trail');
  root.id = 'historyTrail';
  root.hidden = true;
  const tools = make('div', 'toolbar');
  const title = make('h2');
  title.id = 'trailTitle';
  tools.append(title, make('span', 'spacer'), button('', 'Close', () => { root.hidden = true; }));
  const text = make('pre', 'pageText');
  text.id = 'trailText';
  const lines = make('ol', 'timeline');
  lines.id = 'trailLines';
  const none = make('p', 'note');
  none.id = 'trailNone';
  root.append(tools, text, lines, none);
  return { root, title, text, lines, none };
}

export function createHistory(panel) {
  const filters = createFilters();
  const pager = createOlderPager('history', (before) => read(before));
  const note = make('p', 'note');
  note.id = 'historyNote';
  const results = listTable('historyResults', ['Time', 'Address', 'Function', 'Type', 'Carrier',
    'Rate', 'Frequency', 'Text']);
  const box = make('div', 'listBox historyPages');
  box.append(results.element);
  const trail = createTrail();
  const heading = make('div', 'toolbar');
  heading.append(make('h2', '', 'Pages relayed'), pager.root);
  panel.append(filters.form, heading, note, box, trail.root);
  view = { filters, pager, note, results: results.body, trail };
  showCsvLink();
  for (const element of [filters.address, filters.fn, filters.type, filters.text, filters.from,
    filters.to, filters.carrier])
    element.addEventListener('change', showCsvLink);
}

function filterValues() {
  const f = view.filters;
  const values = {
    address: f.address.value.trim(),
    function: f.fn.value,
    type: f.type.value,
    text: f.text.value.trim(),
    from: rangeTime(f.from.value),
    to: rangeTime(f.to.value),
    carrier: f.carrier.value,
  };
  for (const key of Object.keys(values)) if (!values[key]) delete values[key];
  return values;
}

function showCsvLink() {
  const query = new URLSearchParams(filterValues()).toString();
  view.filters.csv.href = '/api/history.csv' + (query ? '?' + query : '');
  view.filters.csv.download = 'history.csv';
}

function pageRow(page) {
  const line = make('tr', 'page');
  line.dataset.id = String(page.id);
  for (const value of [relayMoment(page.time), page.address, page.function, page.type, page.carrier,
    page.rate, page.frequency, page.text])
    line.append(make('td', '', value == null ? '' : String(value)));
  line.cells[0].title = page.time || '';
  line.tabIndex = 0;
  line.addEventListener('click', () => openTrail(page.id));
  line.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') openTrail(page.id);
  });
  return line;
}

async function read(before) {
  const values = filterValues();
  values.limit = String(kPageRows);
  if (before) values.before = before;
  showCsvLink();
  const mine = ++asked;
  setText(view.note, 'Searching\u2026');
  const answer = await getJson('/api/history?' + new URLSearchParams(values).toString());
  if (mine !== asked) return;
  if (!answer) {
    setText(view.note, '');
    return;
  }
  const pages = Array.isArray(answer.pages) ? answer.pages : [];
  view.results.replaceChildren(...pages.map(pageRow));
  view.pager.shown(pages.length, answer.next);
  setText(view.note, pages.length === 0 ? 'No page matches' : '');
}

// One line per destination, its events in the order they happened.
function trailLines(trail) {
  const byDestination = new Map();
  for (const event of trail) {
    if (!byDestination.has(event.destination)) byDestination.set(event.destination, []);
    byDestination.get(event.destination).push(event);
  }
  return Array.from(byDestination, ([destination, events]) => {
    const line = make('li', 'trailLine');
    line.dataset.destination = destination;
    const list = make('ol', 'events');
    for (const event of events) {
      const item = make('li', 'event ' + String(event.event).replace(/[^a-z]/g, ''));
      const when = make('time', '', relayMoment(event.time).substring(11));
      when.dateTime = event.time || '';
      when.title = event.time || '';
      item.append(make('span', 'name', event.event), ' ', when);
      list.append(item);
    }
    line.append(make('span', 'destination', destination), list);
    return line;
  });
}

async function openTrail(id) {
  const mine = ++trailAsked;
  const answer = await getJson('/api/history/' + encodeURIComponent(id));
  if (mine !== trailAsked || !answer || !answer.page) return;
  const { page, trail } = answer;
  const { trail: box } = view;
  box.root.dataset.id = String(page.id);
  setText(box.title, 'Page ' + page.id + ' to ' + page.address + ' at ' + relayMoment(page.time) +
    (page.carrier ? ' from ' + page.carrier : ''));
  setText(box.text, page.text);
  const events = Array.isArray(trail) ? trail : [];
  box.lines.replaceChildren(...trailLines(events));
  setText(box.none, events.length ? '' : 'No destination has a record of this page');
  box.root.hidden = false;
  box.root.scrollIntoView({ block: 'nearest' });
}

export function historyShown() {
  if (!opened) read('');
  opened = true;
}
