// Which page this browser shows. The choice is this browser's alone: it is
// never sent to the relay, so no other viewer and not the window move with
// it. It is kept in the address (#alarms, #tab1, ...) so that a reload or a
// bookmark opens the same page.
'use strict';

const kFirstPage = 'overview';

const pages = new Map(); // key -> { tab, panel, shown }
let current = '';
let wanted = ''; // the page the address named at load, until it exists

// `shown` runs each time the page is opened.
export function addPage(key, tab, panel, shown) {
  pages.set(key, { tab, panel, shown });
  tab.dataset.page = key;
  tab.setAttribute('role', 'tab');
  panel.setAttribute('role', 'tabpanel');
  tab.addEventListener('click', () => showPage(key));
  if (key === wanted) showPage(key);
  else if (key === current) mark(key);
  else panel.hidden = true;
}

export function removePage(key) {
  pages.delete(key);
}

export const isShown = (key) => current === key;

function mark(key) {
  for (const [name, page] of pages) {
    const on = name === key;
    page.tab.classList.toggle('active', on);
    page.tab.setAttribute('aria-selected', String(on));
    page.panel.hidden = !on;
  }
}

export function showPage(key) {
  if (key === wanted || pages.has(key)) wanted = '';
  if (!pages.has(key)) key = kFirstPage;
  if (!pages.has(key)) return;
  const changed = key !== current;
  current = key;
  mark(key);
  if (changed && location.hash !== '#' + key) history.replaceState(null, '', '#' + key);
  if (changed && pages.get(key).shown) pages.get(key).shown();
}

function addressedPage() {
  return location.hash.length > 1 ? decodeURIComponent(location.hash.substring(1)) : kFirstPage;
}

// Opens the page the address names; the window's tabs come with the first
// model, so one of them opens when it is added.
export function startNavigation() {
  const key = addressedPage();
  showPage(key);
  if (current !== key) wanted = key;
  window.addEventListener('hashchange', () => showPage(addressedPage()));
}
