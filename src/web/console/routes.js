// The Routes page: which outputs and publishers would get a page, as the
// Outputs and Publishers grids hold their routes now, an edit not yet
// committed too. An operator checks a route here before committing it.
'use strict';

import { field, input, listTable, make, setText } from '/dom.js';
import { getJson } from '/api.js';

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
  panel.append(make('h2', '', 'Test this route'), form, note, box);
  view = { address, fn, text, note, body: table.body };
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
