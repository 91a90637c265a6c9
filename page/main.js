/* Quorvel main window page.
 *
 * The program answers every request by calling the global page functions at the bottom of this
 * file, one call per row and then "initFinish". Answers come in the order of the requests, so the
 * page keeps exactly one request in flight and queues the rest: every answer then belongs to the
 * request in flight, whatever view the user has moved to meanwhile.
 *
 * Every value from the program is untrusted text: it reaches the document only through
 * textContent and DOM attributes, never as markup.
 */
'use strict';

var QuorvelPage = (function () {
  var NO_ANSWER_MS = 90000;
  var MAX_SEASONS = 250;
  var IMDB_TITLE_URL = 'http://www.imdb.com/title/';

  /* ------------------------------------------------------------------ helpers */

  function str(value) {
    return value === undefined || value === null ? '' : String(value);
  }

  function el(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== '') node.textContent = text;
    return node;
  }

  var SVG_NS = 'http://www.w3.org/2000/svg';

  function icon(paths, className) {
    var svg = document.createElementNS(SVG_NS, 'svg');
    svg.setAttribute('viewBox', '0 0 20 20');
    svg.setAttribute('aria-hidden', 'true');
    if (className) svg.setAttribute('class', className);
    paths.forEach(function (d) {
      var path = document.createElementNS(SVG_NS, 'path');
      path.setAttribute('d', d);
      svg.appendChild(path);
    });
    return svg;
  }

  var ICONS = {
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
  };

  function splitPipes(text) {
    var seen = Object.create(null);
    return str(text).split('|').map(function (part) { return part.trim(); }).filter(function (part) {
      if (!part || seen[part]) return false;
      seen[part] = true;
      return true;
    });
  }

  /* A series id travels back to the program as a 32-bit integer; anything else is not an id. */
  function seriesIdNumber(id) {
    var text = str(id).trim();
    if (!/^\d{1,10}$/.test(text)) return null;
    var number = Number(text);
    return number <= 2147483647 ? number : null;
  }

  function pad2(text) {
    return /^\d$/.test(text) ? '0' + text : text;
  }

  function episodeCode(season, episode) {
    season = str(season).trim();
    episode = str(episode).trim();
    if (!season && !episode) return '';
    return (season ? 'S' + pad2(season) : '') + (episode ? 'E' + pad2(episode) : '');
  }

  /* Air dates are "year-month-day" texts standing for that local day. */
  function parseAirDate(text) {
    var match = /^\s*(\d{1,4})-(\d{1,2})-(\d{1,2})(?!\d)/.exec(str(text));
    if (!match) return null;
    var year = Number(match[1]);
    var month = Number(match[2]);
    var day = Number(match[3]);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31) return null;
    var date = new Date(year, month - 1, day);
    if (date.getMonth() !== month - 1) return null;
    return { year: year, month: month, day: day, date: date };
  }

  function daysFromToday(air) {
    var now = new Date();
    var today = Date.UTC(now.getFullYear(), now.getMonth(), now.getDate());
    return Math.round((Date.UTC(air.year, air.month - 1, air.day) - today) / 86400000);
  }

  function relativeDays(days) {
    if (days === 0) return 'today';
    if (days === 1) return 'tomorrow';
    if (days === -1) return 'yesterday';
    return days > 0 ? 'in ' + days + ' days' : -days + ' days ago';
  }

  /* Building a date format is slow; thousands of rows share four of them. */
  var dateFormats = {};

  function formatDate(air, withWeekday) {
    var withYear = air.year !== new Date().getFullYear();
    var key = (withWeekday ? 'w' : '') + (withYear ? 'y' : '');
    try {
      if (!dateFormats[key]) {
        var options = { day: 'numeric', month: 'short' };
        if (withWeekday) options.weekday = 'short';
        if (withYear) options.year = 'numeric';
        dateFormats[key] = new Intl.DateTimeFormat(undefined, options);
      }
      return dateFormats[key].format(air.date);
    } catch (e) {
      return air.year + '-' + pad2(String(air.month)) + '-' + pad2(String(air.day));
    }
  }

  function plural(count, one, many) {
    return count + ' ' + (count === 1 ? one : many);
  }

  /* ------------------------------------------------------------------ the program's object */

  function bridge() {
    try {
      var external = window.external;
      return external && typeof external.ShowMyShows === 'function' ? external : null;
    } catch (e) {
      return null;
    }
  }

  /* Calls a method of window.external; false when it is missing or fails. Never throws. */
  function callProgram(method, args) {
    try {
      var external = window.external;
      if (!external || typeof external[method] !== 'function') return false;
      external[method].apply(external, args || []);
      return true;
    } catch (e) {
      return false;
    }
  }

  function openUrl(url) {
    url = str(url).trim();
    if (url) callProgram('OpenURL', [url]);
  }

  function openImdb(imdbId) {
    imdbId = str(imdbId).trim();
    if (imdbId) openUrl(IMDB_TITLE_URL + encodeURIComponent(imdbId));
  }

  /* ------------------------------------------------------------------ requests */

  /* Which request kind each page function answers. */
  var ANSWERS = {
    PopulateMyShowsTable: 'myshows',
    PopulateNextShows: 'next',
    PopulateRecentShows: 'recent',
    PopulateSearchTable: 'search',
    ShowResults: 'search',
    NoResults: 'search',
    PopulateSeasonsTable: 'season',
    PopulateCurentlyPlayingTable: 'now',
    AddRssItem: 'now',
    PopulateDetails: 'details'
  };

  var inFlight = null;
  var waiting = [];
  var noAnswerTimer = 0;
  /* The currently-playing answer sends "NoResults" after its "initFinish" when it had no episode. */
  var trailingNoResults = false;

  function isPending(key) {
    if (inFlight && inFlight.key === key) return true;
    return waiting.some(function (request) { return request.key === key; });
  }

  function submit(request) {
    if (request.key) {
      // A newer request for the same thing replaces one that has not been sent yet.
      waiting = waiting.filter(function (queued) { return queued.key !== request.key; });
    }
    waiting.push(request);
    updateBusy();
    sendNext();
  }

  function sendNext() {
    while (!inFlight && waiting.length) {
      var request = waiting.shift();
      inFlight = request;
      run(request, 'start');
      if (callProgram(request.method, request.args)) {
        armNoAnswerTimer();
      } else {
        inFlight = null;
        run(request, 'unavailable');
      }
    }
    updateBusy();
  }

  function armNoAnswerTimer() {
    clearTimeout(noAnswerTimer);
    noAnswerTimer = setTimeout(function () {
      var request = inFlight;
      inFlight = null;
      if (request) run(request, 'lost');
      sendNext();
    }, NO_ANSWER_MS);
  }

  function run(request, step, a, b) {
    var handler = request.handlers[step];
    if (!handler) return;
    try {
      handler(a, b);
    } catch (e) {
      if (window.console) console.error('Quorvel page:', step, e);
    }
  }

  function receive(name, args) {
    if (name === 'NoResults' && trailingNoResults) {
      trailingNoResults = false;
      return;
    }
    trailingNoResults = false;

    if (name === 'initFinish') {
      var finished = inFlight;
      if (!finished) return;
      inFlight = null;
      clearTimeout(noAnswerTimer);
      run(finished, 'finish');
      if (finished.kind === 'now' && finished.episodeRows === 0) trailingNoResults = true;
      sendNext();
      return;
    }

    var kind = ANSWERS[name];
    if (!kind) return;
    if (!inFlight) {
      // Rows nobody asked for still go to their view.
      var implicit = requestFor(kind);
      if (!implicit) return;
      inFlight = implicit;
      run(implicit, 'start');
      updateBusy();
    } else if (inFlight.kind !== kind) {
      return;
    }
    armNoAnswerTimer();
    run(inFlight, 'row', name, args);
  }

  function updateBusy() {
    var busy = Object.create(null);
    if (inFlight) busy[inFlight.view] = true;
    waiting.forEach(function (request) { busy[request.view] = true; });
    Object.keys(views).forEach(function (name) {
      views[name].section.setAttribute('aria-busy', busy[name] ? 'true' : 'false');
    });
    document.body.classList.toggle('is-busy', !!(inFlight || waiting.length));
  }

  /* ------------------------------------------------------------------ views */

  var views = {};
  var current = null;
  var previous = 'myshows';
  var loadedOnce = Object.create(null);
  var stale = Object.create(null);
  var followed = { known: false, ids: Object.create(null), count: 0 };
  var rowData = new WeakMap();

  function findViews() {
    ['myshows', 'next', 'recent', 'now', 'search', 'details'].forEach(function (name) {
      var section = document.getElementById('view-' + name);
      var part = function (role) { return section.querySelector('[data-role="' + role + '"]'); };
      views[name] = {
        name: name,
        section: section,
        pane: part('pane'),
        state: part('state'),
        list: part('list'),
        sub: part('sub'),
        part: part
      };
    });
  }

  /* Rows are collected in a fragment and appended at the next frame, then less and less often
   * as the list grows, and at "initFinish": every append costs a layout of the whole list, so
   * appending thousands of rows frame by frame would cost far more than the rows themselves. */
  function flushInterval(list) {
    return 250 + list.childElementCount / 5;
  }

  function Batch(list, onFlush) {
    this.list = list;
    this.onFlush = onFlush;
    this.fragment = null;
    this.frame = 0;
    this.lastFlush = 0;
  }
  Batch.prototype.add = function (node) {
    if (!this.fragment) this.fragment = document.createDocumentFragment();
    this.fragment.appendChild(node);
    this.schedule();
  };
  Batch.prototype.schedule = function () {
    if (this.frame) return;
    var self = this;
    this.frame = requestAnimationFrame(function () {
      self.frame = 0;
      if (self.lastFlush && Date.now() - self.lastFlush < flushInterval(self.list)) self.schedule();
      else self.flush();
    });
  };
  Batch.prototype.flush = function () {
    if (this.frame) {
      cancelAnimationFrame(this.frame);
      this.frame = 0;
    }
    if (!this.fragment) return;
    this.list.appendChild(this.fragment);
    this.fragment = null;
    this.lastFlush = Date.now();
    if (this.onFlush) this.onFlush();
  };
  Batch.prototype.reset = function () {
    if (this.frame) cancelAnimationFrame(this.frame);
    this.frame = 0;
    this.fragment = null;
    this.lastFlush = 0;
    this.list.textContent = '';
  };

  function setState(target, state) {
    target.textContent = '';
    if (!state) {
      target.hidden = true;
      return;
    }
    target.hidden = false;
    target.setAttribute('data-state', state.kind);
    if (state.kind === 'loading') {
      target.appendChild(el('div', 'spinner'));
    } else if (state.icon) {
      var badge = el('div', 'state-icon');
      badge.appendChild(icon(ICONS[state.icon]));
      target.appendChild(badge);
    }
    if (state.title) target.appendChild(el('p', 'state-title', state.title));
    if (state.text) target.appendChild(el('p', 'state-text', state.text));
    if (state.action) {
      var button = el('button', 'button ' + (state.action.primary === false ? '' : 'primary'), state.action.label);
      button.type = 'button';
      button.addEventListener('click', state.action.run);
      target.appendChild(button);
    }
  }

  function loadingState(text) {
    return { kind: 'loading', text: text };
  }

  function notConnectedState(retry) {
    return {
      kind: 'error', icon: 'plug', title: 'Not connected to Quorvel',
      text: 'This page shows its data inside the Quorvel program.',
      action: retry ? { label: 'Try again', run: retry } : null
    };
  }

  function noAnswerState(retry) {
    return {
      kind: 'error', icon: 'alert', title: 'Quorvel did not answer',
      text: 'The request took too long.',
      action: { label: 'Try again', run: retry }
    };
  }

  function noSeriesState() {
    return {
      kind: 'empty', icon: 'empty', title: 'You follow no series yet — search for one',
      text: 'Find a series, open it and press Follow. It shows up here with its next episodes.',
      action: { label: 'Search for a series', run: function () { navigate('search'); } }
    };
  }

  function showView(name) {
    Object.keys(views).forEach(function (other) {
      views[other].section.hidden = other !== name;
    });
    var navName = name === 'details' ? previous : name;
    Array.prototype.forEach.call(document.querySelectorAll('.nav-item'), function (item) {
      if (item.getAttribute('data-view') === navName) item.setAttribute('aria-current', 'page');
      else item.removeAttribute('aria-current');
    });
    if (name !== 'details') previous = name;
    current = name;
  }

  var LIST_VIEWS = { myshows: true, next: true, recent: true, now: true };

  /* Moves to a view; the list views ask the program for fresh rows each time. */
  function navigate(name) {
    showView(name);
    if (LIST_VIEWS[name]) load(name);
    if (name === 'search') {
      var input = document.getElementById('search-input');
      input.focus();
      input.select();
    }
  }

  function goBack() {
    var target = previous || 'myshows';
    showView(target);
    if (LIST_VIEWS[target] && (stale[target] || !loadedOnce[target])) load(target);
  }

  function load(name) {
    if (isPending(name)) return;
    var request = requestFor(name);
    if (request) submit(request);
  }

  function requestFor(kind) {
    switch (kind) {
      case 'myshows': return myShowsRequest();
      case 'next': return episodesRequest('next', 'ShowNextShows');
      case 'recent': return episodesRequest('recent', 'ShowRecentShows');
      case 'now': return nowRequest();
      case 'search': return searchRequest(lastQuery);
      case 'details': return detailsRequest(null);
      case 'season': return seasonRequest(details.season || 0);
      default: return null;
    }
  }

  /* ------------------------------------------------------------------ artwork */

  function art(className, url, alt) {
    var box = el('span', 'art ' + className);
    url = str(url).trim();
    if (url && !/^(javascript|vbscript):/i.test(url)) {
      var img = document.createElement('img');
      img.alt = str(alt);
      img.loading = 'lazy';
      img.decoding = 'async';
      img.draggable = false;
      img.referrerPolicy = 'no-referrer';
      img.src = url;
      box.appendChild(img);
    }
    return box;
  }

  function watchArtwork() {
    // One listener for every picture: loaded ones cover the placeholder, broken ones go away.
    document.addEventListener('load', function (event) {
      var img = event.target;
      if (img && img.tagName === 'IMG' && img.parentNode && img.parentNode.classList.contains('art')) {
        if (img.naturalWidth > 0) img.parentNode.classList.add('loaded');
      }
    }, true);
    document.addEventListener('error', function (event) {
      var img = event.target;
      if (img && img.tagName === 'IMG' && img.parentNode && img.parentNode.classList.contains('art')) {
        img.parentNode.classList.remove('loaded');
        img.remove();
      }
    }, true);
  }

  /* ------------------------------------------------------------------ My Shows */

  function myShowsRequest() {
    var view = views.myshows;
    var batch = new Batch(view.list, function () { setState(view.state, null); });
    var request = {
      kind: 'myshows', key: 'myshows', view: 'myshows', method: 'ShowMyShows', args: [],
      rows: 0, ids: Object.create(null), handlers: {}
    };
    request.handlers.start = function () {
      batch.reset();
      view.sub.textContent = '';
      setState(view.state, loadingState('Loading your shows…'));
    };
    request.handlers.row = function (name, args) {
      request.rows += 1;
      var id = str(args[1]);
      request.ids[id] = true;
      batch.add(showCard(args));
    };
    request.handlers.finish = function () {
      batch.flush();
      loadedOnce.myshows = true;
      stale.myshows = false;
      followed.known = true;
      followed.ids = request.ids;
      followed.count = request.rows;
      view.sub.textContent = request.rows ? plural(request.rows, 'series', 'series') : '';
      setState(view.state, request.rows ? null : noSeriesState());
      refreshFollowButton();
    };
    request.handlers.unavailable = function () {
      setState(view.state, notConnectedState(function () { load('myshows'); }));
    };
    request.handlers.lost = function () {
      batch.flush();
      setState(view.state, noAnswerState(function () { load('myshows'); }));
    };
    return request;
  }

  function showCard(args) {
    var data = {
      name: str(args[0]), id: str(args[1]), network: str(args[2]), genre: str(args[3]), image: str(args[4])
    };
    var item = el('li', 'card');
    var open = el('button', 'card-open');
    open.type = 'button';
    open.appendChild(art('poster', data.image, ''));
    open.appendChild(el('span', 'card-name', data.name || 'Unnamed series'));
    var meta = [data.network, splitPipes(data.genre).slice(0, 2).join(', ')].filter(Boolean).join(' · ');
    open.appendChild(el('span', 'card-meta', meta || '\u00a0'));
    item.appendChild(open);

    var remove = el('button', 'card-remove');
    remove.type = 'button';
    remove.title = 'Unfollow ' + (data.name || 'this series');
    remove.setAttribute('aria-label', remove.title);
    remove.appendChild(icon(ICONS.close));
    remove.appendChild(el('span', 'remove-label', 'Unfollow?'));
    item.appendChild(remove);

    rowData.set(item, data);
    return item;
  }

  /* Unfollowing asks once more: the first press arms the button for a few seconds. */
  function armOrRun(button, action) {
    if (button.classList.contains('confirm')) {
      clearTimeout(button._disarm);
      button.classList.remove('confirm');
      action();
      return;
    }
    button.classList.add('confirm');
    clearTimeout(button._disarm);
    button._disarm = setTimeout(function () { button.classList.remove('confirm'); }, 4000);
  }

  function unfollow(id, name, afterwards) {
    var number = seriesIdNumber(id);
    if (number === null) {
      toast('This series has no usable id');
      return;
    }
    submit({
      kind: 'unfollow', view: current, method: 'RemoveShow', args: [number],
      handlers: {
        finish: function () {
          delete followed.ids[str(id)];
          stale.next = stale.recent = stale.now = true;
          toast(name ? 'Unfollowed ' + name : 'Unfollowed');
          // The list is read afresh: the program may have kept or dropped entries.
          load('myshows');
          if (afterwards) afterwards();
        },
        unavailable: function () { toast('Not connected to Quorvel'); },
        lost: function () { toast('Quorvel did not answer'); }
      }
    });
  }

  function onMyShowsClick(event) {
    var target = event.target;
    var item = target.closest('.card');
    if (!item) return;
    var data = rowData.get(item);
    if (!data) return;
    var remove = target.closest('.card-remove');
    if (remove) {
      armOrRun(remove, function () {
        remove.disabled = true;
        unfollow(data.id, data.name);
      });
      return;
    }
    if (target.closest('.card-open')) openDetails(data.id, data.name);
  }

  /* ------------------------------------------------------------------ Next, Recent, Now rows */

  var EMPTY_TEXTS = {
    next: { icon: 'calendar', title: 'No coming episodes', text: 'None of your series has a dated episode ahead.' },
    recent: { icon: 'clock', title: 'Nothing aired yet', text: 'None of your series has a dated episode that has aired.' }
  };

  function episodesRequest(kind, method) {
    var view = views[kind];
    var batch = new Batch(view.list, function () { setState(view.state, null); });
    var request = { kind: kind, key: kind, view: kind, method: method, args: [], rows: 0, handlers: {} };
    request.handlers.start = function () {
      batch.reset();
      setState(view.state, loadingState(kind === 'next' ? 'Looking ahead…' : 'Looking back…'));
    };
    request.handlers.row = function (name, args) {
      request.rows += 1;
      batch.add(episodeRow(kind, {
        series: str(args[0]), season: str(args[1]), episode: str(args[2]), title: str(args[3]),
        aired: str(args[4]), image: str(args[6]), overview: str(args[7]), seriesId: str(args[8]),
        seriesImdb: str(args[9]), episodeId: str(args[10]), episodeImdb: str(args[11])
      }));
    };
    request.handlers.finish = function () {
      batch.flush();
      loadedOnce[kind] = true;
      stale[kind] = false;
      if (request.rows) setState(view.state, null);
      else if (followed.known && followed.count === 0) setState(view.state, noSeriesState());
      else setState(view.state, { kind: 'empty', icon: EMPTY_TEXTS[kind].icon, title: EMPTY_TEXTS[kind].title, text: EMPTY_TEXTS[kind].text });
    };
    request.handlers.unavailable = function () {
      setState(view.state, notConnectedState(function () { load(kind); }));
    };
    request.handlers.lost = function () {
      batch.flush();
      setState(view.state, noAnswerState(function () { load(kind); }));
    };
    return request;
  }

  function episodeRow(kind, data) {
    var item = el('li', 'ep-row');
    var head = el('button', 'ep-head');
    head.type = 'button';
    head.setAttribute('aria-expanded', 'false');
    head.appendChild(art('thumb wide', data.image, ''));

    var main = el('span', 'ep-main');
    main.appendChild(el('span', 'ep-series', data.series || 'Unnamed series'));
    var title = el('span', 'ep-title');
    var code = episodeCode(data.season, data.episode);
    if (code) title.appendChild(el('span', 'ep-code', code));
    title.appendChild(document.createTextNode(data.title || 'Title not known yet'));
    main.appendChild(title);
    head.appendChild(main);

    var when = el('span', 'ep-when');
    var air = parseAirDate(data.aired);
    if (air) {
      var days = daysFromToday(air);
      var rel = el('span', 'ep-rel', relativeDays(days));
      if ((kind === 'next' && days <= 7) || (kind !== 'next' && days === 0)) rel.classList.add('soon');
      when.appendChild(rel);
      when.appendChild(el('span', 'ep-date', formatDate(air, true)));
    } else {
      when.appendChild(el('span', 'ep-date', data.aired || 'Date not known'));
    }
    head.appendChild(when);
    head.appendChild(icon(ICONS.chevron, 'ep-chevron'));
    item.appendChild(head);

    rowData.set(item, data);
    return item;
  }

  /* The overview is built when the user first opens a row. */
  function toggleEpisode(item) {
    var data = rowData.get(item);
    var head = item.querySelector('.ep-head');
    var more = item.querySelector('.ep-more');
    if (!more) {
      more = el('div', 'ep-more');
      more.appendChild(el('p', 'ep-overview', data.overview || 'No overview yet.'));
      var actions = el('div', 'ep-actions');
      if (seriesIdNumber(data.seriesId) !== null) {
        var open = el('button', 'button small', 'Series details');
        open.type = 'button';
        open.setAttribute('data-act', 'details');
        actions.appendChild(open);
      }
      if (data.episodeImdb || data.seriesImdb) {
        var imdb = el('button', 'button small ghost', 'IMDb');
        imdb.type = 'button';
        imdb.setAttribute('data-act', 'imdb');
        actions.appendChild(imdb);
      }
      if (actions.firstChild) more.appendChild(actions);
      more.hidden = true;
      item.appendChild(more);
    }
    var open = more.hidden;
    more.hidden = !open;
    item.classList.toggle('open', open);
    head.setAttribute('aria-expanded', open ? 'true' : 'false');
  }

  function onEpisodesClick(event) {
    var item = event.target.closest('.ep-row');
    if (!item) return;
    var data = rowData.get(item);
    if (!data) return;
    var action = event.target.closest('[data-act]');
    if (action) {
      if (action.getAttribute('data-act') === 'details') openDetails(data.seriesId, data.series);
      else openImdb(data.episodeImdb || data.seriesImdb);
      return;
    }
    if (event.target.closest('.ep-head')) toggleEpisode(item);
  }

  function nowRequest() {
    var view = views.now;
    var list = view.list;
    var feed = view.part('feed');
    var body = view.part('body');
    var episodesState = view.part('episodes-state');
    var feedState = view.part('feed-state');
    var showBody = function () { setState(view.state, null); body.hidden = false; };
    var episodes = new Batch(list, showBody);
    var items = new Batch(feed, showBody);
    var request = {
      kind: 'now', key: 'now', view: 'now', method: 'CheckCurrentPlaying', args: [],
      episodeRows: 0, feedRows: 0, handlers: {}
    };
    request.handlers.start = function () {
      episodes.reset();
      items.reset();
      body.hidden = true;
      setState(episodesState, null);
      setState(feedState, null);
      setState(view.state, loadingState('Checking what is on…'));
    };
    request.handlers.row = function (name, args) {
      if (name === 'AddRssItem') {
        request.feedRows += 1;
        items.add(feedItem(str(args[0]), str(args[1])));
        return;
      }
      request.episodeRows += 1;
      var row = episodeRow('now', {
        series: str(args[0]), seriesId: str(args[1]), season: str(args[2]), episode: str(args[3]),
        title: str(args[4]), aired: str(args[5]), image: str(args[6]), overview: str(args[8]),
        seriesImdb: str(args[9]), episodeId: str(args[10]), episodeImdb: str(args[11])
      });
      row.setAttribute('data-row', str(args[7]));
      episodes.add(row);
    };
    request.handlers.finish = function () {
      episodes.flush();
      items.flush();
      loadedOnce.now = true;
      stale.now = false;
      showBody();
      if (!request.episodeRows) {
        setState(episodesState, followed.known && followed.count === 0
          ? { kind: 'empty', text: 'You follow no series yet — search for one.' }
          : { kind: 'empty', text: 'Nothing from your series aired in the last three days.' });
      }
      if (!request.feedRows) {
        setState(feedState, { kind: 'empty', text: 'The release feed has nothing to show right now.' });
      }
    };
    request.handlers.unavailable = function () {
      setState(view.state, notConnectedState(function () { load('now'); }));
    };
    request.handlers.lost = function () {
      episodes.flush();
      items.flush();
      setState(view.state, noAnswerState(function () { load('now'); }));
    };
    return request;
  }

  function feedItem(title, link) {
    var item = el('li');
    var button = el('button', 'feed-link');
    button.type = 'button';
    button.appendChild(icon(ICONS.link));
    button.appendChild(el('span', 'feed-title', title || link || 'Untitled release'));
    if (link) button.title = link;
    else button.classList.add('inert');
    item.appendChild(button);
    rowData.set(item, { title: title, link: link });
    return item;
  }

  function onFeedClick(event) {
    var item = event.target.closest('li');
    var data = item && rowData.get(item);
    if (data && data.link) openUrl(data.link);
  }

  /* ------------------------------------------------------------------ Search */

  var lastQuery = '';

  function searchIdleState() {
    return { kind: 'empty', icon: 'search', title: 'Find a series to follow', text: 'Type its name and press Enter.' };
  }

  function startSearch(text) {
    text = str(text).trim();
    var input = document.getElementById('search-input');
    if (!text) {
      input.focus();
      return;
    }
    lastQuery = text;
    showView('search');
    submit(searchRequest(text));
  }

  function searchRequest(text) {
    var view = views.search;
    var batch = new Batch(view.list, function () { setState(view.state, null); });
    var request = {
      kind: 'search', key: 'search', view: 'search', method: 'SearchCallback', args: [text],
      rows: 0, handlers: {}
    };
    request.handlers.start = function () {
      batch.reset();
      view.sub.textContent = text ? 'Searching for “' + text + '”' : '';
      setState(view.state, loadingState('Searching…'));
    };
    request.handlers.row = function (name, args) {
      if (name !== 'PopulateSearchTable') return;
      request.rows += 1;
      batch.add(searchResult(args));
    };
    request.handlers.finish = function () {
      batch.flush();
      if (request.rows) {
        view.sub.textContent = plural(request.rows, 'result', 'results') + (text ? ' for “' + text + '”' : '');
        setState(view.state, null);
      } else {
        view.sub.textContent = '';
        setState(view.state, {
          kind: 'empty', icon: 'search', title: 'No series found',
          text: text ? 'Nothing matches “' + text + '”. Check the spelling or try another name.' : 'Try another name.'
        });
      }
    };
    request.handlers.unavailable = function () {
      view.sub.textContent = '';
      setState(view.state, notConnectedState(function () { startSearch(text); }));
    };
    request.handlers.lost = function () {
      batch.flush();
      setState(view.state, noAnswerState(function () { startSearch(text); }));
    };
    return request;
  }

  function searchResult(args) {
    var data = {
      name: str(args[0]), id: str(args[1]), banner: str(args[2]), network: str(args[3]),
      aired: str(args[4]), overview: str(args[5])
    };
    var item = el('li', 'result');
    var open = el('button', 'result-open');
    open.type = 'button';
    open.appendChild(art('banner wide', data.banner, ''));
    var main = el('span', 'result-main');
    main.appendChild(el('span', 'result-name', data.name || 'Unnamed series'));
    var air = parseAirDate(data.aired);
    var since = air ? 'since ' + air.year : data.aired;
    var meta = [data.network, since].filter(Boolean).join(' · ');
    if (meta) main.appendChild(el('span', 'result-meta', meta));
    if (data.overview) main.appendChild(el('span', 'result-overview', data.overview));
    open.appendChild(main);
    item.appendChild(open);
    rowData.set(item, data);
    return item;
  }

  function onResultsClick(event) {
    var item = event.target.closest('.result');
    var data = item && rowData.get(item);
    if (data) openDetails(data.id, data.name);
  }

  /* ------------------------------------------------------------------ Details */

  var details = { id: '', requestedId: null, name: '', season: 0, seasons: 0 };

  function openDetails(id, nameHint) {
    var number = seriesIdNumber(id);
    if (number === null) {
      toast('This series has no usable id');
      return;
    }
    showView('details');
    submit(detailsRequest(number, nameHint));
  }

  function detailsRequest(number, nameHint) {
    var view = views.details;
    var body = view.part('body');
    var request = {
      kind: 'details', key: 'details', view: 'details', method: 'GetDetails', args: [number],
      rows: 0, record: null, handlers: {}
    };
    request.handlers.start = function () {
      body.hidden = true;
      details.id = '';
      details.requestedId = number;
      details.season = 0;
      details.seasons = 0;
      setState(view.state, loadingState(nameHint ? 'Opening ' + nameHint + '…' : 'Opening series…'));
    };
    request.handlers.row = function (name, args) {
      request.rows += 1;
      request.record = Array.prototype.slice.call(args);
      if (number === null) {
        // Details the page did not ask for: show them all the same.
        if (current !== 'details') showView('details');
      }
      fillDetails(request.record);
    };
    request.handlers.finish = function () {
      var record = request.record;
      if (!record || !str(record[9]).trim()) {
        body.hidden = true;
        setState(view.state, {
          kind: 'error', icon: 'alert', title: 'Could not load this series',
          text: 'Its details could not be downloaded. Check the connection and try again.',
          action: number !== null ? { label: 'Try again', run: function () { openDetails(String(number), nameHint); } } : null
        });
        return;
      }
      setState(view.state, null);
      body.hidden = false;
      if (details.seasons > 0) selectSeason(details.seasons);
      else setState(view.part('season-state'), { kind: 'empty', text: 'No episodes are listed for this series.' });
    };
    request.handlers.unavailable = function () {
      setState(view.state, notConnectedState(function () { openDetails(String(number), nameHint); }));
    };
    request.handlers.lost = function () {
      setState(view.state, noAnswerState(function () { openDetails(String(number), nameHint); }));
    };
    return request;
  }

  function fillDetails(record) {
    var view = views.details;
    var part = view.part;
    var name = str(record[0]);
    var overview = str(record[1]);
    var actors = splitPipes(record[2]);
    var network = str(record[3]);
    var status = str(record[4]).trim();
    var airText = str(record[5]);
    var genres = splitPipes(record[6]);
    var artwork = str(record[7]);
    var seasons = parseInt(str(record[8]), 10);
    var id = str(record[9]).trim();
    var imdb = str(record[10]).trim();

    details.id = id;
    details.name = name;
    details.seasons = isNaN(seasons) || seasons < 0 ? 0 : Math.min(seasons, MAX_SEASONS);

    var poster = part('poster');
    var fresh = art('poster', artwork, name);
    poster.className = fresh.className;
    poster.textContent = '';
    if (fresh.firstChild) poster.appendChild(fresh.firstChild);

    part('name').textContent = name || 'Unnamed series';

    var meta = part('meta');
    meta.textContent = '';
    var bits = [];
    if (network) bits.push(el('span', '', network));
    if (status) bits.push(el('span', /continuing/i.test(status) ? 'status-live' : '', status));
    var air = airTextParts(airText);
    if (air) bits.push(el('span', '', air));
    bits.forEach(function (bit, index) {
      if (index) meta.appendChild(el('span', 'dot', '·'));
      meta.appendChild(bit);
    });
    meta.hidden = !bits.length;

    var genreList = part('genres');
    genreList.textContent = '';
    genres.forEach(function (genre) { genreList.appendChild(el('li', 'chip', genre)); });

    part('overview').textContent = overview || 'No overview yet.';

    var shown = actors.slice(0, 8).join(', ');
    if (actors.length > 8) shown += ' and ' + (actors.length - 8) + ' more';
    part('actors').textContent = shown;
    part('actors-line').hidden = !actors.length;

    var imdbButton = part('imdb');
    imdbButton.hidden = !imdb;
    imdbButton._imdb = imdb;

    buildSeasonPicker();
    refreshFollowButton();
  }

  /* The program writes the air text as time, one space, weekday; shown as "Thursday 9:00 PM". */
  function airTextParts(text) {
    text = str(text);
    var cut = text.lastIndexOf(' ');
    var time = (cut < 0 ? text : text.slice(0, cut)).trim();
    var day = cut < 0 ? '' : text.slice(cut + 1).trim();
    return [day, time].filter(Boolean).join(' ');
  }

  function buildSeasonPicker() {
    var view = views.details;
    var picker = view.part('seasons');
    picker.textContent = '';
    view.part('season-list').textContent = '';
    setState(view.part('season-state'), null);
    for (var season = 1; season <= details.seasons; season += 1) {
      var chip = el('button', 'season-chip', String(season));
      chip.type = 'button';
      chip.setAttribute('aria-pressed', 'false');
      chip.setAttribute('aria-label', 'Season ' + season);
      chip.setAttribute('data-season', String(season));
      picker.appendChild(chip);
    }
    picker.parentNode.hidden = details.seasons === 0;
  }

  function selectSeason(season) {
    var picker = views.details.part('seasons');
    Array.prototype.forEach.call(picker.children, function (chip) {
      var on = Number(chip.getAttribute('data-season')) === season;
      chip.setAttribute('aria-pressed', on ? 'true' : 'false');
      if (on && chip.scrollIntoView) chip.scrollIntoView({ block: 'nearest', inline: 'nearest' });
    });
    details.season = season;
    submit(seasonRequest(season));
  }

  function seasonRequest(season) {
    var view = views.details;
    var list = view.part('season-list');
    var seasonState = view.part('season-state');
    var batch = new Batch(list, function () { setState(seasonState, null); });
    var request = {
      kind: 'season', key: 'season', view: 'details', method: 'ShowSeason', args: [season],
      rows: 0, handlers: {}
    };
    request.handlers.start = function () {
      batch.reset();
      setState(seasonState, loadingState(''));
    };
    request.handlers.row = function (name, args) {
      request.rows += 1;
      batch.add(seasonEpisode(args));
    };
    request.handlers.finish = function () {
      batch.flush();
      setState(seasonState, request.rows ? null : { kind: 'empty', text: 'No episodes are listed for season ' + season + '.' });
    };
    request.handlers.unavailable = function () { setState(seasonState, notConnectedState(null)); };
    request.handlers.lost = function () {
      batch.flush();
      setState(seasonState, noAnswerState(function () { selectSeason(season); }));
    };
    return request;
  }

  function seasonEpisode(args) {
    var number = str(args[0]).trim();
    var item = el('li', 'season-ep' + (str(args[3]) === '1' ? ' odd' : ''));
    item.appendChild(el('span', 'season-ep-num', number ? 'E' + pad2(number) : '–'));
    item.appendChild(el('span', 'season-ep-name', str(args[1]) || 'Title not known yet'));
    var air = parseAirDate(args[2]);
    var date = el('span', 'season-ep-date', air ? formatDate(air, false) : (str(args[2]) || 'No date'));
    if (air && daysFromToday(air) > 0) {
      date.classList.add('future');
      date.title = relativeDays(daysFromToday(air));
    }
    item.appendChild(date);
    return item;
  }

  function onSeasonPickerClick(event) {
    var chip = event.target.closest('.season-chip');
    if (chip) selectSeason(Number(chip.getAttribute('data-season')));
  }

  function refreshFollowButton() {
    var button = views.details.part('follow');
    var id = details.id;
    var following = !!(id && followed.ids[id]);
    button.disabled = seriesIdNumber(id) === null || isPending('follow');
    button.classList.toggle('following', following);
    button.classList.remove('confirm');
    button.textContent = '';
    button.appendChild(icon(following ? ICONS.check : ICONS.plus));
    button.appendChild(document.createTextNode(following ? 'Following' : 'Follow'));
    button.title = following ? 'Press twice to stop following' : 'Add to My Shows';
  }

  function onFollowClick() {
    var button = views.details.part('follow');
    var id = details.id;
    var name = details.name;
    if (seriesIdNumber(id) === null) return;
    if (followed.ids[id]) {
      if (!button.classList.contains('confirm')) {
        button.classList.add('confirm');
        button.lastChild.textContent = 'Unfollow?';
        clearTimeout(button._disarm);
        button._disarm = setTimeout(refreshFollowButton, 4000);
        return;
      }
      clearTimeout(button._disarm);
      button.disabled = true;
      unfollow(id, name, refreshFollowButton);
      return;
    }
    button.disabled = true;
    // The program follows the series it read last for this view.
    submit({
      kind: 'follow', key: 'follow', view: 'details', method: 'AddToFavs', args: [],
      handlers: {
        finish: function () {
          followed.ids[id] = true;
          followed.count += 1;
          stale.myshows = stale.next = stale.recent = stale.now = true;
          toast('Added ' + (name || 'the series') + ' to My Shows');
          setTimeout(refreshFollowButton, 0);
        },
        unavailable: function () { toast('Not connected to Quorvel'); setTimeout(refreshFollowButton, 0); },
        lost: function () { toast('Quorvel did not answer'); setTimeout(refreshFollowButton, 0); }
      }
    });
  }

  /* ------------------------------------------------------------------ small things */

  var toastTimer = 0;

  function toast(text) {
    var box = document.getElementById('toast');
    box.textContent = text;
    box.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(function () { box.hidden = true; }, 2800);
  }

  /* A credit line for the data source; hidden unless asked for. */
  function setCredit(text, url) {
    var credit = document.getElementById('credit');
    if (!credit) return;
    credit.textContent = '';
    text = str(text);
    if (!text) {
      credit.hidden = true;
      return;
    }
    if (url) {
      var link = el('button', 'button ghost small', text);
      link.type = 'button';
      link.addEventListener('click', function () { openUrl(url); });
      credit.appendChild(link);
    } else {
      credit.textContent = text;
    }
    credit.hidden = false;
  }

  var session = { v: '', t: '' };

  function readQuery() {
    var params;
    try {
      params = new URLSearchParams(window.location.search);
    } catch (e) {
      return;
    }
    session.v = str(params.get('v'));
    session.t = str(params.get('t'));
    if (params.get('credit') === 'tvmaze') setCredit('Data: TVmaze', 'https://www.tvmaze.com/');
  }

  /* ------------------------------------------------------------------ keyboard and mouse */

  var ROW_TARGETS = '.card-open, .ep-head, .result-open, .feed-link, .season-chip';

  function moveFocus(event) {
    var from = document.activeElement;
    if (!from || !from.matches || !from.matches(ROW_TARGETS)) return false;
    var scope = from.closest('ul, ol, .season-picker');
    if (!scope) return false;
    var targets = Array.prototype.filter.call(scope.querySelectorAll(ROW_TARGETS), function (node) {
      return node.closest('ul, ol, .season-picker') === scope;
    });
    var index = targets.indexOf(from);
    var step = 0;
    var grid = scope.classList.contains('cards');
    var across = grid ? Math.max(1, Math.round(scope.clientWidth / from.offsetWidth)) : 1;
    switch (event.key) {
      case 'ArrowDown': step = across; break;
      case 'ArrowUp': step = -across; break;
      case 'ArrowRight': step = grid || scope.classList.contains('season-picker') ? 1 : 0; break;
      case 'ArrowLeft': step = grid || scope.classList.contains('season-picker') ? -1 : 0; break;
      case 'Home': step = -index; break;
      case 'End': step = targets.length - 1 - index; break;
      default: return false;
    }
    var next = targets[Math.min(targets.length - 1, Math.max(0, index + step))];
    if (!step || !next || next === from) return !!step;
    next.focus();
    if (next.scrollIntoView) next.scrollIntoView({ block: 'nearest' });
    return true;
  }

  function onKeyDown(event) {
    var typing = event.target && (event.target.tagName === 'INPUT' || event.target.tagName === 'TEXTAREA');
    if (event.altKey && !event.ctrlKey && /^[1-5]$/.test(event.key)) {
      navigate(['myshows', 'next', 'recent', 'now', 'search'][Number(event.key) - 1]);
      event.preventDefault();
      return;
    }
    if ((event.ctrlKey && !event.altKey && (event.key === 'f' || event.key === 'F')) || (!typing && event.key === '/')) {
      navigate('search');
      event.preventDefault();
      return;
    }
    if (event.altKey && event.key === 'ArrowLeft' && current === 'details') {
      goBack();
      event.preventDefault();
      return;
    }
    if (!typing && !event.altKey && !event.ctrlKey && moveFocus(event)) event.preventDefault();
  }

  function wire() {
    var titlebar = document.getElementById('titlebar');
    titlebar.addEventListener('mousedown', function (event) {
      if (event.button !== 0 || event.target.closest('button')) return;
      event.preventDefault();
      callProgram('DragWindow', []);
    });
    document.getElementById('close-button').addEventListener('click', function () {
      callProgram('OnClose', []);
    });

    Array.prototype.forEach.call(document.querySelectorAll('.nav-item'), function (item) {
      item.addEventListener('click', function () { navigate(item.getAttribute('data-view')); });
    });

    document.getElementById('search-form').addEventListener('submit', function (event) {
      event.preventDefault();
      startSearch(document.getElementById('search-input').value);
    });

    views.myshows.list.addEventListener('click', onMyShowsClick);
    views.next.list.addEventListener('click', onEpisodesClick);
    views.recent.list.addEventListener('click', onEpisodesClick);
    views.now.list.addEventListener('click', onEpisodesClick);
    views.now.part('feed').addEventListener('click', onFeedClick);
    views.search.list.addEventListener('click', onResultsClick);
    views.details.part('seasons').addEventListener('click', onSeasonPickerClick);
    views.details.part('follow').addEventListener('click', onFollowClick);
    views.details.part('imdb').addEventListener('click', function (event) {
      openImdb(event.currentTarget._imdb);
    });
    document.getElementById('back-button').addEventListener('click', goBack);
    document.addEventListener('keydown', onKeyDown);
    document.addEventListener('dragstart', function (event) { event.preventDefault(); });
    watchArtwork();
  }

  /* ------------------------------------------------------------------ start */

  var ready = false;
  var early = [];
  var bridgeTries = 0;

  function waitForProgram() {
    if (bridge()) {
      navigate('myshows');
      return;
    }
    bridgeTries += 1;
    if (bridgeTries <= 100) {
      setTimeout(waitForProgram, 100);
      return;
    }
    setState(views.myshows.state, notConnectedState(function () {
      bridgeTries = 0;
      setState(views.myshows.state, loadingState('Connecting…'));
      waitForProgram();
    }));
  }

  function start() {
    if (ready) return;
    findViews();
    wire();
    readQuery();
    setState(views.search.state, searchIdleState());
    ready = true;
    early.splice(0).forEach(function (call) { receive(call[0], call[1]); });
    if (bridge()) {
      navigate('myshows');
    } else {
      showView('myshows');
      setState(views.myshows.state, loadingState('Connecting…'));
      waitForProgram();
    }
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();

  return {
    /* Entry point of the page functions; never throws back into the program. */
    deliver: function (name, args) {
      try {
        args = Array.prototype.slice.call(args);
        if (!ready) early.push([name, args]);
        else receive(name, args);
      } catch (e) {
        if (window.console) console.error('Quorvel page:', name, e);
      }
    },
    setCredit: setCredit,
    navigate: navigate,
    session: session
  };
})();

/* ---------------------------------------------------------------------- page functions
 * Called by the program by name, one call per row, every argument a text. */

function PopulateMyShowsTable(SeriesName, id, Network, Genre, imageUrl) {
  QuorvelPage.deliver('PopulateMyShowsTable', arguments);
}

function PopulateNextShows(SeriesName, SeasonNumber, EpisodeNumber, EpisodeName, FirstAired, zero,
  imageUrl, Overview, seriesId, seriesImdb, episodeId, episodeImdb) {
  QuorvelPage.deliver('PopulateNextShows', arguments);
}

function PopulateRecentShows(SeriesName, SeasonNumber, EpisodeNumber, EpisodeName, FirstAired, zero,
  imageUrl, Overview, seriesId, seriesImdb, episodeId, episodeImdb) {
  QuorvelPage.deliver('PopulateRecentShows', arguments);
}

function PopulateSearchTable(SeriesName, id, bannerUrl, Network, FirstAired, Overview) {
  QuorvelPage.deliver('PopulateSearchTable', arguments);
}

function PopulateSeasonsTable(EpisodeNumber, EpisodeName, FirstAired, parity) {
  QuorvelPage.deliver('PopulateSeasonsTable', arguments);
}

function PopulateCurentlyPlayingTable(SeriesName, seriesId, SeasonNumber, EpisodeNumber, EpisodeName,
  FirstAired, imageUrl, rowIndex, Overview, seriesImdb, episodeId, episodeImdb) {
  QuorvelPage.deliver('PopulateCurentlyPlayingTable', arguments);
}

function AddRssItem(title, link) {
  QuorvelPage.deliver('AddRssItem', arguments);
}

function PopulateDetails(SeriesName, Overview, Actors, Network, Status, airText, Genre, artworkUrl,
  seasonCount, id, IMDB_ID) {
  QuorvelPage.deliver('PopulateDetails', arguments);
}

function ShowResults() {
  QuorvelPage.deliver('ShowResults', arguments);
}

function NoResults() {
  QuorvelPage.deliver('NoResults', arguments);
}

function initFinish() {
  QuorvelPage.deliver('initFinish', arguments);
}
