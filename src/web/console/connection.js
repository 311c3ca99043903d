// The live feed from the relay: one WebSocket that carries the window model
// and, in messages of their own, the overview. When it drops, the page says
// so across its full width and greys every value until fresh data arrives,
// so that a stopped relay never looks live; it dials again with backoff.
'use strict';

import { byId, localTime, setText } from '/dom.js';

const kFirstRetry = 1000; // milliseconds before the first reconnection
const kLongestRetry = 30000; // ... doubling up to this

let retry = kFirstRetry;
let droppedAt = null; // when the feed was lost (this browser's clock); null while live
let handlers = null;

function showLive() {
  const connection = byId('connection');
  setText(connection, 'Live');
  connection.className = 'live';
}

// Every value shown is from before the drop: the banner names its time.
function markStale() {
  if (!droppedAt) droppedAt = new Date();
  setText(
    byId('staleText'),
    'Not connected to the relay since ' + localTime(droppedAt) + ' \u2014 retrying'
  );
  byId('stale').hidden = false;
  document.body.classList.add('stale');
  const connection = byId('connection');
  connection.className = 'lost';
  setText(connection, 'Connection lost; trying again in ' + retry / 1000 + ' s');
}

function markFresh() {
  if (!droppedAt && !document.body.classList.contains('stale')) return;
  droppedAt = null;
  byId('stale').hidden = true;
  document.body.classList.remove('stale');
}

function received(text) {
  let message;
  try {
    message = JSON.parse(text);
  } catch (error) {
    return; // not JSON: nothing the page can show
  }
  markFresh();
  // A message with an "overview" key is never a window model.
  if (message && Object.prototype.hasOwnProperty.call(message, 'overview'))
    handlers.overview(message.overview);
  else handlers.window(message);
}

function connect() {
  const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
  const socket = new WebSocket(scheme + location.host + '/ws');
  socket.addEventListener('open', () => {
    retry = kFirstRetry;
    showLive();
    handlers.opened();
  });
  socket.addEventListener('message', (event) => received(event.data));
  socket.addEventListener('close', () => {
    markStale();
    setTimeout(reconnect, retry);
    retry = Math.min(retry * 2, kLongestRetry);
  });
}

// A closed socket may mean an ended session: then the login page, not a retry.
async function reconnect() {
  try {
    const answer = await fetch('/api/window', { credentials: 'same-origin' });
    if (answer.status === 401) {
      location.assign('/');
      return;
    }
  } catch (error) {
    // The relay is not answering yet: the socket's next close retries later.
  }
  connect();
}

// `feed` has window(model), overview(data) and opened() (the socket is up;
// data that may not come by itself is fetched then).
export function startFeed(feed) {
  handlers = feed;
  connect();
}
