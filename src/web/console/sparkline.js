// A carrier's pages a minute over the last hour as a small bar chart, drawn
// as inline SVG: one bar a minute, oldest on the left, the current minute on
// the right, scaled to the busiest minute.
'use strict';

const kSvg = 'http://www.w3.org/2000/svg';
const kMinutes = 60;
const kWidth = 120; // two units a minute
const kHeight = 24;
const kBarWidth = 1.6;

function svg(tag, attributes) {
  const element = document.createElementNS(kSvg, tag);
  for (const [name, value] of Object.entries(attributes)) element.setAttribute(name, value);
  return element;
}

export function createSparkline() {
  const root = svg('svg', {
    class: 'sparkline',
    viewBox: '0 0 ' + kWidth + ' ' + kHeight,
    width: kWidth,
    height: kHeight,
    role: 'img',
  });
  const title = svg('title', {});
  const base = kHeight - 0.5;
  root.append(title, svg('line', { class: 'base', x1: 0, y1: base, x2: kWidth, y2: base }));
  const bars = [];
  for (let minute = 0; minute < kMinutes; ++minute) {
    const x = minute * (kWidth / kMinutes);
    const bar = svg('rect', { x, width: kBarWidth, y: kHeight, height: 0 });
    bars.push(bar);
    root.append(bar);
  }
  return { root, title, bars, shown: '' };
}

// `perMinute`: 60 counts, oldest first; missing or short is drawn as zeros.
export function drawSparkline(view, perMinute) {
  const counts = Array.from({ length: kMinutes }, (_, i) => Number((perMinute || [])[i]) || 0);
  const key = counts.join(',');
  if (key === view.shown) return;
  view.shown = key;
  const most = Math.max(1, ...counts);
  counts.forEach((count, minute) => {
    const height = count === 0 ? 0 : Math.max(1, (count / most) * (kHeight - 1));
    view.bars[minute].setAttribute('y', String(kHeight - 1 - height));
    view.bars[minute].setAttribute('height', String(height));
  });
  const total = counts.reduce((sum, count) => sum + count, 0);
  view.title.textContent =
    'Pages a minute over the last hour: ' + total + ' in all, at most ' + Math.max(...counts) +
    ' in a minute; ' + counts[kMinutes - 1] + ' this minute';
  view.root.dataset.total = String(total);
}
