// The Delayed view: the packets waiting in the store, read from the relay a
// page of 50 at a time, newest or oldest first, for one destination or all,
// with each destination's count. It shows any number of rows (the window's
// grid shows at most 50), and reading it changes nothing for anyone else.
'use strict';

import { button, make, setText } from '/dom.js';
import { getJson } from '/api.js';

const kPageRows = 50;

const state = { destination: '', order: 'newest', offset: 0, total: 0 };
let view = null;
let asked = 0; // the latest read: an older answer arriving late is dropped

function select(id, label, onChange) {
  const root = make('label', 'field');
  const box = make('select');
  box.id = id;
  box.addEventListener('change', () => onChange(box.value));
  root.append(make('span', '', label), box);
  return { root, box };
}

function option(value, caption) {
  const element = make('option', '', caption);
  element.value = value;
  return element;
}

function createPager() {
  const root = make('div', 'pager');
  const first = button('', '\u00ab First', () => go(0));
  const previous = button('', '\u2039 Previous', () => go(state.offset - kPageRows));
  const range = make('span', 'range');
  const next = button('', 'Next \u203a', () => go(state.offset + kPageRows));
  const last = button('', 'Last \u00bb', () => go(lastOffset()));
  first.id = 'delayedFirst';
  previous.id = 'delayedPrevious';
  range.id = 'delayedRange';
  next.id = 'delayedNext';
  last.id = 'delayedLast';
  root.append(first, previous, range, next, last);
  return { root, first, previous, range, next, last };
}

// The view that stands where the window's Delayed grid is.
export function createDelayedView() {
  const root = make('div', 'delayedView');
  const tools = make('div', 'toolbar');
  const destination = select('delayedDestination', 'Destination', (value) => {
    state.destination = value;
    go(0);
  });
  const order = select('delayedOrder', 'Order', (value) => {
    state.order = value;
    go(0);
  });
  order.box.append(option('newest', 'Newest first'), option('oldest', 'Oldest first'));
  const refresh = button('', 'Refresh', () => go(state.offset));
  refresh.id = 'delayedRefresh';
  const pager = createPager();
  tools.append(destination.root, order.root, refresh, pager.root);
  const table = make('table', 'list packets');
  table.id = 'delayedRows';
  const head = make('tr');
  for (const heading of ['ID', 'Destination', 'Created', 'Packet'])
    head.append(make('th', '', heading));
  const thead = make('thead');
  thead.append(head);
  const body = make('tbody');
  table.append(thead, body);
  const box = make('div', 'listBox');
  box.append(table);
  root.append(tools, box);
  view = { root, destination: destination.box, order: order.box, pager, body };
  return view;
}

const lastOffset = () => Math.max(0, Math.floor((state.total - 1) / kPageRows) * kPageRows);

function query() {
  const parameters = new URLSearchParams({
    destination: state.destination,
    offset: String(state.offset),
    limit: String(kPageRows),
    order: state.order,
  });
  return '/api/delayed?' + parameters.toString();
}

// The destinations with their counts; the one chosen stays even when its
// last row has gone, so the view does not jump to another.
function showCounts(counts, total) {
  const entries = Object.entries(counts || {}).sort(([a], [b]) => a.localeCompare(b));
  const all = entries.reduce((sum, [, rows]) => sum + Number(rows), 0);
  const options = [option('', 'All destinations (' + (entries.length ? all : total) + ')')];
  for (const [name, rows] of entries) options.push(option(name, name + ' (' + rows + ')'));
  if (state.destination && !(state.destination in (counts || {})))
    options.push(option(state.destination, state.destination + ' (0)'));
  // The same destinations: only their counts change, and an open list stays open.
  const shown = Array.from(view.destination.options);
  if (shown.map((o) => o.value).join('\u0000') === options.map((o) => o.value).join('\u0000'))
    options.forEach((o, i) => setText(shown[i], o.textContent));
  else view.destination.replaceChildren(...options);
  view.destination.value = state.destination;
}

// As the relay's logs write times: its own clock, to the millisecond.
const createdText = (iso) => (iso ? iso.substring(0, 23).replace('T', ' ') : '');

function showRows(rows) {
  const lines = rows.map((row) => {
    const line = make('tr');
    line.dataset.id = String(row.id);
    for (const value of [row.id, row.destination, createdText(row.created), row.packet])
      line.append(make('td', '', value == null ? '' : String(value)));
    line.cells[2].title = row.created || '';
    return line;
  });
  view.body.replaceChildren(...lines);
}

function showPager(shown) {
  const { pager } = view;
  const from = shown ? state.offset + 1 : 0;
  setText(pager.range, 'Rows ' + from + '\u2013' + (state.offset + shown) + ' of ' + state.total);
  pager.first.disabled = pager.previous.disabled = state.offset === 0;
  pager.next.disabled = pager.last.disabled = state.offset + kPageRows >= state.total;
}

async function go(offset) {
  if (!view) return;
  state.offset = Math.max(0, offset);
  const mine = ++asked;
  const answer = await getJson(query());
  if (!answer || mine !== asked) return;
  state.total = Number(answer.total) || 0;
  // Rows went (sent, deleted) and this page is past the end: show the last one.
  if (state.offset > 0 && state.offset >= state.total) {
    go(lastOffset());
    return;
  }
  showCounts(answer.counts, state.total);
  const rows = Array.isArray(answer.rows) ? answer.rows : [];
  showRows(rows);
  showPager(rows.length);
}

// Reads the page shown again (the tab opened, the store changed).
export function refreshDelayed() {
  go(state.offset);
}
