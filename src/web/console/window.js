// The window's six tabs, as a second view of the relay's window model: the
// server pushes the whole model over the live feed after every change; the
// page updates only the elements whose state changed and sends the
// operator's actions back as commands, so a click here runs the same handler
// as a click in the window. Which tab is shown is this browser's own choice
// (see navigation.js). The Delayed tab's grid is replaced by a paged view of
// the store (delayed.js), which shows any number of rows.
'use strict';

import { asLines, button, byId, make, setText, setValue } from '/dom.js';
import { command, readOnly, setStatus } from '/api.js';
import { addPage, isShown, removePage } from '/navigation.js';
import { createDelayedView, refreshDelayed } from '/delayed.js';

const kFollowSlack = 8; // pixels: a pane scrolled this near its top follows new lines
const kDelayedGrid = 'dgDelayed';
const kReadOnlyTitle = 'read-only account';

let latest = null; // the model last received
let shown = null; // the model as rendered, control by control
let views = {}; // control name -> its elements and the state they show
let layoutKey = '';
let classicPages = [];

// The window's order of controls, tab by tab, which the layout follows: the
// model's keys come sorted by name. Controls not named here go last.
const kWindowOrder = [
  'dgTelstra', 'cmdOpenTelstra', 'cmdEnable', 'chkEnableLogs', 'txbBytesTotal', 'txbPointer',
  'txbLogTelstra', 'Label3', 'dgOutputs', 'cmdEditOuputs', 'cmdSendDummy', 'lbPublishers',
  'dgPublishers', 'cmdEditPublishers', 'txbLogOutputs', 'dgErrorCodes', 'lbWatches',
  'cmdEditWatches', 'dgWatches', 'txbLogErrors',
  'lbStartDate', 'dgStartup', 'cmdGeneralEdit', 'lbAliases', 'dgAliases', 'cmdEditAliases',
  'cmdDeleteDelayed', 'dgDelayed',
  'frmeBatchControl', 'chkInsertBatch', 'lbControl', 'lbTest', 'lbF1', 'lbF2', 'lbSATBufferCtr',
  'txbSATBufferCtr', 'lbTxData', 'txbSatDecoder',
];

// A viewer's account gives no command: its controls are shown, disabled.
function allowCommands(control, enabled) {
  control.disabled = !enabled || readOnly();
  if (readOnly()) control.title = kReadOnlyTitle;
}

// Deleting the stored packets cannot be undone: the operator says so first,
// and the relay refuses the command without it.
function click(name) {
  if (name === 'cmdDeleteDelayed') {
    const count = latest ? latest.storedPackets : 0;
    if (!window.confirm('Delete all ' + count + ' stored packets? They will not be sent.')) return;
    command({ click: name, confirm: true });
    return;
  }
  command({ click: name });
}

// The Input tab says so while no carrier is connected.
function markCarrier(model) {
  const index = (model.tabs || []).indexOf('Input');
  const tab = byId('tab' + index);
  if (!tab) return;
  const none = model.carrierConnected === false;
  setText(tab, model.tabs[index] + (none ? ' \u26a0 no carrier' : ''));
  tab.classList.toggle('noCarrier', none);
}

export function renderWindow(model) {
  latest = model;
  const key = JSON.stringify([Object.keys(model.controls), model.tabs, model.menus]);
  if (key !== layoutKey) {
    build(model);
    layoutKey = key;
    shown = null;
  }
  const before = shown || { controls: {} };
  if (model.caption !== before.caption) {
    document.title = model.caption;
    setText(byId('caption'), model.caption);
  }
  for (const [name, control] of Object.entries(model.controls))
    if (views[name]) update(name, views[name], control);
  if (model.carrierConnected !== before.carrierConnected) markCarrier(model);
  renderBoxes(model);
  shown = model;
}

function build(model) {
  views = {};
  buildMenus(model.menus || []);
  const tabs = byId('classicTabs');
  const panels = byId('classicPanels');
  tabs.replaceChildren();
  panels.replaceChildren();
  for (const key of classicPages) removePage(key);
  classicPages = [];
  const places = (model.tabs || []).map((caption, index) => {
    const tab = button('tab', caption);
    tab.id = 'tab' + index;
    tabs.append(tab);
    const panel = make('section', 'panel');
    panel.id = 'panel' + index;
    const groups = make('div', 'groups');
    const panes = make('div', 'panes');
    panel.append(groups, panes);
    panels.append(panel);
    return { groups, panes, group: null, tab, panel };
  });
  const names = kWindowOrder.filter((name) => name in model.controls);
  names.push(...Object.keys(model.controls).filter((name) => !kWindowOrder.includes(name)));
  // Controls off the tabs belong to the warning and info boxes: see renderBoxes.
  const placed = names.filter((name) => places[model.controls[name].tab]);
  for (const name of placed) views[name] = create(name, model.controls[name]);
  placed.forEach((name, index) => {
    const control = model.controls[name];
    const frame = views[control.container];
    if (frame) frame.body.append(views[name].root);
    else arrange(places[control.tab], views[name], control, model.controls[placed[index + 1]]);
  });
  // Registered last: the page the address names may open at once.
  places.forEach((place, index) => {
    const key = 'tab' + index;
    const holdsDelayed = views[kDelayedGrid] && model.controls[kDelayedGrid].tab === index;
    addPage(key, place.tab, place.panel, holdsDelayed ? refreshDelayed : null);
    classicPages.push(key);
  });
}

// The store changed: the Delayed view, when on screen, reads its page again.
export function storeChanged() {
  const delayed = latest && latest.controls[kDelayedGrid];
  if (delayed && isShown('tab' + delayed.tab)) refreshDelayed();
}

// A tab reads as groups (an optional heading, a grid, the buttons beside it)
// with its log pane below, in the window's order of controls.
function arrange(place, view, control, next) {
  if (control.kind === 'textbox' && control.multiline) {
    place.panes.append(view.root);
    return;
  }
  const headsGrid =
    control.kind === 'label' && next && next.kind === 'grid' && next.tab === control.tab;
  if (!place.group || headsGrid || (control.kind === 'grid' && place.group.hasGrid)) {
    const root = make('div', 'group noGrid');
    const head = make('div', 'head');
    const tools = make('div', 'tools');
    root.append(head, tools);
    place.groups.append(root);
    place.group = { root, head, tools, hasGrid: false };
  }
  const group = place.group;
  if (headsGrid) {
    group.head.append(view.root);
  } else if (control.kind === 'grid') {
    group.hasGrid = true;
    group.root.classList.remove('noGrid');
    group.tools.before(view.root);
  } else {
    group.tools.append(view.root);
  }
}

function create(name, control) {
  let view;
  if (name === kDelayedGrid) return { root: createDelayedView().root, replaced: true, shown: {} };
  switch (control.kind) {
    case 'button':
      view = { root: button('control', '', () => click(name)) };
      break;
    case 'checkbox': {
      const root = make('label', 'check');
      const box = make('input');
      box.type = 'checkbox';
      const caption = make('span');
      root.append(box, caption);
      view = { root, box, caption };
      box.addEventListener('change', async () => {
        if (!(await command({ check: name, value: box.checked ? 1 : 0 })))
          box.checked = Number(view.shown.value) !== 0;
      });
      break;
    }
    case 'frame': {
      const root = make('fieldset', 'frame');
      const legend = make('legend');
      root.append(legend);
      view = { root, legend, body: root };
      break;
    }
    case 'grid':
      view = createGrid(name);
      break;
    case 'textbox':
      view = control.multiline ? createPane(name) : { root: make('input', 'field') };
      if (!control.multiline) view.root.readOnly = true;
      break;
    default:
      view = { root: make('span', 'label') };
  }
  view.root.id = name;
  view.shown = {};
  return view;
}

function createPane(name) {
  const root = make('textarea', 'pane');
  root.readOnly = true;
  root.wrap = 'off';
  root.spellcheck = false;
  const view = { root };
  // Some panes open the info box on a double-click; on the others the
  // relay refuses it, and the page, as the window, just does nothing.
  root.addEventListener('dblclick', () => command({ dblclick: name }, true));
  return view;
}

function update(name, view, control) {
  if (view.replaced) return;
  const was = view.shown;
  if (control.visible !== was.visible) view.root.hidden = control.visible === false;
  switch (control.kind) {
    case 'button':
      setText(view.root, control.caption);
      allowCommands(view.root, control.enabled !== false);
      break;
    case 'checkbox':
      setText(view.caption, control.caption);
      if (control.value !== was.value) view.box.checked = Number(control.value) !== 0;
      allowCommands(view.box, control.enabled !== false);
      break;
    case 'frame':
      setText(view.legend, control.caption);
      break;
    case 'grid':
      if (!updateGrid(name, view, control)) return; // kept for after the operator's typing
      showStates(view, control);
      break;
    case 'textbox':
      if (control.text !== was.text) {
        if (control.multiline) showPaneText(view, control.text);
        else setValue(view.root, control.text);
      }
      break;
    default:
      setText(view.root, control.caption);
  }
  view.shown = control;
}

// The newest line is on top. A pane scrolled to the top stays there; one the
// operator scrolled down keeps the lines in view as new lines push them down.
function showPaneText(view, text) {
  const pane = view.root;
  const before = pane.value;
  const top = pane.scrollTop;
  const lines = asLines(text);
  pane.value = lines;
  if (top <= kFollowSlack) {
    pane.scrollTop = 0;
    return;
  }
  const oldStart = before ? lines.indexOf(before.slice(0, before.indexOf('\n') + 1)) : -1;
  const added = oldStart > 0 ? lines.slice(0, oldStart).split('\n').length - 1 : 0;
  pane.scrollTop = top + added * parseFloat(getComputedStyle(pane).lineHeight);
}

// ---- Grids ------------------------------------------------------------------

function createGrid(name) {
  const root = make('div', 'gridBox');
  const table = make('table');
  const head = make('thead');
  const body = make('tbody');
  const foot = make('tfoot');
  const note = make('p', 'note');
  table.append(head, body, foot);
  root.append(table, note);
  const view = { root, table, head, body, foot, note };

  body.addEventListener('focusin', (event) => {
    if (event.target.tagName === 'TD') event.target.dataset.before = event.target.textContent;
  });
  body.addEventListener('keydown', (event) => {
    const cell = event.target;
    if (cell.tagName !== 'TD') return;
    if (event.key === 'Escape') cell.textContent = cell.dataset.before;
    if (event.key === 'Enter' || event.key === 'Escape') {
      event.preventDefault();
      cell.blur();
    }
  });
  body.addEventListener('focusout', async (event) => {
    const cell = event.target;
    if (cell.tagName === 'TD' && cell.textContent !== cell.dataset.before) {
      const change = { grid: name, row: cell.parentNode.sectionRowIndex, column: cell.cellIndex };
      change.value = cell.textContent;
      if (!(await command(change))) cell.textContent = cell.dataset.before;
    }
    later(name);
  });
  body.addEventListener('click', (event) => {
    if (event.target.classList.contains('deleteRow'))
      command({ grid: name, deleteRow: event.target.closest('tr').sectionRowIndex });
  });
  foot.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') addRow(name, view);
  });
  foot.addEventListener('focusout', () => later(name));
  return view;
}

// What was held back while the operator typed in a grid, once the focus has moved.
function later(name) {
  setTimeout(() => {
    const control = latest && latest.controls[name];
    if (control && views[name]) update(name, views[name], control);
  });
}

async function addRow(name, view) {
  const row = {};
  for (const input of view.foot.querySelectorAll('input'))
    if (input.value !== '') row[input.name] = input.value;
  if (Object.keys(row).length === 0) {
    setStatus('Type at least one cell of the new row', true);
    return;
  }
  if (await command({ grid: name, addRow: row }))
    for (const input of view.foot.querySelectorAll('input')) input.value = '';
}

function sameRows(a, b) {
  if (!a || a.length !== b.length) return false;
  for (let r = 0; r < a.length; ++r) {
    if (a[r].length !== b[r].length) return false;
    for (let c = 0; c < a[r].length; ++c) if (a[r][c] !== b[r][c]) return false;
  }
  return true;
}

// Updates a grid cell by cell; false when the operator is typing in it and
// rows or columns would move under the cursor, to be done when the focus leaves.
function updateGrid(name, view, grid) {
  const was = view.shown;
  const columns = grid.columns || [];
  const rows = grid.rows || [];
  const newColumns = JSON.stringify(columns) !== JSON.stringify(was.columns || []);
  const newRows = !sameRows(was.rows, rows);
  const focus = document.activeElement;
  const typing =
    view.root.contains(focus) && (focus.isContentEditable || focus.tagName === 'INPUT');
  const reopened = grid.editable !== was.editable;
  if (typing && (newColumns || reopened || rows.length !== (was.rows || []).length))
    return false;
  if (newColumns) {
    view.body.replaceChildren();
    const header = make('tr');
    for (const column of columns) header.append(make('th', '', column));
    header.append(make('th', 'rowTools'));
    view.head.replaceChildren(header);
    const adding = make('tr');
    for (const column of columns) {
      const input = make('input');
      input.name = column;
      input.placeholder = column;
      input.size = Math.max(4, column.length);
      const cell = make('td');
      cell.append(input);
      adding.append(cell);
    }
    const cell = make('td', 'rowTools');
    cell.append(button('addRow', 'Add', () => addRow(name, view)));
    adding.append(cell);
    view.foot.replaceChildren(adding);
  }
  const open = Boolean(grid.editable) && !readOnly();
  if (reopened) view.root.classList.toggle('editable', open);
  if (newColumns || newRows || reopened) fillRows(view, rows, columns.length, open);
  const count = grid.rowCount === undefined ? rows.length : grid.rowCount;
  const capped = count > rows.length;
  setText(view.note, capped ? 'Showing ' + rows.length + ' of ' + count + ' rows' : '');
  return true;
}

// Connection grids (Outputs, Telstra) show where each row's connection
// stands in a last column of their own; it is not a field of the table.
function showStates(view, grid) {
  const states = grid.rowStates;
  const has = Array.isArray(states);
  const ensure = (row, tag) => {
    let cell = row.querySelector(':scope > .state');
    if (!cell && has) {
      cell = make(tag, 'state');
      row.insertBefore(cell, row.lastElementChild);
    } else if (cell && !has) {
      cell.remove();
      cell = null;
    }
    return cell;
  };
  for (const row of view.head.rows) {
    const cell = ensure(row, 'th');
    if (cell) setText(cell, 'State');
  }
  for (const row of view.foot.rows) ensure(row, 'td');
  Array.from(view.body.rows).forEach((row, r) => {
    const cell = ensure(row, 'td');
    if (!cell) return;
    const state = states[r] || {};
    const since = (state.stateSince || '').substring(11, 19);
    setText(cell, state.state ? state.state + (since ? ' since ' + since : '') : '');
    cell.classList.toggle('connected', state.state === 'Connected');
  });
}

function editable(cell, on) {
  if (!on) {
    cell.contentEditable = 'false';
    return;
  }
  try {
    cell.contentEditable = 'plaintext-only';
  } catch (error) {
    // A browser without plain-text editing: textContent is read all the same.
    cell.contentEditable = 'true';
  }
}

function fillRows(view, rows, width, open) {
  const body = view.body;
  while (body.rows.length > rows.length) body.lastChild.remove();
  while (body.rows.length < rows.length) {
    const line = make('tr');
    for (let c = 0; c < width; ++c) line.append(make('td'));
    const tools = make('td', 'rowTools');
    const remove = button('deleteRow', '✕');
    remove.title = 'Delete this row (Commit saves it)';
    tools.append(remove);
    line.append(tools);
    body.append(line);
  }
  rows.forEach((row, r) => {
    const line = body.rows[r];
    for (let c = 0; c < width; ++c) {
      const cell = line.cells[c];
      // Open for editing, a cell holds the very text it sends back.
      if (cell !== document.activeElement) setText(cell, open ? row[c] : asLines(row[c]));
      if ((cell.contentEditable !== 'false') !== open) editable(cell, open);
    }
  });
}

// ---- Menus and the pop-up boxes -----------------------------------------

function closeMenus() {
  byId('menus').querySelectorAll('.menuItems').forEach((list) => {
    list.hidden = true;
  });
}

function buildMenus(menus) {
  const bar = byId('menus');
  bar.replaceChildren();
  for (const menu of menus) {
    const items = menu.items || [];
    if (items.length === 0) {
      const top = button('menuTop', menu.caption, () => command({ menu: menu.name }));
      top.id = menu.name;
      allowCommands(top, true);
      bar.append(top);
      continue;
    }
    const list = make('div', 'menuItems');
    list.setAttribute('role', 'menu');
    list.hidden = true;
    const top = button('menuTop', menu.caption, (event) => {
      event.stopPropagation();
      const open = list.hidden;
      closeMenus();
      list.hidden = !open;
    });
    top.id = menu.name;
    top.setAttribute('aria-haspopup', 'menu');
    for (const item of items) {
      const entry = button('menuItem', item.caption, () => {
        closeMenus();
        command({ menu: item.name });
      });
      entry.id = item.name;
      allowCommands(entry, true);
      entry.setAttribute('role', 'menuitem');
      list.append(entry);
    }
    const holder = make('div', 'menu');
    holder.append(top, list);
    bar.append(holder);
  }
}

function caption(controls, name, fallback) {
  return controls[name] && controls[name].caption ? controls[name].caption : fallback;
}

function renderBoxes(model) {
  const controls = model.controls;
  const warning = model.warning || {};
  byId('warning').hidden = !warning.visible;
  setText(byId('warningCaption'), caption(controls, 'frmeSystemError', 'System Error'));
  setText(byId('warningText'), asLines(warning.text));
  setText(byId('warningClear'), caption(controls, 'cmdClearWarning', 'Clear'));
  allowCommands(byId('warningClear'), true);
  const info = model.info || {};
  byId('info').hidden = !info.visible;
  setText(byId('infoCaption'), caption(controls, 'frmeInfoBox', 'Log Highlight'));
  setValue(byId('infoText'), asLines(info.text));
  setText(byId('infoDone'), caption(controls, 'cmdDoneInfo', 'Done'));
}

export function startWindow() {
  document.addEventListener('click', closeMenus);
  byId('warningClear').addEventListener('click', () => command({ click: 'cmdClearWarning' }));
  byId('infoDone').addEventListener('click', () => command({ click: 'cmdDoneInfo' }));
}
