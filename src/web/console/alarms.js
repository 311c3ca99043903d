// The alarm list: every warning the relay raised, repeats of one code for one
// entry as one alarm with a count, first and last seen. An operator
// acknowledges an alarm here; acknowledged and cleared alarms leave the
// active list ("all" shows them too). A new alarm (an id this page has not
// seen) is announced as the operator chose (see alarm-notices.js).
'use strict';

import { button, cell, fillKeyed, keyedTable, make, relayTime, setText, today } from '/dom.js';
import { getJson, post, readOnly, setStatus } from '/api.js';
import { isShown } from '/navigation.js';
import * as notices from '/alarm-notices.js';

const kLeastGap = 1000; // milliseconds between two reads of the list
const kShownEvery = 5000; // ... read this often while the list is on screen
const kWatchEvery = 30000; // ... and this often while a notice is on

let view = null;
let seen = new Set(); // alarm ids this page knows
let primed = false; // the first list only teaches the ids: a reload announces nothing
let knownActive = null;
let reading = null; // the read in progress
let again = false; // another read was asked for meanwhile
let lastRead = 0;

const isActive = (alarm) => !alarm.acknowledgedAt && !alarm.clearedAt;

function switchBox(id, caption, checked, onChange) {
  const root = make('label', 'check');
  const box = make('input');
  box.type = 'checkbox';
  box.id = id;
  box.checked = checked;
  box.addEventListener('change', () => onChange(box));
  root.append(box, make('span', '', caption));
  return { root, box };
}

function createSwitches(tools) {
  const notify = switchBox('alarmNotify', 'Browser notification for a new alarm',
    notices.notificationsOn(), async (box) => {
      if (!(await notices.setNotifications(box.checked)) && box.checked) {
        box.checked = false;
        setStatus('This browser does not allow notifications from this page' +
          (window.isSecureContext ? '' : ' (they need HTTPS)'), true);
      }
    });
  const sound = switchBox('alarmSound', 'Sound for a new alarm', notices.soundOn(), (box) =>
    notices.setSound(box.checked));
  tools.append(notify.root, sound.root);
}

export function createAlarms(panel, tab) {
  const tools = make('div', 'toolbar');
  const all = switchBox('alarmsAll', 'Show acknowledged and cleared alarms too', false, () =>
    refreshAlarms(true));
  const count = make('span', 'count');
  count.id = 'alarmsCount';
  tools.append(all.root, count, make('span', 'spacer'));
  createSwitches(tools);
  const list = keyedTable('list alarms', ['Code', 'Entry', 'Text', 'Count', 'First seen',
    'Last seen', 'Acknowledged', 'Cleared', '']);
  list.table.id = 'alarmList';
  const empty = make('p', 'note', 'No active alarms');
  empty.id = 'alarmsEmpty';
  const box = make('div', 'listBox');
  box.append(list.table, empty);
  panel.append(tools, box);
  const badge = make('span', 'badge');
  badge.id = 'alarmsBadge';
  tab.append(' ', badge);
  view = { all: all.box, count, list, empty, badge };
  notices.wakeSoundOnGesture();
  setInterval(watch, kShownEvery);
}

// A repeat changes no count the overview shows: the list is read anyway.
function watch() {
  const noticing = notices.soundOn() || notices.notificationsOn();
  if (isShown('alarms') || (noticing && Date.now() - lastRead >= kWatchEvery)) refreshAlarms(false);
}

function acknowledgedText(alarm, day) {
  if (!alarm.acknowledgedAt) return '';
  return (alarm.acknowledgedBy || '') + ' at ' + relayTime(alarm.acknowledgedAt, day);
}

async function acknowledge(alarm, control) {
  control.disabled = true;
  if (await post('/api/alarms/' + encodeURIComponent(alarm.id) + '/ack', {}))
    setStatus('Alarm ' + alarm.code + ' ' + (alarm.entry ?? '') + ' acknowledged');
  else control.disabled = false;
  refreshAlarms(true);
}

function fillAlarm(row, alarm, day) {
  row.id = 'alarm' + alarm.id;
  row.classList.toggle('acknowledged', Boolean(alarm.acknowledgedAt));
  row.classList.toggle('cleared', Boolean(alarm.clearedAt));
  setText(cell(row, 'code'), alarm.code);
  setText(cell(row, 'entry'), alarm.entry);
  setText(cell(row, 'text'), alarm.text);
  setText(cell(row, 'count'), alarm.count);
  for (const name of ['firstSeen', 'lastSeen', 'clearedAt']) {
    setText(cell(row, name), relayTime(alarm[name], day));
    cell(row, name).title = alarm[name] || '';
  }
  setText(cell(row, 'acknowledged'), acknowledgedText(alarm, day));
  const actions = cell(row, 'actions');
  let control = actions.firstChild;
  if (!control) {
    control = button('ack', 'Acknowledge', () => acknowledge(row.alarm, control));
    actions.append(control);
  }
  row.alarm = alarm;
  control.hidden = Boolean(alarm.acknowledgedAt);
  control.disabled = readOnly();
  control.title = readOnly() ? 'read-only account' : '';
}

function showCount(active) {
  knownActive = active;
  setText(view.badge, active > 0 ? active : '');
  setText(view.count, active === 1 ? '1 active alarm' : active + ' active alarms');
}

function render(alarms) {
  const day = today();
  fillKeyed(view.list, alarms, (alarm) => String(alarm.id),
    ['code', 'entry', 'text', 'count', 'firstSeen', 'lastSeen', 'acknowledged', 'clearedAt',
      'actions'], (row, alarm) => fillAlarm(row, alarm, day));
  view.list.table.hidden = alarms.length === 0;
  setText(view.empty, view.all.checked ? 'No alarms' : 'No active alarms');
  view.empty.hidden = alarms.length > 0;
}

function learn(alarms) {
  for (const alarm of alarms) {
    if (seen.has(alarm.id)) continue;
    seen.add(alarm.id);
    if (primed && isActive(alarm)) notices.announce(alarm);
  }
  primed = true;
}

async function read() {
  lastRead = Date.now();
  const all = view.all.checked;
  const alarms = await getJson('/api/alarms?state=' + (all ? 'all' : 'active'));
  if (!Array.isArray(alarms)) return;
  learn(alarms);
  showCount(alarms.filter(isActive).length);
  render(alarms);
}

// Reads the list again, at most once a second; `now` for what the operator did.
export async function refreshAlarms(now) {
  if (!view) return;
  if (reading) {
    again = true;
    return;
  }
  const wait = now ? 0 : Math.max(0, lastRead + kLeastGap - Date.now());
  reading = new Promise((done) => setTimeout(done, wait)).then(read);
  try {
    await reading;
  } finally {
    reading = null;
  }
  const more = again;
  again = false;
  if (more) refreshAlarms(false);
}

// Each overview tells how many alarms are active: the list is read again
// when it is on screen, or when that number moved (a new alarm to announce).
export function alarmsOverview(active) {
  if (!view || active == null) return;
  if (isShown('alarms') || active !== knownActive) refreshAlarms(false);
  if (knownActive === null) showCount(active);
}

export function alarmsShown() {
  refreshAlarms(true);
}
