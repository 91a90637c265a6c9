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

  /* A picture box: the placeholder until the picture has loaded, nothing when it fails. */
  const art = (className, url, alt) => {
    const box = el('span', 'art ' + className);
    const address = Format.str(url).trim();
    if (address && !/^(javascript|vbscript):/i.test(address)) {
      const img = document.createElement('img');
      img.alt = Format.str(alt);
      img.loading = 'lazy';
      img.decoding = 'async';
      img.draggable = false;
      img.referrerPolicy = 'no-referrer';
      img.src = address;
      box.appendChild(img);
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
      if (box && event.target.naturalWidth > 0) box.classList.add('loaded');
    }, true);
    document.addEventListener('error', (event) => {
      const box = boxOf(event);
      if (!box) return;
      box.classList.remove('loaded');
      event.target.remove();
    }, true);
  };

  return Object.freeze({ el, button, icon, ICONS, art, watchArtwork });
})();

/* Rows are collected in a fragment and appended at the next frame, then less and less often as
 * the list grows, and at "initFinish": every append costs a layout of the whole list, so
 * appending thousands of rows frame by frame would cost far more than the rows themselves. */
class Batch {
  constructor(list, onFlush) {
    this.list = list;
    this.onFlush = onFlush;
    this.fragment = null;
    this.frame = 0;
    this.lastFlush = 0;
  }

  add(node) {
    this.fragment ??= document.createDocumentFragment();
    this.fragment.appendChild(node);
    this.schedule();
  }

  schedule() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      const interval = 250 + this.list.childElementCount / 5;
      if (this.lastFlush && Date.now() - this.lastFlush < interval) this.schedule();
      else this.flush();
    });
  }

  flush() {
    if (this.frame) cancelAnimationFrame(this.frame);
    this.frame = 0;
    if (!this.fragment) return;
    this.list.appendChild(this.fragment);
    this.fragment = null;
    this.lastFlush = Date.now();
    this.onFlush?.();
  }

  reset() {
    if (this.frame) cancelAnimationFrame(this.frame);
    this.frame = 0;
    this.fragment = null;
    this.lastFlush = 0;
    this.list.textContent = '';
  }
}

/* The data behind each row element, for the click handlers. */
const rowData = new WeakMap();

const Rows = (() => {
  const { el, button, icon, ICONS, art } = Dom;
  const { str, splitPipes, episodeCode, parseAirDate, daysFromToday, relativeDays, formatDate, pad2 } = Format;

  /* My Shows: a poster card with its unfollow button. */
  const card = (data) => {
    const item = el('li', 'card');
    const open = button('card-open');
    open.appendChild(art('poster', data.image, ''));
    open.appendChild(el('span', 'card-name', data.name || 'Unnamed series'));
    const meta = [data.network, splitPipes(data.genre).slice(0, 2).join(', ')].filter(Boolean).join(' · ');
    open.appendChild(el('span', 'card-meta', meta || '\u00a0'));
    item.appendChild(open);

    const remove = button('card-remove');
    remove.title = 'Unfollow ' + (data.name || 'this series');
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
    main.appendChild(el('span', 'ep-series', data.series || 'Unnamed series'));
    const title = el('span', 'ep-title');
    const code = episodeCode(data.season, data.episode);
    if (code) title.appendChild(el('span', 'ep-code', code));
    title.appendChild(document.createTextNode(data.title || 'Title not known yet'));
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
      when.appendChild(el('span', 'ep-date', data.aired || 'Date not known'));
    }
    head.appendChild(when);
    head.appendChild(icon(ICONS.chevron, 'ep-chevron'));
    item.appendChild(head);
    if (data.row !== undefined) item.setAttribute('data-row', data.row);

    rowData.set(item, data);
    return item;
  };

  /* The overview part of an episode row, built when the user first opens it. */
  const episodeMore = (data) => {
    const more = el('div', 'ep-more');
    more.appendChild(el('p', 'ep-overview', data.overview || 'No overview yet.'));
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
    link.appendChild(el('span', 'feed-title', data.title || data.link || 'Untitled release'));
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
    main.appendChild(el('span', 'result-name', data.name || 'Unnamed series'));
    const air = parseAirDate(data.aired);
    const since = air ? 'since ' + air.year : data.aired;
    const meta = [data.network, since].filter(Boolean).join(' · ');
    if (meta) main.appendChild(el('span', 'result-meta', meta));
    if (data.overview) main.appendChild(el('span', 'result-overview', data.overview));
    open.appendChild(main);
    item.appendChild(open);
    rowData.set(item, data);
    return item;
  };

  const seasonEpisode = (data) => {
    const number = data.episode.trim();
    const item = el('li', 'season-ep' + (data.parity === '1' ? ' odd' : ''));
    item.appendChild(el('span', 'season-ep-num', number ? 'E' + pad2(number) : '–'));
    item.appendChild(el('span', 'season-ep-name', data.title || 'Title not known yet'));
    const air = parseAirDate(data.aired);
    const date = el('span', 'season-ep-date', air ? formatDate(air, false) : (data.aired || 'No date'));
    if (air && daysFromToday(air) > 0) {
      date.classList.add('future');
      date.title = relativeDays(daysFromToday(air));
    }
    item.appendChild(date);
    return item;
  };

  return Object.freeze({ card, episode, episodeMore, feedItem, searchResult, seasonEpisode, str });
})();
