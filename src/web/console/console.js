// The web console: an overview first, the alarm list, the window's six tabs,
// the logs, the history of pages, the audit and the route test, fed live by one WebSocket. Each page lives in a module of its
// own; this one puts them on the page and routes the feed to them.
'use strict';

import { byId, setText } from '/dom.js';
import { getJson, loadSession, readOnly, session } from '/api.js';
import { addPage, showPage, startNavigation } from '/navigation.js';
import { startFeed } from '/connection.js';
import { createOverview, renderOverview } from '/overview.js';
import { alarmsOverview, alarmsShown, createAlarms } from '/alarms.js';
import { createLogs, logsShown } from '/logs.js';
import { createHistory, historyShown } from '/history.js';
import { auditShown, createAudit } from '/audit.js';
import { createRoutes } from '/routes.js';
import { renderWindow, startWindow, storeChanged } from '/window.js';

let storedRows = null;

function overview(data) {
  if (!data) return;
  renderOverview(data);
  alarmsOverview(data.alarms);
  const rows = data.store ? data.store.rows : null;
  if (rows !== storedRows) {
    storedRows = rows;
    storeChanged();
  }
}

// The relay sends the overview on a socket's open; it is read over HTTP too,
// so that the page is filled at once even before the first change.
async function opened() {
  overview(await getJson('/api/overview'));
}

function showAccount() {
  setText(byId('account'), session.name ? session.name + (readOnly() ? ' (viewer)' : '') : '');
  document.body.classList.toggle('readOnly', readOnly());
}

async function start() {
  createOverview(byId('pageOverview'), () => showPage('alarms'));
  createAlarms(byId('pageAlarms'), byId('tabAlarms'));
  createLogs(byId('pageLogs'));
  createHistory(byId('pageHistory'));
  createAudit(byId('pageAudit'));
  createRoutes(byId('pageRoutes'));
  addPage('overview', byId('tabOverview'), byId('pageOverview'), null);
  addPage('alarms', byId('tabAlarms'), byId('pageAlarms'), alarmsShown);
  addPage('logs', byId('tabLogs'), byId('pageLogs'), logsShown);
  addPage('history', byId('tabHistory'), byId('pageHistory'), historyShown);
  addPage('audit', byId('tabAudit'), byId('pageAudit'), auditShown);
  addPage('routes', byId('tabRoutes'), byId('pageRoutes'), null);
  startNavigation();
  startWindow();
  // The account's rights decide which controls work: known before the first model.
  await loadSession();
  showAccount();
  startFeed({ window: renderWindow, overview, opened });
}

start();
