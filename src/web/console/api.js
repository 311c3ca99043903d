// The console's HTTP interface as the pages use it: reads (JSON), commands,
// the status line that shows their refusals, and who is signed in.
'use strict';

import { byId, setText } from '/dom.js';

const kReadOnlyRole = 'viewer';

export const session = { name: '', role: 'operator' };

export const readOnly = () => session.role === kReadOnlyRole;

export function setStatus(text, isError) {
  const status = byId('status');
  setText(status, text);
  status.classList.toggle('error', Boolean(isError));
}

// An ended session (the relay restarted, a logout elsewhere) goes back to the
// login page rather than showing errors.
function signedOut(answer) {
  if (answer.status !== 401) return false;
  location.assign('/');
  return true;
}

async function reason(answer) {
  try {
    return (await answer.json()).error || answer.statusText;
  } catch (error) {
    return answer.statusText; // a body that is not JSON: the status text says enough
  }
}

// The refusal as the operator reads it; a viewer's says plainly why.
async function refusal(answer) {
  const why = await reason(answer);
  if (answer.status === 403 && why === 'read-only account')
    return 'Refused (403): read-only account; this account may look but not act';
  return 'Refused (' + answer.status + '): ' + why;
}

// The JSON a GET answers, or null (the reason is in the status line).
export async function getJson(path) {
  let answer;
  try {
    answer = await fetch(path, { credentials: 'same-origin' });
  } catch (error) {
    return null; // the relay is not answering: the connection banner says so
  }
  if (signedOut(answer)) return null;
  if (!answer.ok) {
    setStatus('Cannot read ' + path.split('?')[0] + ': ' + (await refusal(answer)), true);
    return null;
  }
  return answer.json();
}

// Posts `body` as JSON; true when the server took it. A refusal is shown in
// the status line with the server's reason, unless `quiet`.
export async function post(path, body, quiet) {
  let answer;
  try {
    answer = await fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
      credentials: 'same-origin',
    });
  } catch (error) {
    setStatus('Not sent (' + error.message + '): ' + JSON.stringify(body), true);
    return false;
  }
  if (signedOut(answer)) return false;
  if (answer.ok) {
    setStatus('');
    return true;
  }
  if (!quiet) setStatus(await refusal(answer), true);
  return false;
}

// Commands go one at a time, in the order given: a cell's new value reaches
// the relay before the Commit clicked straight after it.
let commands = Promise.resolve();

export function command(body, quiet) {
  const sent = commands.then(() => post('/api/command', body, quiet));
  commands = sent;
  return sent;
}

// Who is signed in. A relay that does not say is taken to give every right:
// its own checks refuse what the account may not do.
export async function loadSession() {
  const answer = await getJson('/api/session');
  if (answer) {
    session.name = answer.name || '';
    session.role = answer.role || 'operator';
  }
  setStatus('');
  return session;
}
