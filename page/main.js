/* Quorvel main window page: start-up, the window frame, keyboard and mouse.
 *
 * The page is five classic scripts, loaded in this order by main.html: format.js (texts and
 * dates), bridge.js (window.external, the page functions and the request queue), lists.js
 * (rows), views.js (the views and their requests) and this file.
 */
'use strict';

const QuorvelPage = (() => {
  /* ---------------------------------------------------------------- credit and query keys */

  /* A credit line for the data source; hidden unless asked for. */
  const setCredit = (text, url) => {
    const credit = document.getElementById('credit');
    if (!credit) return;
    credit.textContent = '';
    const label = Format.str(text);
    if (!label) {
      credit.hidden = true;
      return;
    }
    if (url) {
      const link = Dom.button('button ghost small', label);
      link.addEventListener('click', () => Program.openUrl(url));
      credit.appendChild(link);
    } else {
      credit.textContent = label;
    }
    credit.hidden = false;
  };

  const session = { v: '', t: '' };

  const readQuery = () => {
    let params;
    try {
      params = new URLSearchParams(window.location.search);
    } catch {
      return;
    }
    session.v = Format.str(params.get('v'));
    session.t = Format.str(params.get('t'));
    if (params.get('credit') === 'tvmaze') setCredit('Data: TVmaze', 'https://www.tvmaze.com/');
  };

  /* ---------------------------------------------------------------- clicks in the lists */

  const onMyShowsClick = (event) => {
    const item = event.target.closest('.card');
    const data = item && rowData.get(item);
    if (!data) return;
    const remove = event.target.closest('.card-remove');
    if (remove) {
      armOrRun(remove, () => {
        const list = Page.lists.myshows;
        Page.focusAfterLoad = { list, index: list.indexOf(item) };
        remove.disabled = true;
        unfollow(data.id, data.name);
      });
      return;
    }
    if (event.target.closest('.card-open')) openDetails(data.id, data.name, item);
  };

  const toggleEpisode = (item) => {
    const data = rowData.get(item);
    const head = item.querySelector('.ep-head');
    let more = item.querySelector('.ep-more');
    if (!more) {
      more = Rows.episodeMore(data);
      more.hidden = true;
      item.appendChild(more);
    }
    const open = more.hidden;
    more.hidden = !open;
    item.classList.toggle('open', open);
    head.setAttribute('aria-expanded', open ? 'true' : 'false');
    WindowedList.all.get(item.parentNode)?.resized(item);
  };

  const onEpisodesClick = (event) => {
    const item = event.target.closest('.ep-row');
    const data = item && rowData.get(item);
    if (!data) return;
    const action = event.target.closest('[data-act]');
    if (action) {
      if (action.getAttribute('data-act') === 'details') openDetails(data.seriesId, data.series, item);
      else Program.openImdb(data.episodeImdb || data.seriesImdb);
      return;
    }
    if (event.target.closest('.ep-head')) toggleEpisode(item);
  };

  const onFeedClick = (event) => {
    const item = event.target.closest('li');
    const data = item && rowData.get(item);
    if (data?.link) Program.openUrl(data.link);
  };

  const onResultsClick = (event) => {
    const item = event.target.closest('.result');
    const data = item && rowData.get(item);
    if (data) openDetails(data.id, data.name, item);
  };

  const onSeasonPickerClick = (event) => {
    const chip = event.target.closest('.season-chip');
    if (chip) selectSeason(Number(chip.getAttribute('data-season')));
  };

  /* ---------------------------------------------------------------- keyboard */

  const ROW_TARGETS = '.card-open, .ep-head, .result-open, .feed-link, .season-chip';
  const SCOPES = 'ul, ol, .season-picker';

  const moveFocus = (event) => {
    const from = document.activeElement;
    if (!from?.matches?.(ROW_TARGETS + ', .card-remove')) return false;
    const scope = from.closest(SCOPES);
    if (!scope) return false;
    const list = WindowedList.all.get(scope);
    const grid = scope.classList.contains('cards');
    const sideways = grid || scope.classList.contains('season-picker');
    const targets = list ? null : [...scope.querySelectorAll(ROW_TARGETS)].filter((node) => node.closest(SCOPES) === scope);
    const index = list ? list.indexOf(from) : targets.indexOf(from);
    const count = list ? list.length : targets.length;
    const across = list ? list.columns() : 1;
    const steps = {
      ArrowDown: across, ArrowUp: -across, ArrowRight: sideways ? 1 : 0, ArrowLeft: sideways ? -1 : 0,
      Home: -index, End: count - 1 - index
    };
    if (index < 0 || !(event.key in steps)) return false;
    const step = steps[event.key];
    const to = Math.min(count - 1, Math.max(0, index + step));
    if (!step || to === index) return !!step;
    if (list) return list.focus(to) || true;
    targets[to].focus();
    targets[to].scrollIntoView?.({ block: 'nearest' });
    return true;
  };

  const SHORTCUT_VIEWS = ['myshows', 'next', 'recent', 'now', 'search'];

  const onKeyDown = (event) => {
    const typing = event.target?.tagName === 'INPUT' || event.target?.tagName === 'TEXTAREA';
    if (event.altKey && !event.ctrlKey && /^[1-5]$/.test(event.key)) {
      navigate(SHORTCUT_VIEWS[Number(event.key) - 1]);
      event.preventDefault();
      return;
    }
    if ((event.ctrlKey && !event.altKey && (event.key === 'f' || event.key === 'F')) || (!typing && event.key === '/')) {
      navigate('search');
      event.preventDefault();
      return;
    }
    const back = (event.altKey && event.key === 'ArrowLeft') ||
      (!typing && !event.altKey && !event.ctrlKey && (event.key === 'Escape' || event.key === 'Backspace'));
    if (back && Page.current === 'details') {
      goBack();
      event.preventDefault();
      return;
    }
    if (!typing && !event.altKey && !event.ctrlKey && moveFocus(event)) event.preventDefault();
  };

  /* ---------------------------------------------------------------- start */

  const findViews = () => {
    for (const name of ['myshows', 'next', 'recent', 'now', 'search', 'details']) {
      const section = document.getElementById('view-' + name);
      const part = (role) => section.querySelector(`[data-role="${role}"]`);
      Page.views[name] = {
        name, section, part, pane: part('pane'), state: part('state'), list: part('list'), sub: part('sub')
      };
    }
  };

  const showBusy = (busyViews) => {
    for (const [name, view] of Object.entries(Page.views)) {
      view.section.setAttribute('aria-busy', busyViews.has(name) ? 'true' : 'false');
    }
    document.body.classList.toggle('is-busy', busyViews.size > 0);
  };

  const wire = () => {
    const { views } = Page;
    document.getElementById('titlebar').addEventListener('mousedown', (event) => {
      if (event.button !== 0 || event.target.closest('button')) return;
      event.preventDefault();
      Program.call('DragWindow');
    });
    document.getElementById('close-button').addEventListener('click', () => Program.call('OnClose'));
    for (const item of document.querySelectorAll('.nav-item')) {
      item.addEventListener('click', () => navigate(item.getAttribute('data-view')));
    }
    document.getElementById('search-form').addEventListener('submit', (event) => {
      event.preventDefault();
      startSearch(document.getElementById('search-input').value);
    });
    views.myshows.list.addEventListener('click', onMyShowsClick);
    for (const name of ['next', 'recent', 'now']) views[name].list.addEventListener('click', onEpisodesClick);
    views.now.part('feed').addEventListener('click', onFeedClick);
    views.search.list.addEventListener('click', onResultsClick);
    views.details.part('seasons').addEventListener('click', onSeasonPickerClick);
    views.details.part('seasons').addEventListener('change', (event) => {
      if (event.target.matches('select')) selectSeason(Number(event.target.value));
    });
    document.getElementById('skip-link').addEventListener('click', (event) => {
      event.preventDefault();
      focusHeading(Page.current);
    });
    views.details.part('follow').addEventListener('click', onFollowClick);
    views.details.part('imdb').addEventListener('click', (event) => Program.openImdb(event.currentTarget._imdb));
    // "Add to calendar" needs a program that offers OpenCalendar (no arguments).
    views.next.part('calendar').addEventListener('click', () => Program.call('OpenCalendar'));
    document.getElementById('back-button').addEventListener('click', goBack);
    document.addEventListener('keydown', onKeyDown);
    document.addEventListener('dragstart', (event) => event.preventDefault());
    Dom.watchArtwork();
  };

  let ready = false;
  const early = [];
  let bridgeTries = 0;

  const waitForProgram = () => {
    if (Program.ready()) {
      navigate('myshows', { focus: false });
      return;
    }
    bridgeTries += 1;
    if (bridgeTries <= 100) {
      setTimeout(waitForProgram, 100);
      return;
    }
    setState(Page.views.myshows.state, States.notConnected(() => {
      bridgeTries = 0;
      setState(Page.views.myshows.state, States.loading('Connecting…'));
      waitForProgram();
    }));
  };

  const start = () => {
    if (ready) return;
    findViews();
    createLists();
    Page.queue = new RequestQueue({ implicit: requestFor, onBusy: showBusy, onNotice: showNotice });
    wire();
    readQuery();
    setState(Page.views.search.state, States.searchIdle());
    ready = true;
    for (const [name, args] of early.splice(0)) Page.queue.receive(name, args);
    if (Program.ready()) {
      navigate('myshows', { focus: false });
    } else {
      showView('myshows');
      setState(Page.views.myshows.state, States.loading('Connecting…'));
      waitForProgram();
    }
  };

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();

  return Object.freeze({
    /* Entry point of the page functions (bridge.js). */
    deliver: (name, args) => {
      if (!ready) early.push([name, [...args]]);
      else Page.queue.receive(name, [...args]);
    },
    setCredit,
    navigate,
    session
  });
})();
