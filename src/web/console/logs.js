// The Logs page: a search of the System log (today's file and its back-ups)
// by text, tag and time range, and the log files to download. The relay caps
// what a search returns and streams a download, so neither can be large.
'use strict';

import { button, listTable, make, relayTime, setText, today } from '/dom.js';
import { getJson } from '/api.js';

const kTags = ['Error', 'Input', 'Output'];

let view = null;
let filesRead = false;

function field(label, input) {
  const root = make('label', 'field');
  root.append(make('span', '', label), input);
  return root;
}

function input(id, type, placeholder) {
  const element = make('input');
  element.id = id;
  element.type = type;
  if (placeholder) element.placeholder = placeholder;
  return element;
}

function createSearch() {
  const form = make('form', 'toolbar');
  form.id = 'logSearchForm';
  const text = input('logText', 'search', 'text in the line');
  const tag = make('select');
  tag.id = 'logTag';
  const any = make('option', '', 'Any');
  any.value = '';
  tag.append(any);
  for (const name of kTags) tag.append(make('option', '', name));
  const from = input('logFrom', 'datetime-local');
  const to = input('logTo', 'datetime-local');
  from.step = to.step = '1';
  const search = make('button', '', 'Search');
  search.type = 'submit';
  search.id = 'logSearch';
  form.append(field('Text', text), field('Tag', tag), field('From', from), field('To', to), search);
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    runSearch();
  });
  return { form, text, tag, from, to };
}

export function createLogs(panel) {
  const search = createSearch();
  const results = listTable('logResults', ['File', 'Time', 'Tag', 'Text']);
  const note = make('p', 'note');
  note.id = 'logNote';
  const found = make('div', 'listBox logLines');
  found.append(results.element);
  const filesHead = make('div', 'toolbar');
  filesHead.append(make('h2', '', 'Log files'), button('', 'Refresh', () => readFiles()));
  const files = listTable('logFiles', ['File', 'Size', 'Changed', '']);
  const filesBox = make('div', 'listBox');
  filesBox.append(files.element);
  const title = make('h2', '', 'Search the System log');
  panel.append(title, search.form, note, found, filesHead, filesBox);
  view = { search, results: results.body, note, files: files.body };
}

// A time of the search's range as the relay takes it: ISO 8601 without an
// offset is the relay's local time.
const rangeTime = (value) => (value && value.length === 16 ? value + ':00' : value || '');

function rowOf(values) {
  const line = make('tr');
  for (const value of values) line.append(make('td', '', value == null ? '' : String(value)));
  return line;
}

// A line found: its file, its time (the relay's clock, as the file has it),
// its tag and its text.
function resultRow(result, day) {
  const line = rowOf([result.file, relayTime(result.time, day), result.tag, result.text]);
  line.cells[1].title = result.time || '';
  return line;
}

async function runSearch() {
  const { text, tag, from, to } = view.search;
  const parameters = new URLSearchParams({
    text: text.value,
    tag: tag.value,
    from: rangeTime(from.value),
    to: rangeTime(to.value),
  });
  setText(view.note, 'Searching\u2026');
  const answer = await getJson('/api/logs/search?' + parameters.toString());
  if (!answer) {
    setText(view.note, '');
    return;
  }
  const lines = answer.lines || [];
  const day = today();
  view.results.replaceChildren(...lines.map((line) => resultRow(line, day)));
  const capped = answer.truncated;
  setText(view.note, lines.length === 0 ? 'No line matches' :
    lines.length + (lines.length === 1 ? ' line' : ' lines') +
    (capped ? ' (the search stopped there: narrow it to see the rest)' : ''));
}

function size(bytes) {
  const value = Number(bytes);
  if (!Number.isFinite(value)) return '';
  if (value < 1024) return value + ' B';
  if (value < 1024 * 1024) return (value / 1024).toFixed(1) + ' KiB';
  return (value / 1024 / 1024).toFixed(1) + ' MiB';
}

function fileRow(file, day) {
  const name = file.name;
  const line = rowOf([name, size(file.size), relayTime(file.modified, day)]);
  const link = make('a', 'download', 'Download');
  link.href = '/api/logs/file?' + new URLSearchParams({ name }).toString();
  link.download = name.split('/').pop();
  const cell = make('td');
  cell.append(link);
  line.append(cell);
  return line;
}

async function readFiles() {
  const answer = await getJson('/api/logs/files');
  if (!answer) return;
  const day = today();
  const files = Array.isArray(answer) ? answer : [];
  view.files.replaceChildren(...files.map((file) => fileRow(file, day)));
}

export function logsShown() {
  if (!filesRead) readFiles();
  filesRead = true;
}
