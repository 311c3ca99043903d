// The Routes page: which outputs and publishers would get a page, as the
// Outputs and Publishers grids hold their routes now, an edit not yet
// committed too. An operator checks a route here before committing it. The
// Aliases table that routes name goes out and comes in here as CSV.
'use strict';

import { field, input, listTable, make, setText } from '/dom.js';
import { getJson, readOnly, setStatus } from '/api.js';

let view = null;

export function createRoutes(panel) {
  const form = make('form', 'toolbar');
  form.id = 'routeTestForm';
  const address = input('routeAddress', 'text', 'address, e.g. 1234567');
  address.inputMode = 'numeric';
  const fn = make('select');
  fn.id = 'routeFunction';
  for (const letter of ['', 'A', 'B', 'C', 'D']) {
    const option = make('option', '', letter || 'any');
    option.value = letter;
    fn.append(option);
  }
  const text = input('routeText', 'text', 'the page\'s text');
  const test = make('button', '', 'Test this route');
  test.type = 'submit';
  test.id = 'routeTest';
  form.append(field('Address', address), field('Function', fn), field('Text', text), test);
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    run();
  });
  const note = make('p', 'note');
  note.id = 'routeNote';
  const table = listTable('routeVerdicts', ['Destination', 'Gets the page', 'Route problem']);
  const box = make('div', 'listBox');
  box.append(table.element);
  panel.append(make('h2', '', 'Test this route'), form, note, box, aliasesCsv());
  view = { address, fn, text, note, body: table.body };
}

// Export is a link to the file; import sends the chosen file as it is, and
// the relay takes all of its rows or none.
function aliasesCsv() {
  const bar = make('div', 'toolbar');
  const exported = make('a', '', 'Export aliases (CSV)');
  exported.id = 'aliasesExport';
  exported.href = '/api/aliases.csv';
  exported.download = 'aliases.csv';
  const file = input('aliasesFile', 'file');
  file.accept = '.csv,text/csv';
  const send = make('button', '', 'Import aliases');
  send.type = 'button';
  send.id = 'aliasesImport';
  send.disabled = readOnly();
  send.addEventListener('click', () => importAliases(file));
  bar.append(exported, field('CSV file', file), send);
  const section = make('section');
  section.append(make('h2', '', 'Aliases'), bar);
  return section;
}

async function importAliases(file) {
  if (!file.files.length) return setStatus('Choose a CSV file to import first', true);
  let answer;
  try {
    answer = await fetch('/api/aliases.csv', {
      method: 'POST', headers: { 'Content-Type': 'text/csv' },
      body: await file.files[0].arrayBuffer(), credentials: 'same-origin' });
  } catch (error) {
    return setStatus('Not sent (' + error.message + ')', true);
  }
  if (answer.ok) return setStatus('Aliases imported');
  const reason = await answer.json().catch(() => ({}));
  setStatus('Refused (' + answer.status + '): ' + (reason.error || answer.statusText), true);
}

function verdictRow(kind, row) {
  const line = make('tr');
  line.className = row.routed ? 'routed' : 'notRouted';
  line.append(make('td', '', kind + ' ' + row.description),
              make('td', '', row.routed ? 'yes' : 'no'),
              make('td', '', row.problem || ''));
  return line;
}

async function run() {
  const query = new URLSearchParams({
    address: view.address.value.trim(), function: view.fn.value, text: view.text.value });
  const answer = await getJson('/api/routes/test?' + query);
  if (!answer) return;
  const rows = [
    ...answer.outputs.map((row) => verdictRow('Output', row)),
    ...answer.publishers.map((row) => verdictRow('Publisher', row)),
  ];
  view.body.replaceChildren(...rows);
  const routed = [...answer.outputs, ...answer.publishers].filter((row) => row.routed);
  setText(view.note, routed.length
    ? 'Goes to: ' + routed.map((row) => row.description).join(', ')
    : 'No output or publisher would get this page.');
}
