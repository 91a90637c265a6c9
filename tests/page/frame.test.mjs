// The window frame, hostile texts, loading without the program, file:// and the keyboard.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pageSuite, PAGE_SCRIPTS, settle, stubCalls, texts } from './harness.mjs';
import { SERIES, HOSTILE_NAMES, myShows, episodeRows, manyEpisodeRows, searchHits, details } from './fixtures.mjs';

const suite = pageSuite();
const { open } = suite;


test('the title bar drags with the left button and the close button closes', async () => {
  const { page, context } = await open({});
  const bar = page.locator('#drag-area');
  await bar.click({ button: 'right' });
  await bar.click({ button: 'middle' });
  assert.deepEqual(await stubCalls(page), [['ShowMyShows']]);
  await bar.dispatchEvent('mousedown', { button: 0 });
  await page.locator('.brand').dispatchEvent('mousedown', { button: 0 });
  assert.deepEqual((await stubCalls(page)).slice(1), [['DragWindow'], ['DragWindow']]);
  await page.getByRole('button', { name: 'Close' }).click();
  assert.deepEqual((await stubCalls(page)).slice(3), [['OnClose']]);
  await context.close();
});

test('markup in every text shows as characters and runs nothing', async () => {
  const [a, b, c, d] = HOSTILE_NAMES;
  const rows = HOSTILE_NAMES.map((name, i) => ['PopulateMyShowsTable', name, String(10 + i), a, b,
    i === 0 ? '" onerror="window.external.OnClose()' : i === 1 ? 'javascript:window.external.OnClose()' : '']);
  const hostileSeries = { id: '10', name: a, network: b, genre: `|${c}|${d}|`, imdb: '"><script>window.external.OnClose()</script>' };
  const { page, context, pageErrors } = await open({
    answers: {
      ShowMyShows: [...rows, ['initFinish']],
      ShowNextShows: [['PopulateNextShows', a, b, c, d, b, '0', c, a, '10', b, '1', d], ['initFinish']],
      [`SearchCallback:${b}`]: [['ShowResults'], ['PopulateSearchTable', a, '10', c, b, d, a], ['initFinish']],
      'GetDetails:10': [['PopulateDetails', a, b, `|${c}|${a}|`, d, b, b, `|${c}|`, d, '2', '10', hostileSeries.imdb], ['initFinish']],
      ShowSeason: [['PopulateSeasonsTable', a, b, c, d], ['initFinish']],
      CheckCurrentPlaying: [['PopulateCurentlyPlayingTable', a, '10', b, c, d, a, b, c, d, a, b, c], ['AddRssItem', a, b], ['initFinish']]
    }
  });
  assert.deepEqual(await texts(page, '#view-myshows .card-name'), HOSTILE_NAMES);
  await page.getByRole('button', { name: 'Next' }).click();
  await settle(page);
  assert.equal(await page.locator('#view-next .ep-series').textContent(), a);
  await page.getByRole('button', { name: 'Now' }).click();
  await settle(page);
  assert.equal(await page.locator('#view-now .feed-title').textContent(), a);
  await page.locator('#view-now .feed-link').click();
  await page.getByRole('button', { name: 'Search' }).click();
  await page.locator('#search-input').fill(b);
  await page.locator('#search-input').press('Enter');
  await settle(page);
  assert.equal(await page.locator('#view-search .result-name').textContent(), a);
  await page.locator('#view-search .result-open').click();
  await settle(page);
  assert.equal(await page.locator('#view-details .details-name').textContent(), a);
  assert.deepEqual(await texts(page, '#view-details .chip'), [c]);
  assert.equal(await page.locator('#view-details .season-ep-name').textContent(), b);
  await page.locator('#view-details').getByRole('button', { name: 'IMDb' }).click();

  const found = await page.evaluate(() => ({
    bold: document.querySelectorAll('main b').length,
    scripts: Array.from(document.querySelectorAll('script')).map((node) => node.getAttribute('src')),
    images: Array.from(document.querySelectorAll('img')).map((img) => [img.getAttribute('src'), img.getAttribute('onerror')]),
    handlers: Array.from(document.querySelectorAll('*')).filter((node) => Array.from(node.attributes).some((at) => at.name.startsWith('on'))).length
  }));
  // The one picture address that is not a script URL was tried as a picture, failed and left.
  assert.deepEqual(found, { bold: 0, scripts: PAGE_SCRIPTS, images: [], handlers: 0 });
  const calls = (await stubCalls(page)).map((call) => call[0]);
  assert.ok(!calls.includes('OnClose'), calls.join(' '));
  assert.deepEqual((await stubCalls(page)).filter((call) => call[0] === 'OpenURL'), [
    ['OpenURL', b],
    ['OpenURL', 'http://www.imdb.com/title/' + encodeURIComponent(hostileSeries.imdb)]
  ]);
  assert.deepEqual(pageErrors, []);
  await context.close();
});

test('without window.external the page loads quietly and starts once the program appears', async () => {
  const { page, context, pageErrors } = await open({ lateExternal: true });
  await page.waitForTimeout(300);
  assert.match(await page.locator('#view-myshows [data-role="state"]').textContent(), /Connecting/);
  await page.getByRole('button', { name: 'Close' }).click();
  await page.locator('#drag-area').dispatchEvent('mousedown', { button: 0 });
  await page.getByRole('button', { name: 'Next' }).click();
  assert.match(await page.locator('#view-next [data-role="state"]').textContent(), /Not connected to Quorvel/);
  await page.getByRole('button', { name: 'My Shows' }).click();
  await page.evaluate(() => {
    window.__stub.answers.ShowMyShows = [['PopulateMyShowsTable', 'Arrived', '1', '', '', ''], ['initFinish']];
    window.__installExternal();
  });
  await page.waitForFunction(() => document.querySelectorAll('#view-myshows .card').length === 1);
  assert.deepEqual(await stubCalls(page), [['ShowMyShows']]);
  assert.deepEqual(pageErrors, []);
  await context.close();
});

test('a window.external without methods, or one that throws, never breaks the page', async () => {
  const { page, context, pageErrors } = await open({ noExternal: true });
  await page.evaluate(() => {
    Object.defineProperty(window, 'external', { configurable: true, get() { throw new Error('gone'); } });
  });
  await page.getByRole('button', { name: 'Close' }).click();
  await page.getByRole('button', { name: 'Recent' }).click();
  assert.match(await page.locator('#view-recent [data-role="state"]').textContent(), /Not connected to Quorvel/);
  assert.deepEqual(pageErrors, []);
  await context.close();
});

test('the page works from file:// with the query keys, and shows the credit only when asked', async () => {
  const { page, context, pageErrors } = await open({ answers: { ShowMyShows: myShows(null, 2) } }, { fileUrl: true });
  assert.ok(page.url().startsWith('file://'));
  assert.deepEqual(await texts(page, '#view-myshows .card-name'), ['Breaking Bad', 'Game of Thrones']);
  const look = await page.evaluate(() => ({
    styled: getComputedStyle(document.querySelector('.titlebar')).display,
    placeholder: getComputedStyle(document.querySelector('.card .art')).backgroundImage.includes('placeholder.svg'),
    session: QuorvelPage.session
  }));
  assert.deepEqual(look, {
    styled: 'flex', placeholder: true,
    session: { v: '6F9619FF-8B86-D011-B42D-00C04FC964FF', t: '{A1B2C3D4-0000-4000-8000-0123456789AB}' }
  });
  assert.equal(await page.locator('#credit').isVisible(), false);
  assert.deepEqual(pageErrors, []);
  await context.close();

  const credited = await open({}, { query: '?v=&t=&credit=tvmaze' });
  assert.equal(await credited.page.locator('#credit').textContent(), 'Data: TVmaze');
  assert.equal(await credited.page.locator('#credit').isVisible(), true);
  await credited.page.locator('#credit button').click();
  assert.deepEqual((await stubCalls(credited.page)).at(-1), ['OpenURL', 'https://www.tvmaze.com/']);
  await credited.page.evaluate(() => QuorvelPage.setCredit(''));
  assert.equal(await credited.page.locator('#credit').isVisible(), false);
  await credited.context.close();

  const odd = await open({}, { query: '?v=%3Cb%3E&t=%E0%A4%A' });
  assert.deepEqual(odd.pageErrors, []);
  await odd.context.close();
});

test('the keyboard reaches everything: Tab order, focus ring, shortcuts, arrows, Enter', async () => {
  const { page, context } = await open({
    answers: { ShowMyShows: myShows(null, 8), 'SearchCallback:lost': searchHits(null, [[SERIES[0], '2004', 'x']]) }
  });
  const focused = () => page.evaluate(() => document.activeElement.getAttribute('aria-label') || document.activeElement.textContent.trim());
  const order = [];
  for (let i = 0; i < 9; i += 1) {
    await page.keyboard.press('Tab');
    order.push(await focused());
  }
  // One card of the list is a tab stop (with its unfollow button); arrows move within the list.
  assert.deepEqual(order, ['Skip to content', 'My Shows', 'Next', 'Recent', 'Now', 'Search',
    'Breaking BadAMC · Drama, Crime', 'Unfollow Breaking Bad', 'Close']);
  await page.keyboard.press('Shift+Tab');
  await page.keyboard.press('Shift+Tab');
  const ring = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
  assert.equal(ring, 'solid');
  await page.keyboard.press('ArrowRight');
  assert.equal(await page.evaluate(() => document.activeElement.querySelector('.card-name').textContent), 'Game of Thrones');
  await page.keyboard.press('ArrowDown');
  assert.equal(await page.evaluate(() => document.activeElement.querySelector('.card-name').textContent), 'The Big Bang Theory');
  await page.keyboard.press('Enter');
  assert.deepEqual((await stubCalls(page)).at(-1), ['GetDetails', 80379]);
  await settle(page);
  await page.keyboard.press('/');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'search-input');
  await page.keyboard.type('lost');
  await page.keyboard.press('Enter');
  await settle(page);
  assert.deepEqual((await stubCalls(page)).at(-1), ['SearchCallback', 'lost']);
  await page.keyboard.press('Alt+2');
  assert.equal(await page.locator('#view-next').isVisible(), true);
  await context.close();
});

test('5000 rows arrive one page call each; only the rows in view are drawn', async (t) => {
  const { page, context } = await open({
    answers: { ShowNextShows: manyEpisodeRows('PopulateNextShows', 5000), ShowMyShows: myShows(null, 5000) }, hold: true
  });
  await page.evaluate(() => window.__stub.release());
  await settle(page, 120000);
  assert.equal(await page.evaluate(() => Page.lists.myshows.length), 5000);
  assert.equal(await page.locator('#view-myshows .view-sub').textContent(), '5000 series');
  assert.ok(await page.locator('#view-myshows .card').count() < 200);
  // Timed inside the page, from the request to the list laid out after "initFinish".
  const elapsed = await page.evaluate(() => new Promise((done) => {
    const started = performance.now();
    const finish = window.initFinish;
    window.initFinish = function () {
      finish();
      document.body.offsetHeight;
      done(Math.round(performance.now() - started));
    };
    document.querySelector('.nav-item[data-view="next"]').click();
  }));
  await settle(page, 120000);
  assert.equal(await page.evaluate(() => Page.lists.next.length), 5000);
  assert.equal(await page.evaluate(() => window.__stub.delivered.filter((call) => call[0] === 'PopulateNextShows').length), 5000);
  // Soonest first: the last row is the last of the latest day, in arrival order.
  await page.evaluate(() => { const pane = document.querySelector('#view-next .pane'); pane.scrollTop = pane.scrollHeight; });
  await page.waitForFunction(() => document.querySelector('#view-next .ep-row:last-child')?.dataset.index === '4999');
  assert.equal(await page.locator('#view-next .ep-series').last().textContent(), 'Series number 4800');
  assert.equal(await page.locator('#view-next .ep-row').last().getAttribute('aria-posinset'), '5000');
  t.diagnostic(`5000 next rows delivered one call each and laid out in ${elapsed} ms`);
  await context.close();
});

test('following from the details of a search hit, then unfollowing there', async () => {
  const s = SERIES[4];
  const { page, context } = await open({
    answers: { ShowMyShows: myShows(null, 2), 'GetDetails:153021': details(s, { seasons: '0' }) }
  });
  await page.evaluate(() => { ShowResults(); PopulateSearchTable('The Walking Dead', '153021', '', 'AMC', '', ''); initFinish(); });
  await page.evaluate(() => QuorvelPage.navigate('search'));
  await page.locator('#view-search .result-open').click();
  await settle(page);
  const follow = page.locator('#view-details [data-role="follow"]');
  await follow.click();
  await settle(page);
  assert.equal(await follow.textContent(), 'Following');
  await follow.click();
  assert.equal(await follow.textContent(), 'Unfollow?');
  await follow.click();
  await settle(page);
  assert.deepEqual((await stubCalls(page)).map((call) => call.join(' ')),
    ['ShowMyShows', 'GetDetails 153021', 'AddToFavs', 'RemoveShow 153021', 'ShowMyShows']);
  assert.equal(await follow.textContent(), 'Follow');
  await context.close();
});

test('main.html loads exactly the scripts beside it, in order, and nothing inline', async () => {
  const fs = await import('node:fs');
  const path = await import('node:path');
  const { pageDir } = await import('./harness.mjs');
  const html = fs.readFileSync(path.join(pageDir, 'main.html'), 'utf8');
  const tags = [...html.matchAll(/<script([^>]*)>([\s\S]*?)<\/script>/g)];
  assert.deepEqual(tags.map((tag) => /src="([^"]+)"/.exec(tag[1])?.[1]), PAGE_SCRIPTS);
  assert.ok(tags.every((tag) => tag[2].trim() === ''));
  assert.deepEqual(fs.readdirSync(pageDir).filter((name) => name.endsWith('.js')).sort(), [...PAGE_SCRIPTS].sort());
});
