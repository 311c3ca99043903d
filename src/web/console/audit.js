// The Audit page: who did what at the relay, newest first. Console logins
// (and failed ones, and lock-outs), logouts, and every operator command from
// the window or a console, searched by a piece of text and a time range.
'use strict';

import { field, input, make, rangeTime, relayMoment, setText } from '/dom.js';
import { getJson } from '/api.js';
import { createOlderPager } from '/older-pager.js';

const kPageRows = 50;

let view = null;
let asked = 0;
let opened = false;

export function createAudit(panel) {
  const form = make('form', 'toolbar');
  form.id = 'auditForm';
  const text = input('auditText', 'search', 'operator, address, action or command');
  const from = input('auditFrom', 'datetime-local');
  const to = input('auditTo', 'datetime-local');
  from.step = to.step = '1';
  const search = make('button', '', 'Search');
  search.type = 'submit';
  search.id = 'auditSearch';
  form.append(field('Text', text), field('From', from), field('To', to), search);
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    view.pager.restart();
    read('');
  });
  const pager = createOlderPager('audit', (before) => read(before));
  const heading = make('div', 'toolbar');
  heading.append(make('h2', '', 'Who did what'), pager.root);
  const note = make('p', 'note');
  note.id = 'auditNote';
  const list = make('table', 'list');
  list.id = 'auditRows';
  const head = make('tr');
  for (const title of ['Time', 'Operator', 'Address', 'Action', 'Detail'])
    head.append(make('th', '', title));
  const thead = make('thead');
  thead.append(head);
  const body = make('tbody');
  list.append(thead, body);
  const box = make('div', 'listBox');
  box.append(list);
  panel.append(form, heading, note, box);
  view = { text, from, to, pager, note, body };
}

function auditRow(row) {
  const line = make('tr');
  line.dataset.id = String(row.id);
  for (const value of [relayMoment(row.time), row.operator, row.address, row.action, row.detail])
    line.append(make('td', '', value == null ? '' : String(value)));
  line.cells[0].title = row.time || '';
  return line;
}

async function read(before) {
  const values = {
    text: view.text.value.trim(),
    from: rangeTime(view.from.value),
    to: rangeTime(view.to.value),
    limit: String(kPageRows),
    before,
  };
  for (const key of Object.keys(values)) if (!values[key]) delete values[key];
  const mine = ++asked;
  setText(view.note, 'Searching\u2026');
  const answer = await getJson('/api/audit?' + new URLSearchParams(values).toString());
  if (mine !== asked) return;
  if (!answer) {
    setText(view.note, '');
    return;
  }
  const rows = Array.isArray(answer.rows) ? answer.rows : [];
  view.body.replaceChildren(...rows.map(auditRow));
  view.pager.shown(rows.length, answer.next);
  setText(view.note, rows.length === 0 ? 'Nothing matches' : '');
}

export function auditShown() {
  if (!opened) read('');
  opened = true;
}
