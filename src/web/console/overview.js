// The overview, the console's first page: what a supervisor asks at a
// glance. Is the feed alive (each carrier, its pages over the last hour),
// which clients are connected and what each is owed, the brokers, the store,
// the active alarms and the relay's health. It is redrawn from each
// {"overview": ...} message of the live feed.
'use strict';

import { cell, fillKeyed, keyedTable, make, relayTime, setText, today } from '/dom.js';
import { createSparkline, drawSparkline } from '/sparkline.js';

let view = null;

function card(title, className) {
  const root = make('section', 'card' + (className ? ' ' + className : ''));
  const heading = make('h2', '', title);
  root.append(heading);
  return { root, heading };
}

function figure(label, id) {
  const root = make('div', 'figure');
  const value = make('span', 'value');
  value.id = id;
  root.append(value, make('span', 'label', label));
  return { root, value };
}

export function createOverview(panel, openAlarms) {
  const health = card('Health', 'wide');
  const healthStatus = make('span', 'badge');
  healthStatus.id = 'ovHealthStatus';
  health.heading.append(' ', healthStatus);
  const checks = keyedTable('list', ['Check', 'Status', 'State', 'Since']);
  checks.table.id = 'ovHealth';
  health.root.append(checks.table);

  const feed = card('Feed', 'wide');
  const carriers = keyedTable('list', ['Carrier', 'State', 'Since', 'Last frame', 'Pages 5 min',
    'Pages 1 h', 'Pages a minute, last hour']);
  carriers.table.id = 'ovCarriers';
  feed.root.append(carriers.table);

  const clients = card('Outputs', 'wide');
  const outputs = keyedTable('list', ['Output', 'State', 'Since', 'Sent today', 'Stored now',
    'Last page']);
  outputs.table.id = 'ovOutputs';
  clients.root.append(outputs.table);

  const brokers = card('Publishers');
  const publishers = keyedTable('list', ['Publisher', 'Connection', 'Pending']);
  publishers.table.id = 'ovPublishers';
  const noPublishers = make('p', 'note', 'No publishers');
  brokers.root.append(publishers.table, noPublishers);

  const store = card('Store');
  const rows = figure('packets stored', 'ovStoreRows');
  const oldest = make('p', 'note');
  oldest.id = 'ovStoreOldest';
  store.root.append(rows.root, oldest);

  const alarms = card('Alarms');
  const active = figure('active', 'ovAlarms');
  const show = make('a', 'more', 'Show the alarms');
  show.href = '#alarms';
  show.addEventListener('click', (event) => {
    event.preventDefault();
    openAlarms();
  });
  alarms.root.append(active.root, show);

  const cards = make('div', 'cards');
  cards.append(feed.root, clients.root, alarms.root, store.root, brokers.root, health.root);
  panel.append(cards);
  view = { healthStatus, checks, carriers, outputs, publishers, noPublishers, rows, oldest,
    active, alarmsCard: alarms.root };
}

// A time cell shows the relay's time of day and holds the whole text.
function setTime(element, iso, day) {
  setText(element, relayTime(iso, day));
  if ((element.title || null) !== (iso || null)) element.title = iso || '';
}

function stateCell(element, state, good) {
  setText(element, state);
  element.classList.toggle('good', good);
  element.classList.toggle('bad', !good);
}

function fillCarrier(row, carrier, day) {
  setText(cell(row, 'name'), carrier.description);
  stateCell(cell(row, 'state'), carrier.state, carrier.state === 'Connected');
  setTime(cell(row, 'since'), carrier.since, day);
  setTime(cell(row, 'lastFrame'), carrier.lastFrame, day);
  setText(cell(row, 'pages5m'), carrier.pages5m);
  setText(cell(row, 'pages1h'), carrier.pages1h);
  const spark = cell(row, 'spark');
  if (!spark.sparkline) {
    spark.sparkline = createSparkline();
    spark.append(spark.sparkline.root);
  }
  drawSparkline(spark.sparkline, carrier.perMinute);
}

function fillOutput(row, output, day) {
  setText(cell(row, 'name'), output.description);
  stateCell(cell(row, 'state'), output.state, output.state === 'Connected');
  setTime(cell(row, 'since'), output.since, day);
  setText(cell(row, 'sentToday'), output.sentToday);
  setText(cell(row, 'stored'), output.stored);
  cell(row, 'stored').classList.toggle('owed', Number(output.stored) > 0);
  setTime(cell(row, 'lastPage'), output.lastPage, day);
}

function fillPublisher(row, publisher) {
  setText(cell(row, 'name'), publisher.description);
  stateCell(cell(row, 'state'), publisher.connected ? 'Connected' : 'Not connected',
    Boolean(publisher.connected));
  setText(cell(row, 'pending'), publisher.pending);
}

function fillCheck(row, [name, check], day) {
  setText(cell(row, 'name'), name);
  stateCell(cell(row, 'status'), check.status, check.status === 'ok');
  setText(cell(row, 'detail'), check.state);
  setTime(cell(row, 'since'), check.since, day);
}

function renderHealth(health) {
  const status = (health && health.status) || 'unknown';
  setText(view.healthStatus, status);
  view.healthStatus.className = 'badge ' + status;
  const checks = Object.entries((health && health.checks) || {});
  const day = today();
  fillKeyed(view.checks, checks, ([name]) => name, ['name', 'status', 'detail', 'since'],
    (row, entry) => fillCheck(row, entry, day));
}

export function renderOverview(data) {
  if (!view || !data) return;
  const day = today();
  fillKeyed(view.carriers, data.carriers || [], (c) => c.description,
    ['name', 'state', 'since', 'lastFrame', 'pages5m', 'pages1h', 'spark'],
    (row, carrier) => fillCarrier(row, carrier, day));
  fillKeyed(view.outputs, data.outputs || [], (o) => o.description,
    ['name', 'state', 'since', 'sentToday', 'stored', 'lastPage'],
    (row, output) => fillOutput(row, output, day));
  const publishers = data.publishers || [];
  fillKeyed(view.publishers, publishers, (p) => p.description, ['name', 'state', 'pending'],
    fillPublisher);
  view.publishers.table.hidden = publishers.length === 0;
  view.noPublishers.hidden = publishers.length > 0;
  const store = data.store || {};
  setText(view.rows.value, store.rows);
  setText(view.oldest, store.oldest ? 'oldest ' + relayTime(store.oldest, day) : 'none waiting');
  setText(view.active.value, data.alarms);
  view.alarmsCard.classList.toggle('alarming', Number(data.alarms) > 0);
  renderHealth(data.health);
}
