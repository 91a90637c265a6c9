/* A stand-in for the program's window.external, injected before the page's own scripts.
 *
 * It records every method call and answers as the program does: after the call has returned,
 * one page-function call per task, in the order of the requests. Answers come from
 * window.__stubConfig.answers, keyed "Method:firstArgument" or "Method", each a list of
 * [pageFunction, ...arguments]. With hold set, answers wait until step() or release().
 * Page functions the program calls on its own (ShowNotice) go into an answer like any row.
 */
(() => {
  const config = window.__stubConfig || {};
  if (config.noExternal) return;

  const ONE_ARGUMENT = new Set(['SearchCallback', 'GetDetails', 'ShowSeason', 'RemoveShow', 'OpenURL']);
  // The thirteen methods and the newer OpenCalendar; config.without leaves some out (an older program).
  const without = new Set(config.without || []);
  const METHODS = [
    'OnClick', 'OnClose', 'DragWindow', 'CheckCurrentPlaying', 'SearchCallback', 'GetDetails', 'ShowSeason',
    'AddToFavs', 'ShowNextShows', 'ShowRecentShows', 'ShowMyShows', 'RemoveShow', 'OpenURL', 'OpenCalendar'
  ].filter((method) => !without.has(method));
  const SILENT = new Set(['OnClick', 'OnClose', 'DragWindow', 'OpenURL', 'OpenCalendar']);

  const stub = {
    calls: [],
    delivered: [],
    errors: [],
    answers: Object.assign({}, config.answers || {}),
    hold: !!config.hold,
    outbox: [],
    step(count = 1) {
      for (let i = 0; i < count && stub.outbox.length; i += 1) deliverOne();
    },
    release() {
      stub.hold = false;
      schedule();
    },
    pending() {
      return stub.outbox.length;
    }
  };

  const channel = new MessageChannel();
  let scheduled = false;
  channel.port1.onmessage = () => {
    scheduled = false;
    if (stub.hold) return;
    deliverOne();
    schedule();
  };

  function schedule() {
    if (scheduled || stub.hold || !stub.outbox.length) return;
    scheduled = true;
    channel.port2.postMessage(0);
  }

  function deliverOne() {
    const [name, args] = stub.outbox.shift();
    stub.delivered.push([name, ...args]);
    try {
      const fn = window[name];
      if (typeof fn !== 'function') throw new Error('no page function ' + name);
      fn(...args);
    } catch (error) {
      stub.errors.push(name + ': ' + error.message);
    }
  }

  function defaultAnswer(method, args) {
    switch (method) {
      case 'SearchCallback':
        return [['NoResults'], ['initFinish']];
      case 'GetDetails':
        return [['PopulateDetails', '', '', '', '', '', ' ', '', '', '0', '', ''], ['initFinish']];
      case 'CheckCurrentPlaying':
        return [['initFinish'], ['NoResults']];
      default:
        return [['initFinish']];
    }
  }

  function answer(method, args) {
    if (SILENT.has(method)) return;
    if (ONE_ARGUMENT.has(method) && args.length !== 1) return;
    if (method === 'SearchCallback' && String(args[0]) === '') return;
    const keyed = stub.answers[method + ':' + String(args[0])];
    const plan = keyed || stub.answers[method] || defaultAnswer(method, args);
    const calls = typeof plan === 'function' ? plan(...args) : plan;
    for (const [name, ...values] of calls) {
      stub.outbox.push([name, values.map((value) => (typeof value === 'number' ? String(value) : value))]);
    }
    schedule();
  }

  const external = {};
  for (const method of METHODS) {
    external[method] = function (...args) {
      stub.calls.push([method, ...args]);
      answer(method, args);
    };
  }

  window.__stub = stub;
  window.__installExternal = () => {
    Object.defineProperty(window, 'external', { value: external, configurable: true, writable: true });
  };
  if (!config.lateExternal) window.__installExternal();
})();
