// Paging through a search that answers newest first, a page at a time, as
// the history and the audit do: each answer names the id to ask "before" for
// the older ones, so a page costs the relay the same however deep it is.
// "Newer" goes back along the ids already seen.
'use strict';

import { button, make, setText } from '/dom.js';

// `go(before)` reads the page of rows older than `before` ('' for the newest).
export function createOlderPager(idPrefix, go) {
  const root = make('div', 'pager');
  const state = { befores: [''], next: null };
  const newest = button('', '\u00ab Newest', () => {
    state.befores = [''];
    go('');
  });
  const newer = button('', '\u2039 Newer', () => {
    if (state.befores.length > 1) state.befores.pop();
    go(state.befores[state.befores.length - 1]);
  });
  const range = make('span', 'range');
  const older = button('', 'Older \u203a', () => {
    if (state.next == null) return;
    state.befores.push(String(state.next));
    go(String(state.next));
  });
  newest.id = idPrefix + 'Newest';
  newer.id = idPrefix + 'Newer';
  range.id = idPrefix + 'Range';
  older.id = idPrefix + 'Older';
  root.append(newest, newer, range, older);

  // Shows what the last read found: `shown` rows, `next` from its answer.
  function shown(rows, next) {
    state.next = next;
    const page = state.befores.length;
    setText(range, rows === 0 ? 'Nothing found' : 'Page ' + page + ', ' + rows +
      (rows === 1 ? ' row' : ' rows'));
    newest.disabled = newer.disabled = page === 1;
    older.disabled = next == null;
  }

  // A new search starts at the newest rows.
  function restart() {
    state.befores = [''];
    state.next = null;
  }

  return { root, shown, restart, before: () => state.befores[state.befores.length - 1] };
}
