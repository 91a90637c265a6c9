/* Quorvel page: building rows. Program texts reach the document only through textContent and
 * DOM attributes, never as markup.
 */
'use strict';

const Dom = (() => {
  const SVG_NS = 'http://www.w3.org/2000/svg';

  const el = (tag, className, text) => {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== '') node.textContent = text;
    return node;
  };

  /* An element for a text from the program: it keeps its own direction, isolated. */
  const text = (tag, className, value) => {
    const node = el(tag, className, value);
    node.dir = 'auto';
    return node;
  };

  /* Parts of a meta line ("AMC · Drama, Crime"), each isolated, the dots between them plain. */
  const metaLine = (tag, className, parts) => {
    const line = el(tag, className);
    parts.filter(Boolean).forEach((part, index) => {
      if (index) line.appendChild(document.createTextNode(' · '));
      line.appendChild(text('span', 'meta-part', part));
    });
    return line;
  };

  const button = (className, text) => {
    const node = el('button', className, text);
    node.type = 'button';
    return node;
  };

  const icon = (paths, className) => {
    const svg = document.createElementNS(SVG_NS, 'svg');
    svg.setAttribute('viewBox', '0 0 20 20');
    svg.setAttribute('aria-hidden', 'true');
    if (className) svg.setAttribute('class', className);
    for (const d of paths) {
      const path = document.createElementNS(SVG_NS, 'path');
      path.setAttribute('d', d);
      svg.appendChild(path);
    }
    return svg;
  };

  const ICONS = Object.freeze({
    empty: ['M4 6.5h12v9.5a1.5 1.5 0 0 1-1.5 1.5h-9A1.5 1.5 0 0 1 4 16z', 'M3.6 3.9 15.8 1.7l.5 2.7L4.1 6.6z'],
    search: ['M8.5 3.5a5 5 0 1 1 0 10a5 5 0 0 1 0-10z', 'M12.3 12.3 17 17'],
    calendar: ['M3 4h14v13H3z', 'M3 8h14M7 2.5v3M13 2.5v3'],
    clock: ['M10 3a7 7 0 1 1 0 14a7 7 0 0 1 0-14z', 'M10 6v4l2.8 1.8'],
    plug: ['M7 2.5v4M13 2.5v4', 'M5 6.5h10v3a5 5 0 0 1-10 0z', 'M10 14.5v3'],
    alert: ['M10 3 18 17H2z', 'M10 8.5v3.5M10 14.6v.1'],
    chevron: ['M5 8l5 5 5-5'],
    close: ['M5 5l10 10M15 5 5 15'],
    link: ['M8 12 12 8', 'M9.5 5.5 11 4a3.2 3.2 0 0 1 4.5 4.5L14 10', 'M10.5 14.5 9 16a3.2 3.2 0 0 1-4.5-4.5L6 10'],
    check: ['M4.5 10.5 8.5 14.5 15.5 6'],
    plus: ['M10 4v12M4 10h12']
  });

  /* A picture box: the placeholder until the picture has loaded, nothing when it fails. The
   * picture is shown whole over a blurred copy of itself (the backdrop). */
  const art = (className, url, alt) => {
    const box = el('span', 'art ' + className);
    const address = Format.str(url).trim();
    if (address && !/^(javascript|vbscript):/i.test(address)) {
      for (const backdrop of [true, false]) {
        const img = document.createElement('img');
        img.alt = backdrop ? '' : Format.str(alt);
        if (backdrop) {
          img.className = 'art-backdrop';
          img.setAttribute('aria-hidden', 'true');
        }
        img.loading = 'lazy';
        img.decoding = 'async';
        img.draggable = false;
        img.referrerPolicy = 'no-referrer';
        img.src = address;
        box.appendChild(img);
      }
    }
    return box;
  };

  /* One listener for every picture: loaded ones cover the placeholder, broken ones go away. */
  const watchArtwork = () => {
    const boxOf = (event) => {
      const img = event.target;
      return img?.tagName === 'IMG' && img.parentNode?.classList.contains('art') ? img.parentNode : null;
    };
    document.addEventListener('load', (event) => {
      const box = boxOf(event);
      if (box && !event.target.classList.contains('art-backdrop') && event.target.naturalWidth > 0) box.classList.add('loaded');
    }, true);
    document.addEventListener('error', (event) => {
      const box = boxOf(event);
      if (!box) return;
      if (!event.target.classList.contains('art-backdrop')) {
        box.classList.remove('loaded');
        box.querySelector('.art-backdrop')?.remove();
      }
      event.target.remove();
    }, true);
  };

  return Object.freeze({ el, text, metaLine, button, icon, ICONS, art, watchArtwork });
})();

/* A list that renders only the rows in and near its pane's view.
 *
 * Rows arrive as records, one page call each (thousands in one task from the program), so a row
 * costs a push until the list is drawn at the next frame or at "initFinish". Every row has the
 * same height (per line of a grid), apart from rows the user opened, whose extra height is
 * measured; paddings stand in for the rows above and below the window. When the same answer comes
 * again the rows already drawn stay; when it differs, rows whose record is unchanged are reused.
 * Short lists are drawn whole. Keyboard: one row is tabbable (`active`), arrows move it.
 */
class WindowedList {
  static WHOLE = 120;
  static OVERSCAN = 6;
  static all = new WeakMap();

  constructor(list, { render, target = null, order = null, onShow = null }) {
    this.list = list;
    this.pane = list.closest('.pane');
    this.render = render;
    this.target = target;
    this.order = order;
    this.onShow = onShow;
    this.items = [];
    this.incoming = null;
    this.extra = new Map();
    this.active = 0;
    this.frame = 0;
    this.size = null;
    this.range = [0, 0];
    WindowedList.all.set(list, this);
    this.pane.addEventListener('scroll', () => this.schedule(), { passive: true });
    if (window.ResizeObserver) {
      new ResizeObserver(() => {
        this.size = null;
        this.extra.clear();
        this.schedule();
      }).observe(this.pane);
    }
  }

  static SIGNATURE = Symbol('signature');

  /* Every field of a record in one text, worked out once per record. */
  static signature(record) {
    record[WindowedList.SIGNATURE] ??= Object.values(record).join('\u0001');
    return record[WindowedList.SIGNATURE];
  }

  get length() {
    return this.items.length;
  }

  /* A new answer starts; the rows on screen stay until it differs from them. */
  begin() {
    this.incoming = [];
  }

  push(record) {
    this.incoming.push(record);
    if (!this.frame) this.frame = requestAnimationFrame(() => { this.frame = 0; this.take(false); });
  }

  /* The answer is complete (or abandoned): it becomes the list. */
  commit() {
    this.take(true);
    this.incoming = null;
  }

  clear() {
    this.incoming = null;
    this.replace([]);
  }

  take(complete) {
    if (!this.incoming) return;
    const next = this.order ? this.order(this.incoming) : this.incoming.slice();
    const same = (count) => {
      for (let i = 0; i < count; i += 1) {
        if (WindowedList.signature(next[i]) !== WindowedList.signature(this.items[i])) return false;
      }
      return true;
    };
    // While rows arrive, a list that is still the start of the one on screen changes nothing; a
    // sorted list on screen waits for the whole answer.
    if (!complete && this.order && this.items.length) return;
    if (!complete && next.length <= this.items.length && !this.order && same(next.length)) return;
    if (next.length === this.items.length && same(next.length)) return;
    this.replace(next);
  }

  replace(items) {
    this.items = items;
    this.extra.clear();
    this.active = Math.min(this.active, Math.max(0, items.length - 1));
    this.draw(true);
    if (items.length) this.onShow?.();
  }

  schedule() {
    if (!this.frame) this.frame = requestAnimationFrame(() => { this.frame = 0; this.take(false); this.draw(false); });
  }

  windowed() {
    return this.items.length > WindowedList.WHOLE;
  }

  /* Line height (with the gap) and rows per line, measured from a drawn row. */
  measure() {
    if (this.size) return this.size;
    const first = [...this.list.children].find((node) => !node.classList.contains('open'));
    if (!first || !first.offsetHeight) return null;
    const style = getComputedStyle(this.list);
    const gap = parseFloat(style.rowGap) || 0;
    const columns = style.display === 'grid' ? Math.max(1, style.gridTemplateColumns.split(' ').filter(Boolean).length) : 1;
    this.size = { line: first.offsetHeight + gap, gap, columns };
    return this.size;
  }

  lineTop(line) {
    let top = line * this.size.line;
    for (const [index, height] of this.extra) if (Math.floor(index / this.size.columns) < line) top += height;
    return top;
  }

  /* Draws the rows of the window; `fresh` when the items changed. */
  draw(fresh) {
    const count = this.items.length;
    if (!this.windowed()) {
      this.list.style.paddingTop = this.list.style.paddingBottom = '';
      if (fresh || this.range[0] !== 0 || this.range[1] !== count) this.fill(0, count);
      return;
    }
    if (!this.size && !this.list.firstElementChild) this.fill(0, Math.min(count, 40));
    const size = this.measure();
    if (!size) {
      if (fresh) this.fill(0, Math.min(count, 40));
      return;
    }
    const lines = Math.ceil(count / size.columns);
    const view = this.pane.clientHeight || 600;
    const top = this.pane.scrollTop - this.list.offsetTop;
    let low = 0;
    let high = lines;
    while (low < high) {
      const mid = (low + high) >> 1;
      if (this.lineTop(mid + 1) <= top) low = mid + 1;
      else high = mid;
    }
    const firstLine = Math.max(0, low - WindowedList.OVERSCAN);
    let lastLine = low;
    while (lastLine < lines && this.lineTop(lastLine) < top + view) lastLine += 1;
    lastLine = Math.min(lines, lastLine + WindowedList.OVERSCAN);
    const from = firstLine * size.columns;
    const to = Math.min(count, lastLine * size.columns);
    if (fresh || from !== this.range[0] || to !== this.range[1]) this.fill(from, to);
    // Rows of one column may differ in height (opened, or wrapped in a narrow window).
    if (size.columns === 1) {
      for (const node of this.list.children) {
        const index = Number(node.dataset.index);
        const extra = node.offsetHeight + size.gap - size.line;
        if (Math.abs(extra) > 0.5) this.extra.set(index, extra);
        else this.extra.delete(index);
      }
    }
    this.list.style.paddingTop = this.lineTop(firstLine) + 'px';
    this.list.style.paddingBottom = (this.lineTop(lines) - this.lineTop(lastLine)) + 'px';
  }

  fill(from, to) {
    const focused = this.list.contains(document.activeElement) ? document.activeElement : null;
    // Rows already drawn for the same record are taken again, wherever they stood.
    const pools = new Map();
    for (const node of this.list.children) {
      if (!pools.has(node._signature)) pools.set(node._signature, []);
      pools.get(node._signature).push(node);
    }
    const windowed = this.windowed();
    const nodes = [];
    for (let i = from; i < to; i += 1) {
      const record = this.items[i];
      const signature = WindowedList.signature(record);
      let node = pools.get(signature)?.shift();
      if (!node) {
        node = this.render(record, i);
        node._signature = signature;
      }
      node.dataset.index = String(i);
      if (windowed) {
        node.setAttribute('aria-setsize', String(this.items.length));
        node.setAttribute('aria-posinset', String(i + 1));
      } else if (node.hasAttribute('aria-setsize')) {
        node.removeAttribute('aria-setsize');
        node.removeAttribute('aria-posinset');
      }
      nodes.push(node);
    }
    this.range = [from, to];
    // Kept rows stay where they are (and keep focus); only rows coming into the window are added.
    const keep = new Set(nodes);
    for (const node of [...this.list.children]) if (!keep.has(node)) node.remove();
    let cursor = this.list.firstElementChild;
    for (const node of nodes) {
      if (node === cursor) cursor = cursor.nextElementSibling;
      else this.list.insertBefore(node, cursor);
    }
    if (this.active < from || this.active >= to) {
      if (!focused) this.active = Math.min(Math.max(this.active, from), Math.max(from, to - 1));
    }
    this.updateTabStops();
    // (While focus() moves to a row it takes care of focus itself.)
    if (focused && !this.focusing && document.activeElement !== focused) {
      if (this.list.contains(focused)) {
        focused.focus({ preventScroll: true });
      } else if (to > from) {
        // The focused row scrolled out of the window: focus stays in the list, on a row in view.
        this.active = from + Math.floor((to - from) / 2);
        this.updateTabStops();
        const node = this.nodeAt(this.active);
        (this.target ? node?.querySelector(this.target) : node)?.focus({ preventScroll: true });
      }
    }
  }

  nodeAt(index) {
    return [...this.list.children].find((node) => Number(node.dataset.index) === index) ?? null;
  }

  updateTabStops() {
    if (!this.target) return;
    for (const node of this.list.children) {
      const on = Number(node.dataset.index) === this.active;
      for (const control of node.querySelectorAll('button')) control.tabIndex = on ? 0 : -1;
    }
  }

  indexOf(node) {
    const row = node?.closest?.('[data-index]');
    return row && row.parentNode === this.list ? Number(row.dataset.index) : -1;
  }

  /* Scrolls the row into view, draws it and focuses its main control. */
  focus(index, control = this.target) {
    if (!this.items.length || this.focusing) return false;
    this.focusing = true;
    try {
      return this.focusRow(index, control);
    } finally {
      this.focusing = false;
    }
  }

  focusRow(index, control) {
    const i = Math.min(Math.max(0, index), this.items.length - 1);
    this.active = i;
    if (this.windowed() && this.measure()) {
      const top = this.list.offsetTop + this.lineTop(Math.floor(i / this.size.columns));
      const bottom = top + this.size.line - this.size.gap;
      if (top < this.pane.scrollTop) this.pane.scrollTop = top;
      else if (bottom > this.pane.scrollTop + this.pane.clientHeight) this.pane.scrollTop = bottom - this.pane.clientHeight;
      this.draw(false);
      this.active = i;
    }
    this.updateTabStops();
    const node = this.nodeAt(i);
    const element = node && (control ? node.querySelector(control) : node);
    if (!element) return false;
    element.focus({ preventScroll: this.windowed() });
    if (!this.windowed()) element.scrollIntoView?.({ block: 'nearest' });
    return true;
  }

  /* A row grew or shrank (opened): its height is measured again at the next draw. */
  resized() {
    if (this.windowed()) this.draw(false);
  }

  columns() {
    return this.measure()?.columns ?? 1;
  }
}

/* The data behind each row element, for the click handlers. */
const rowData = new WeakMap();

const Rows = (() => {
  const { el, text, metaLine, button, icon, ICONS, art } = Dom;
  const { str, splitPipes, episodeCode, parseAirDate, daysFromToday, relativeDays, formatDate, pad2 } = Format;

  /* My Shows: a poster card with its unfollow button. */
  const card = (data) => {
    const item = el('li', 'card');
    const open = button('card-open');
    open.appendChild(art('poster', data.image, ''));
    open.appendChild(text('span', 'card-name', data.name || 'Unnamed series'));
    const meta = metaLine('span', 'card-meta', [data.network, splitPipes(data.genre).slice(0, 2).join(', ')]);
    if (!meta.firstChild) meta.textContent = '\u00a0';
    open.appendChild(meta);
    item.appendChild(open);

    const remove = button('card-remove');
    remove.title = 'Unfollow ' + (data.name || 'this series');
    remove._name = data.name;
    remove.setAttribute('aria-label', remove.title);
    remove.appendChild(icon(ICONS.close));
    remove.appendChild(el('span', 'remove-label', 'Unfollow?'));
    item.appendChild(remove);

    rowData.set(item, data);
    return item;
  };

  /* Next, Recent and Now: series, episode, when; the overview opens on demand. */
  const episode = (kind, data) => {
    const item = el('li', 'ep-row');
    const head = button('ep-head');
    head.setAttribute('aria-expanded', 'false');
    head.appendChild(art('thumb wide', data.image, ''));

    const main = el('span', 'ep-main');
    main.appendChild(text('span', 'ep-series', data.series || 'Unnamed series'));
    const title = el('span', 'ep-title');
    const code = episodeCode(data.season, data.episode);
    if (code) title.appendChild(el('span', 'ep-code', code));
    title.appendChild(text('span', 'ep-name', data.title || 'Title not known yet'));
    main.appendChild(title);
    head.appendChild(main);

    const when = el('span', 'ep-when');
    const air = parseAirDate(data.aired);
    if (air) {
      const days = daysFromToday(air);
      const rel = el('span', 'ep-rel', relativeDays(days));
      if ((kind === 'next' && days <= 7) || (kind !== 'next' && days === 0)) rel.classList.add('soon');
      when.appendChild(rel);
      when.appendChild(el('span', 'ep-date', formatDate(air, true)));
    } else {
      when.appendChild(text('span', 'ep-date', data.aired || 'Date not known'));
    }
    head.appendChild(when);
    head.appendChild(icon(ICONS.chevron, 'ep-chevron'));
    item.appendChild(head);
    if (kind === 'now') item.setAttribute('data-row', data.row);

    rowData.set(item, data);
    return item;
  };

  /* The overview part of an episode row, built when the user first opens it. */
  const episodeMore = (data) => {
    const more = el('div', 'ep-more');
    more.appendChild(text('p', 'ep-overview', data.overview || 'No overview yet.'));
    const actions = el('div', 'ep-actions');
    if (Format.seriesIdNumber(data.seriesId) !== null) {
      const open = button('button small', 'Series details');
      open.setAttribute('data-act', 'details');
      actions.appendChild(open);
    }
    if (data.episodeImdb || data.seriesImdb) {
      const imdb = button('button small ghost', 'IMDb');
      imdb.setAttribute('data-act', 'imdb');
      actions.appendChild(imdb);
    }
    if (actions.firstChild) more.appendChild(actions);
    return more;
  };

  const feedItem = (data) => {
    const item = el('li');
    const link = button('feed-link');
    link.appendChild(icon(ICONS.link));
    link.appendChild(text('span', 'feed-title', data.title || data.link || 'Untitled release'));
    if (data.link) link.title = data.link;
    else link.classList.add('inert');
    item.appendChild(link);
    rowData.set(item, data);
    return item;
  };

  const searchResult = (data) => {
    const item = el('li', 'result');
    const open = button('result-open');
    open.appendChild(art('banner wide', data.banner, ''));
    const main = el('span', 'result-main');
    main.appendChild(text('span', 'result-name', data.name || 'Unnamed series'));
    const air = parseAirDate(data.aired);
    const meta = metaLine('span', 'result-meta', [data.network, air ? 'since ' + air.year : data.aired]);
    if (meta.firstChild) main.appendChild(meta);
    if (data.overview) main.appendChild(text('span', 'result-overview', data.overview));
    open.appendChild(main);
    item.appendChild(open);
    rowData.set(item, data);
    return item;
  };

  const seasonEpisode = (data) => {
    const number = data.episode.trim();
    const item = el('li', 'season-ep' + (data.parity === '1' ? ' odd' : ''));
    item.appendChild(el('span', 'season-ep-num', number ? 'E' + pad2(number) : '–'));
    item.appendChild(text('span', 'season-ep-name', data.title || 'Title not known yet'));
    const air = parseAirDate(data.aired);
    const date = text('span', 'season-ep-date', air ? formatDate(air, false) : (data.aired || 'No date'));
    if (air && daysFromToday(air) > 0) {
      date.classList.add('future');
      date.title = relativeDays(daysFromToday(air));
    }
    item.appendChild(date);
    return item;
  };

  return Object.freeze({ card, episode, episodeMore, feedItem, searchResult, seasonEpisode, str });
})();
