/* Quorvel page: the program's window.external, the page functions it calls, and the queue that
 * keeps exactly one request in flight.
 *
 * The program answers every request by calling the global page functions defined at the bottom
 * of this file, one call per row and then "initFinish". Answers come in the order of the
 * requests, so the page sends one request at a time and queues the rest: every answer then
 * belongs to the request in flight, whatever view the user has moved to meanwhile.
 */
'use strict';

const Program = (() => {
  const external = () => {
    try {
      return window.external || null;
    } catch {
      return null;
    }
  };

  /* True when window.external offers the method (an older program may lack the newer ones). */
  const has = (method) => {
    try {
      const object = external();
      return !!object && typeof object[method] === 'function';
    } catch {
      return false;
    }
  };

  /* Calls a method of window.external; false when it is missing or fails. Never throws. */
  const call = (method, args = []) => {
    try {
      const object = external();
      if (!object || typeof object[method] !== 'function') return false;
      object[method](...args);
      return true;
    } catch {
      return false;
    }
  };

  const openUrl = (url) => {
    const text = Format.str(url).trim();
    if (text) call('OpenURL', [text]);
  };

  const openImdb = (imdbId) => {
    const id = Format.str(imdbId).trim();
    if (id) openUrl('http://www.imdb.com/title/' + encodeURIComponent(id));
  };

  return Object.freeze({ has, call, openUrl, openImdb, ready: () => has('ShowMyShows') });
})();

/* Every page function: the request kind it answers and the names of its arguments, in the
 * program's order. Rows reach the views as records with these names, never by position.
 * ShowNotice (one text) is newer than the rest: the program calls it while My Shows loads when
 * the favourites file was unreadable and kept aside; the notice stays until My Shows is asked
 * for again. */
const EPISODE_FIELDS = ['series', 'season', 'episode', 'title', 'aired', 'zero', 'image', 'overview',
  'seriesId', 'seriesImdb', 'episodeId', 'episodeImdb'];

const PAGE_FUNCTIONS = Object.freeze({
  PopulateMyShowsTable: { answers: 'myshows', fields: ['name', 'id', 'network', 'genre', 'image'] },
  PopulateNextShows: { answers: 'next', fields: EPISODE_FIELDS },
  PopulateRecentShows: { answers: 'recent', fields: EPISODE_FIELDS },
  PopulateSearchTable: { answers: 'search', fields: ['name', 'id', 'banner', 'network', 'aired', 'overview'] },
  ShowResults: { answers: 'search', fields: [] },
  NoResults: { answers: 'search', fields: [] },
  PopulateSeasonsTable: { answers: 'season', fields: ['episode', 'title', 'aired', 'parity'] },
  PopulateCurentlyPlayingTable: {
    answers: 'now',
    fields: ['series', 'seriesId', 'season', 'episode', 'title', 'aired', 'image', 'row', 'overview',
      'seriesImdb', 'episodeId', 'episodeImdb']
  },
  AddRssItem: { answers: 'now', fields: ['title', 'link'] },
  PopulateDetails: {
    answers: 'details',
    fields: ['name', 'overview', 'actors', 'network', 'status', 'airText', 'genre', 'artwork', 'seasons',
      'id', 'imdb']
  },
  ShowNotice: { answers: null, fields: ['text'] },
  initFinish: { answers: null, fields: [] }
});

/* The record of one page-function call: every argument as text under its name. */
const pageRecord = (name, args) => {
  const record = {};
  PAGE_FUNCTIONS[name].fields.forEach((field, index) => { record[field] = Format.str(args[index]); });
  return record;
};

/* One request in flight, the rest waiting. A request is
 *   { kind, key, view, method, args, handlers: { start, row(name, record), finish, unavailable, lost } }
 * and `implicit(kind)` builds one for rows that arrive while nothing was asked. */
class RequestQueue {
  static NO_ANSWER_MS = 90000;

  constructor({ implicit, onBusy, onNotice }) {
    this.inFlight = null;
    this.waiting = [];
    this.timer = 0;
    this.implicit = implicit;
    this.onBusy = onBusy;
    this.onNotice = onNotice;
    // The currently-playing answer sends "NoResults" after its "initFinish" when it had no episode.
    this.trailingNoResults = false;
  }

  isPending(key) {
    return this.inFlight?.key === key || this.waiting.some((request) => request.key === key);
  }

  submit(request) {
    // A newer request for the same thing replaces one that has not been sent yet.
    if (request.key) this.waiting = this.waiting.filter((queued) => queued.key !== request.key);
    this.waiting.push(request);
    this.busyChanged();
    this.sendNext();
  }

  sendNext() {
    while (!this.inFlight && this.waiting.length) {
      const request = this.waiting.shift();
      this.inFlight = request;
      RequestQueue.run(request, 'start');
      if (Program.call(request.method, request.args)) {
        this.armTimer();
      } else {
        this.inFlight = null;
        RequestQueue.run(request, 'unavailable');
      }
    }
    this.busyChanged();
  }

  /* The request is lost when nothing has come for NO_ANSWER_MS. Rows only note the time: a timer
   * per row would cost more than the row. */
  armTimer() {
    this.lastHeard = performance.now();
    if (this.timer) return;
    const check = () => {
      const quiet = performance.now() - this.lastHeard;
      if (quiet < RequestQueue.NO_ANSWER_MS) {
        this.timer = setTimeout(check, RequestQueue.NO_ANSWER_MS - quiet);
        return;
      }
      this.timer = 0;
      const request = this.inFlight;
      this.inFlight = null;
      if (request) RequestQueue.run(request, 'lost');
      this.sendNext();
    };
    this.timer = setTimeout(check, RequestQueue.NO_ANSWER_MS);
  }

  disarmTimer() {
    clearTimeout(this.timer);
    this.timer = 0;
  }

  static run(request, step, ...values) {
    const handler = request.handlers[step];
    if (!handler) return;
    try {
      handler(...values);
    } catch (error) {
      console.error('Quorvel page:', step, error);
    }
  }

  receive(name, args) {
    // A notice is no row: it neither ends nor starts a request.
    if (name === 'ShowNotice') {
      this.onNotice(pageRecord(name, args).text);
      return;
    }
    if (name === 'NoResults' && this.trailingNoResults) {
      this.trailingNoResults = false;
      return;
    }
    this.trailingNoResults = false;

    if (name === 'initFinish') {
      const finished = this.inFlight;
      if (!finished) return;
      this.inFlight = null;
      this.disarmTimer();
      RequestQueue.run(finished, 'finish');
      if (finished.kind === 'now' && finished.episodeRows === 0) this.trailingNoResults = true;
      this.sendNext();
      return;
    }

    const kind = PAGE_FUNCTIONS[name]?.answers;
    if (!kind) return;
    if (!this.inFlight) {
      // Rows nobody asked for still go to their view.
      const request = this.implicit(kind);
      if (!request) return;
      this.inFlight = request;
      RequestQueue.run(request, 'start');
      this.busyChanged();
    } else if (this.inFlight.kind !== kind) {
      return;
    }
    this.armTimer();
    RequestQueue.run(this.inFlight, 'row', name, pageRecord(name, args));
  }

  busyChanged() {
    const views = new Set(this.waiting.map((request) => request.view));
    if (this.inFlight) views.add(this.inFlight.view);
    this.onBusy(views);
  }
}

/* The page functions, global by name as the program calls them. Each takes the arity of its
 * table entry and hands its arguments to the page; nothing ever throws back into the program. */
for (const [name, { fields }] of Object.entries(PAGE_FUNCTIONS)) {
  const pageFunction = (...args) => {
    try {
      QuorvelPage.deliver(name, args);
    } catch (error) {
      console.error('Quorvel page:', name, error);
    }
  };
  Object.defineProperty(pageFunction, 'name', { value: name });
  Object.defineProperty(pageFunction, 'length', { value: fields.length });
  window[name] = pageFunction;
}
