/* Quorvel page: the views, the requests that fill them, and moving between them. */
'use strict';

const Page = {
  views: {},
  current: null,
  previous: 'myshows',
  loadedOnce: new Set(),
  stale: new Set(),
  followed: { known: false, ids: new Set(), count: 0 },
  details: { id: '', requestedId: null, name: '', season: 0, seasons: 0 },
  lastQuery: '',
  queue: null
};

const MAX_SEASONS = 250;
const MAX_CHIPS = 12;
const LIST_VIEWS = new Set(['myshows', 'next', 'recent', 'now']);

/* ---------------------------------------------------------------------- states */

const States = (() => {
  const { el, button, icon, ICONS } = Dom;

  const set = (target, state) => {
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
      const badge = el('div', 'state-icon');
      badge.appendChild(icon(ICONS[state.icon]));
      target.appendChild(badge);
    }
    if (state.title) target.appendChild(el('p', 'state-title', state.title));
    if (state.text) target.appendChild(el('p', 'state-text', state.text));
    if (state.action) {
      const action = button('button ' + (state.action.primary === false ? '' : 'primary'), state.action.label);
      action.addEventListener('click', state.action.run);
      target.appendChild(action);
    }
  };

  const loading = (text) => ({ kind: 'loading', text });

  const notConnected = (retry) => ({
    kind: 'error', icon: 'plug', title: 'Not connected to Quorvel',
    text: 'This page shows its data inside the Quorvel program.',
    action: retry ? { label: 'Try again', run: retry } : null
  });

  const noAnswer = (retry) => ({
    kind: 'error', icon: 'alert', title: 'Quorvel did not answer',
    text: 'The request took too long.',
    action: { label: 'Try again', run: retry }
  });

  const noSeries = () => ({
    kind: 'empty', icon: 'empty', title: 'You follow no series yet — search for one',
    text: 'Find a series, open it and press Follow. It shows up here with its next episodes.',
    action: { label: 'Search for a series', run: () => navigate('search') }
  });

  const searchIdle = () => ({
    kind: 'empty', icon: 'search', title: 'Find a series to follow', text: 'Type its name and press Enter.'
  });

  return Object.freeze({ set, loading, notConnected, noAnswer, noSeries, searchIdle });
})();

const setState = States.set;

/* Says a text through the page's polite live region; the same text twice is said twice. */
let announceTimer = 0;
const announce = (text) => {
  const region = document.getElementById('announcer');
  region.textContent = '';
  clearTimeout(announceTimer);
  announceTimer = setTimeout(() => { region.textContent = text; }, 60);
};

/* Announces a view's outcome only while the user is looking at that view. */
const announceFor = (view, text) => {
  if (Page.current === view) announce(text);
};

const focusHeading = (name = Page.current) => {
  Page.views[name]?.section.querySelector('h1')?.focus({ preventScroll: true });
};

const submit = (request) => Page.queue.submit(request);
const isPending = (key) => Page.queue.isPending(key);

/* ---------------------------------------------------------------------- the list requests */

/* The one shape of the six list requests. `start` runs once the loading state is up (shown only
 * while the lists are empty: rows on screen stay until the answer differs); `row(name, record,
 * request)` answers the record for the first list, [list, record] for another, or nothing to drop
 * it; `finish(request)` runs once the rows are in. Without the program, or without an answer, the
 * view says so and offers `retry`. */
const listRequest = ({
  kind, key = kind, view = kind, method, args = [], state, lists, loading = '', start, row, finish,
  onRows = () => setState(state, null), unavailable, retry, offlineRetry = retry
}) => {
  const request = { kind, key, view, method, args, rows: 0 };
  request.handlers = {
    start: () => {
      for (const list of lists) {
        list.begin();
        list.onShow = onRows;
      }
      if (lists.every((list) => !list.length)) setState(state, States.loading(loading));
      if (loading) announceFor(view, loading);
      start?.(request);
    },
    row: (name, record) => {
      const built = row(name, record, request);
      if (!built) return;
      const [list, data] = Array.isArray(built) ? built : [lists[0], built];
      list.push(data);
    },
    finish: () => {
      for (const list of lists) list.commit();
      finish(request);
    },
    unavailable: () => {
      for (const list of lists) list.clear();
      unavailable?.();
      setState(state, States.notConnected(offlineRetry));
    },
    lost: () => {
      for (const list of lists) list.commit();
      setState(state, States.noAnswer(retry));
    }
  };
  return request;
};

/* Next soonest first, Recent latest first; rows without a date last; ties keep their order. */
const byAirDate = (direction) => (records) => {
  const keys = records.map((record) => {
    const air = Format.parseAirDate(record.aired);
    return air ? air.stamp * direction : Infinity;
  });
  const order = records.map((record, index) => index);
  order.sort((a, b) => (keys[a] === keys[b] ? a - b : keys[a] < keys[b] ? -1 : 1));
  return order.map((index) => records[index]);
};

/* One windowed list per list of the views, kept for the page's life so rows can be reused. */
const createLists = () => {
  const { views } = Page;
  Page.lists = {
    myshows: new WindowedList(views.myshows.list, { render: Rows.card, target: '.card-open' }),
    next: new WindowedList(views.next.list, { render: (r) => Rows.episode('next', r), target: '.ep-head', order: byAirDate(1) }),
    recent: new WindowedList(views.recent.list, { render: (r) => Rows.episode('recent', r), target: '.ep-head', order: byAirDate(-1) }),
    now: new WindowedList(views.now.list, { render: (r) => Rows.episode('now', r), target: '.ep-head' }),
    feed: new WindowedList(views.now.part('feed'), { render: Rows.feedItem, target: '.feed-link' }),
    search: new WindowedList(views.search.list, { render: Rows.searchResult, target: '.result-open' }),
    season: new WindowedList(views.details.part('season-list'), { render: Rows.seasonEpisode })
  };
};

const markLoaded = (kind) => {
  Page.loadedOnce.add(kind);
  Page.stale.delete(kind);
};

const myShowsRequest = () => {
  const view = Page.views.myshows;
  const ids = new Set();
  return listRequest({
    kind: 'myshows', method: 'ShowMyShows', state: view.state, lists: [Page.lists.myshows],
    loading: 'Loading your shows…',
    start: () => {
      view.sub.textContent = '';
      showNotice('');
    },
    row: (name, record, request) => {
      request.rows += 1;
      ids.add(record.id);
      return record;
    },
    finish: (request) => {
      markLoaded('myshows');
      Object.assign(Page.followed, { known: true, ids, count: request.rows });
      view.sub.textContent = request.rows ? Format.plural(request.rows, 'series', 'series') : '';
      setState(view.state, request.rows ? null : States.noSeries());
      announceFor('myshows', request.rows ? Format.plural(request.rows, 'series', 'series') : 'You follow no series yet');
      refreshFollowButton();
      // After an unfollow, focus goes to the card that took the place of the one removed.
      if (Page.focusAfterLoad?.list === Page.lists.myshows) {
        const { index } = Page.focusAfterLoad;
        Page.focusAfterLoad = null;
        if (!Page.lists.myshows.focus(index)) focusHeading('myshows');
      }
    },
    retry: () => load('myshows')
  });
};

const EMPTY_TEXTS = {
  next: { kind: 'empty', icon: 'calendar', title: 'No coming episodes', text: 'None of your series has a dated episode ahead.' },
  recent: { kind: 'empty', icon: 'clock', title: 'Nothing aired yet', text: 'None of your series has a dated episode that has aired.' }
};

const episodesRequest = (kind, method) => {
  const view = Page.views[kind];
  return listRequest({
    kind, method, state: view.state, lists: [Page.lists[kind]],
    loading: kind === 'next' ? 'Looking ahead…' : 'Looking back…',
    row: (name, record, request) => {
      request.rows += 1;
      return record;
    },
    finish: (request) => {
      markLoaded(kind);
      announceFor(kind, request.rows ? Format.plural(request.rows, 'episode', 'episodes') : EMPTY_TEXTS[kind].title);
      if (request.rows) setState(view.state, null);
      else if (Page.followed.known && Page.followed.count === 0) setState(view.state, States.noSeries());
      else setState(view.state, EMPTY_TEXTS[kind]);
    },
    retry: () => load(kind)
  });
};

const nowRequest = () => {
  const view = Page.views.now;
  const feed = Page.lists.feed;
  const body = view.part('body');
  const episodesState = view.part('episodes-state');
  const feedState = view.part('feed-state');
  const showBody = () => {
    setState(view.state, null);
    body.hidden = false;
  };
  return listRequest({
    kind: 'now', method: 'CheckCurrentPlaying', state: view.state, lists: [Page.lists.now, feed],
    loading: 'Checking what is on…', onRows: showBody,
    start: (request) => {
      request.episodeRows = 0;
      request.feedRows = 0;
      if (!Page.lists.now.length && !feed.length) body.hidden = true;
      setState(episodesState, null);
      setState(feedState, null);
    },
    row: (name, record, request) => {
      if (name === 'AddRssItem') {
        request.feedRows += 1;
        return [feed, record];
      }
      request.episodeRows += 1;
      return record;
    },
    finish: (request) => {
      markLoaded('now');
      showBody();
      announceFor('now', `${Format.plural(request.episodeRows, 'episode', 'episodes')} aired lately, ` +
        Format.plural(request.feedRows, 'release', 'releases'));
      if (!request.episodeRows) {
        setState(episodesState, Page.followed.known && Page.followed.count === 0
          ? { kind: 'empty', text: 'You follow no series yet — search for one.' }
          : { kind: 'empty', text: 'Nothing from your series aired in the last three days.' });
      }
      if (!request.feedRows) {
        setState(feedState, { kind: 'empty', text: 'The release feed has nothing to show right now.' });
      }
    },
    retry: () => load('now')
  });
};

const searchRequest = (text) => {
  const view = Page.views.search;
  return listRequest({
    kind: 'search', method: 'SearchCallback', args: [text], state: view.state, lists: [Page.lists.search],
    loading: 'Searching…',
    start: () => { view.sub.textContent = text ? `Searching for “${text}”` : ''; },
    row: (name, record, request) => {
      if (name !== 'PopulateSearchTable') return null;
      request.rows += 1;
      return record;
    },
    finish: (request) => {
      if (request.rows) {
        view.sub.textContent = Format.plural(request.rows, 'result', 'results') + (text ? ` for “${text}”` : '');
        setState(view.state, null);
        announceFor('search', view.sub.textContent);
      } else {
        view.sub.textContent = '';
        announceFor('search', 'No series found');
        setState(view.state, {
          kind: 'empty', icon: 'search', title: 'No series found',
          text: text ? `Nothing matches “${text}”. Check the spelling or try another name.` : 'Try another name.'
        });
      }
    },
    unavailable: () => { view.sub.textContent = ''; },
    retry: () => startSearch(text)
  });
};

const seasonRequest = (season) => {
  const view = Page.views.details;
  const seasonState = view.part('season-state');
  return listRequest({
    kind: 'season', view: 'details', method: 'ShowSeason', args: [season], state: seasonState,
    lists: [Page.lists.season],
    row: (name, record, request) => {
      request.rows += 1;
      return record;
    },
    finish: (request) => {
      setState(seasonState, request.rows ? null : { kind: 'empty', text: `No episodes are listed for season ${season}.` });
      announceFor('details', request.rows ? `Season ${season}, ${Format.plural(request.rows, 'episode', 'episodes')}` : `No episodes are listed for season ${season}`);
    },
    retry: () => selectSeason(season),
    offlineRetry: null
  });
};

/* Which request rows nobody asked for belong to. */
const requestFor = (kind) => {
  switch (kind) {
    case 'myshows': return myShowsRequest();
    case 'next': return episodesRequest('next', 'ShowNextShows');
    case 'recent': return episodesRequest('recent', 'ShowRecentShows');
    case 'now': return nowRequest();
    case 'search': return searchRequest(Page.lastQuery);
    case 'details': return detailsRequest(null);
    case 'season': return seasonRequest(Page.details.season || 0);
    default: return null;
  }
};

/* ---------------------------------------------------------------------- moving between views */

const showView = (name) => {
  for (const [other, view] of Object.entries(Page.views)) view.section.hidden = other !== name;
  const navName = name === 'details' ? Page.previous : name;
  for (const item of document.querySelectorAll('.nav-item')) {
    if (item.getAttribute('data-view') === navName) item.setAttribute('aria-current', 'page');
    else item.removeAttribute('aria-current');
  }
  if (name !== 'details') Page.previous = name;
  Page.current = name;
  // An older program has no OpenCalendar: then there is no button for it.
  Page.views.next.part('calendar').hidden = !Program.has('OpenCalendar');
};

const load = (name) => {
  if (isPending(name)) return;
  const request = requestFor(name);
  if (request) submit(request);
};

/* Moves to a view and focus to its heading (the search box in Search); the list views ask the
 * program for fresh rows each time. */
/* The date formats load the locale's data, which My Shows and Search never need: built in a task
 * of their own the first time a view with dates opens, ahead of its rows. */
const prepareDates = (name) => {
  if (name !== 'myshows' && name !== 'search') setTimeout(Format.warmUp, 0);
};

const navigate = (name, { focus = true } = {}) => {
  prepareDates(name);
  showView(name);
  if (LIST_VIEWS.has(name)) load(name);
  if (name === 'search') {
    const input = document.getElementById('search-input');
    input.focus();
    input.select();
  } else if (focus) {
    focusHeading(name);
  }
};

/* Back to the view the details were opened from, focus on the row that opened them. */
const goBack = () => {
  const target = Page.previous || 'myshows';
  showView(target);
  if (LIST_VIEWS.has(target) && (Page.stale.has(target) || !Page.loadedOnce.has(target))) load(target);
  const opener = Page.opener;
  Page.opener = null;
  if (!(opener?.view === target && opener.list.focus(opener.index))) focusHeading(target);
};

/* ---------------------------------------------------------------------- small things */

let toastTimer = 0;

const toast = (text) => {
  const box = document.getElementById('toast');
  box.textContent = text;
  box.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => { box.hidden = true; }, 2800);
};

/* ---------------------------------------------------------------------- My Shows: notice */

/* The program's notice for My Shows (ShowNotice), as text in the view's status region; an empty
 * text takes it away. The region stays in the document so that a new notice is announced. */
const showNotice = (text) => {
  const region = Page.views.myshows.part('notice');
  region.textContent = '';
  const value = Format.str(text).trim();
  if (value) region.appendChild(Dom.el('p', 'notice', value));
};

/* ---------------------------------------------------------------------- My Shows: unfollow */

/* Unfollowing asks once more: the first press arms the button for a few seconds. */
const armOrRun = (button, action) => {
  if (button.classList.contains('confirm')) {
    clearTimeout(button._disarm);
    button.classList.remove('confirm');
    action();
    return;
  }
  button.classList.add('confirm');
  announce(`Press again to unfollow ${button._name || 'this series'}`);
  clearTimeout(button._disarm);
  button._disarm = setTimeout(() => button.classList.remove('confirm'), 4000);
};

const unfollow = (id, name, afterwards) => {
  const number = Format.seriesIdNumber(id);
  if (number === null) {
    toast('This series has no usable id');
    return;
  }
  submit({
    kind: 'unfollow', view: Page.current, method: 'RemoveShow', args: [number],
    handlers: {
      finish: () => {
        Page.followed.ids.delete(id);
        for (const kind of ['next', 'recent', 'now']) Page.stale.add(kind);
        toast(name ? 'Unfollowed ' + name : 'Unfollowed');
        // The list is read afresh: the program may have kept or dropped entries.
        load('myshows');
        afterwards?.();
      },
      unavailable: () => toast('Not connected to Quorvel'),
      lost: () => toast('Quorvel did not answer')
    }
  });
};

/* ---------------------------------------------------------------------- Search */

const startSearch = (value) => {
  const text = Format.str(value).trim();
  if (!text) {
    document.getElementById('search-input').focus();
    return;
  }
  Page.lastQuery = text;
  showView('search');
  submit(searchRequest(text));
};

/* ---------------------------------------------------------------------- Details */

/* Opens a series; `from` is the row's element that opened it, for the way back. */
const openDetails = (id, nameHint, from = null) => {
  prepareDates('details');
  const number = Format.seriesIdNumber(id);
  if (number === null) {
    toast('This series has no usable id');
    return;
  }
  const list = from && WindowedList.all.get(from.closest('ul, ol'));
  if (list) Page.opener = { view: Page.current, list, index: list.indexOf(from) };
  else if (from) Page.opener = null;
  showView('details');
  focusHeading('details');
  submit(detailsRequest(number, nameHint));
};

const detailsRequest = (number, nameHint) => {
  const view = Page.views.details;
  const body = view.part('body');
  const retry = () => openDetails(String(number), nameHint);
  let record = null;
  return {
    kind: 'details', key: 'details', view: 'details', method: 'GetDetails', args: [number],
    handlers: {
      start: () => {
        body.hidden = true;
        Object.assign(Page.details, { id: '', requestedId: number, season: 0, seasons: 0 });
        setState(view.state, States.loading(nameHint ? `Opening ${nameHint}…` : 'Opening series…'));
      },
      row: (name, details) => {
        record = details;
        // Details the page did not ask for: show them all the same.
        if (number === null && Page.current !== 'details') showView('details');
        fillDetails(record);
      },
      finish: () => {
        if (!record || !record.id.trim()) {
          body.hidden = true;
          setState(view.state, {
            kind: 'error', icon: 'alert', title: 'Could not load this series',
            text: 'Its details could not be downloaded. Check the connection and try again.',
            action: number !== null ? { label: 'Try again', run: retry } : null
          });
          return;
        }
        setState(view.state, null);
        body.hidden = false;
        if (Page.details.seasons > 0) selectSeason(Page.details.seasons);
        else setState(view.part('season-state'), { kind: 'empty', text: 'No episodes are listed for this series.' });
      },
      unavailable: () => setState(view.state, States.notConnected(retry)),
      lost: () => setState(view.state, States.noAnswer(retry))
    }
  };
};

const fillDetails = (record) => {
  const { el, text } = Dom;
  const { part } = Page.views.details;
  const actors = Format.splitPipes(record.actors);
  const genres = Format.splitPipes(record.genre);
  const status = record.status.trim();
  const seasons = parseInt(record.seasons, 10);
  const imdb = record.imdb.trim();

  Object.assign(Page.details, {
    id: record.id.trim(),
    name: record.name,
    seasons: Number.isNaN(seasons) || seasons < 0 ? 0 : Math.min(seasons, MAX_SEASONS)
  });

  const poster = part('poster');
  const fresh = Dom.art('poster', record.artwork, record.name);
  poster.className = fresh.className;
  poster.replaceChildren(...fresh.childNodes);

  part('name').textContent = record.name || 'Unnamed series';

  const meta = part('meta');
  meta.textContent = '';
  const bits = [];
  if (record.network) bits.push(text('span', '', record.network));
  if (status) bits.push(text('span', /continuing/i.test(status) ? 'status-live' : '', status));
  const air = Format.airTextParts(record.airText);
  if (air) bits.push(text('span', '', air));
  bits.forEach((bit, index) => {
    if (index) meta.appendChild(el('span', 'dot', '·'));
    meta.appendChild(bit);
  });
  meta.hidden = !bits.length;

  const genreList = part('genres');
  genreList.textContent = '';
  for (const genre of genres) genreList.appendChild(text('li', 'chip', genre));

  part('overview').textContent = record.overview || 'No overview yet.';

  let shown = actors.slice(0, 8).join(', ');
  if (actors.length > 8) shown += ` and ${actors.length - 8} more`;
  part('actors').textContent = shown;
  part('actors-line').hidden = !actors.length;

  const imdbButton = part('imdb');
  imdbButton.hidden = !imdb;
  imdbButton._imdb = imdb;

  buildSeasonPicker();
  refreshFollowButton();
};

const buildSeasonPicker = () => {
  const { part } = Page.views.details;
  const picker = part('seasons');
  picker.textContent = '';
  Page.lists.season.clear();
  setState(part('season-state'), null);
  if (Page.details.seasons > MAX_CHIPS) {
    // Past a dozen seasons a list box keeps every one in reach.
    const select = Dom.el('select', 'season-select');
    select.setAttribute('aria-label', 'Season');
    for (let season = 1; season <= Page.details.seasons; season += 1) {
      const option = Dom.el('option', '', 'Season ' + season);
      option.value = String(season);
      select.appendChild(option);
    }
    picker.appendChild(select);
  }
  for (let season = 1; season <= Page.details.seasons && Page.details.seasons <= MAX_CHIPS; season += 1) {
    const chip = Dom.button('season-chip', String(season));
    chip.setAttribute('aria-pressed', 'false');
    chip.setAttribute('aria-label', 'Season ' + season);
    chip.setAttribute('data-season', String(season));
    picker.appendChild(chip);
  }
  picker.parentNode.hidden = Page.details.seasons === 0;
};

const selectSeason = (season) => {
  const picker = Page.views.details.part('seasons');
  for (const chip of picker.querySelectorAll('.season-chip')) {
    chip.setAttribute('aria-pressed', Number(chip.getAttribute('data-season')) === season ? 'true' : 'false');
  }
  const select = picker.querySelector('select');
  if (select) select.value = String(season);
  Page.details.season = season;
  submit(seasonRequest(season));
};

const refreshFollowButton = () => {
  const button = Page.views.details.part('follow');
  const { id } = Page.details;
  const following = !!id && Page.followed.ids.has(id);
  // While its request runs the button stays focusable and says it is unavailable.
  button.disabled = Format.seriesIdNumber(id) === null;
  button.setAttribute('aria-disabled', isPending('follow') ? 'true' : 'false');
  button.classList.toggle('following', following);
  button.classList.remove('confirm');
  button.textContent = '';
  button.appendChild(Dom.icon(following ? Dom.ICONS.check : Dom.ICONS.plus));
  button.appendChild(document.createTextNode(following ? 'Following' : 'Follow'));
  button.title = following ? 'Press twice to stop following' : 'Add to My Shows';
};

const onFollowClick = () => {
  const button = Page.views.details.part('follow');
  const { id, name } = Page.details;
  if (Format.seriesIdNumber(id) === null || button.getAttribute('aria-disabled') === 'true') return;
  if (Page.followed.ids.has(id)) {
    if (!button.classList.contains('confirm')) {
      button.classList.add('confirm');
      button.lastChild.textContent = 'Unfollow?';
      announce(`Press again to unfollow ${name || 'this series'}`);
      clearTimeout(button._disarm);
      button._disarm = setTimeout(refreshFollowButton, 4000);
      return;
    }
    clearTimeout(button._disarm);
    button.setAttribute('aria-disabled', 'true');
    unfollow(id, name, refreshFollowButton);
    return;
  }
  button.setAttribute('aria-disabled', 'true');
  const later = () => setTimeout(refreshFollowButton, 0);
  // The program follows the series it read last for this view.
  submit({
    kind: 'follow', key: 'follow', view: 'details', method: 'AddToFavs', args: [],
    handlers: {
      finish: () => {
        Page.followed.ids.add(id);
        Page.followed.count += 1;
        for (const kind of LIST_VIEWS) Page.stale.add(kind);
        toast(`Added ${name || 'the series'} to My Shows`);
        later();
      },
      unavailable: () => { toast('Not connected to Quorvel'); later(); },
      lost: () => { toast('Quorvel did not answer'); later(); }
    }
  });
};
