// Small helpers every page of the console uses to make and update elements.
// Texts go in through textContent or value, never as HTML: much of what the
// console shows (log lines, packets, alarm texts) came from clients and carriers.
'use strict';

export const byId = (id) => document.getElementById(id);

export function make(tag, className, text) {
  const element = document.createElement(tag);
  if (className) element.className = className;
  if (text !== undefined) element.textContent = text;
  return element;
}

export function button(className, caption, onClick) {
  const element = make('button', className, caption);
  element.type = 'button';
  if (onClick) element.addEventListener('click', onClick);
  return element;
}

// Writes only when the text differs: each write costs a layout.
export function setText(element, text) {
  const wanted = text == null ? '' : String(text);
  if (element.textContent !== wanted) element.textContent = wanted;
}

export function setValue(element, text) {
  const wanted = text == null ? '' : String(text);
  if (element.value !== wanted) element.value = wanted;
}

// Log lines end in CR LF; other control bytes (a packet's STX, CR, ETX, ...)
// are shown by name, as the window's grids show them, one log line a line.
const kControlNames = ['NUL', 'SOH', 'STX', 'ETX', 'EOT', 'ENQ', 'ACK', 'BEL', 'BS', 'HT', 'LF',
  'VT', 'FF', 'CR', 'SO', 'SI', 'DLE', 'DC1', 'DC2', 'DC3', 'DC4', 'NAK', 'SYN', 'ETB', 'CAN', 'EM',
  'SUB', 'ESC', 'FS', 'GS', 'RS', 'US'];

function controlName(c) {
  const code = c.charCodeAt(0);
  return '<' + (code < 32 ? kControlNames[code] : 'x' + code.toString(16)) + '>';
}

export const asLines = (text) =>
  (text || '').replace(/\r\n/g, '\n').replace(/[\x00-\x08\x0b-\x1f\x7f-\x9f]/g, controlName);

// The relay's times come as ISO 8601 with its UTC offset and are shown as the
// relay's clock read them, as its logs do: the time of day, with the date in
// front when it is not the relay's today (taken from `today`, an ISO text).
export function relayTime(iso, today) {
  if (!iso) return '';
  const date = iso.substring(0, 10);
  const time = iso.substring(11, 19);
  return today && date === String(today).substring(0, 10) ? time : date + ' ' + time;
}

const two = (n) => String(n).padStart(2, '0');

// hh:mm:ss of this browser's clock.
export function localTime(moment) {
  return two(moment.getHours()) + ':' + two(moment.getMinutes()) + ':' + two(moment.getSeconds());
}

// This browser's date as yyyy-mm-dd: a relay time of that day shows no date.
export function today() {
  const now = new Date();
  return now.getFullYear() + '-' + two(now.getMonth() + 1) + '-' + two(now.getDate());
}

// A table of class `className` with one heading row; rows go into `body`.
function headedTable(className, headings) {
  const table = make('table', className);
  const head = make('tr');
  for (const heading of headings) head.append(make('th', '', heading));
  const thead = make('thead');
  thead.append(head);
  const body = make('tbody');
  table.append(thead, body);
  return { table, body };
}

// A results table, `id` for the page's tests and styles.
export function listTable(id, headings) {
  const { table, body } = headedTable('list', headings);
  table.id = id;
  return { element: table, body };
}

// A table whose rows are keyed, so that a live update changes cells in place
// and the operator's selection or scroll position survives it.
export function keyedTable(className, headings) {
  return { ...headedTable(className, headings), rows: new Map() };
}

// Gives the keyed table exactly `items`, in their order; `fill(row, item)`
// writes one row's cells, which `cells` made (class names, one cell each).
export function fillKeyed(view, items, keyOf, cells, fill) {
  const wanted = new Set();
  items.forEach((item, index) => {
    const key = keyOf(item);
    wanted.add(key);
    let row = view.rows.get(key);
    if (!row) {
      row = make('tr');
      row.dataset.key = key;
      for (const name of cells) row.append(make('td', name));
      view.rows.set(key, row);
    }
    if (view.body.rows[index] !== row) view.body.insertBefore(row, view.body.rows[index] || null);
    fill(row, item);
  });
  for (const [key, row] of view.rows)
    if (!wanted.has(key)) {
      row.remove();
      view.rows.delete(key);
    }
}

export const cell = (row, name) => row.querySelector(':scope > .' + name);

// A search form's labelled field.
export function field(label, input) {
  const root = make('label', 'field');
  root.append(make('span', '', label), input);
  return root;
}

export function input(id, type, placeholder) {
  const element = make('input');
  element.id = id;
  element.type = type;
  if (placeholder) element.placeholder = placeholder;
  return element;
}

// A time of a search's range as the relay takes it: ISO 8601 without an
// offset is the relay's local time (a browser's datetime-local may leave
// out the seconds).
export const rangeTime = (value) => (value && value.length === 16 ? value + ':00' : value || '');

// A moment as the relay's logs write it: its own clock, to the millisecond.
export const relayMoment = (iso) => (iso ? iso.substring(0, 23).replace('T', ' ') : '');
