// Each view of the page against the stub: rows in order, empty states, loading until "initFinish".
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pageSuite, settle, stubCalls, setAnswers, texts } from './harness.mjs';
import { SERIES, airDate, myShows, episodeRows, nowRows, searchHits, details, seasonRows } from './fixtures.mjs';

const suite = pageSuite();
const { open } = suite;


test('page functions are globals with the contract arities', async () => {
  const { page, context } = await open({});
  const arities = await page.evaluate(() => Object.fromEntries([
    'PopulateMyShowsTable', 'PopulateNextShows', 'PopulateRecentShows', 'PopulateSearchTable',
    'PopulateSeasonsTable', 'PopulateCurentlyPlayingTable', 'AddRssItem', 'PopulateDetails',
    'ShowResults', 'NoResults', 'initFinish', 'ShowNotice'
  ].map((name) => [name, typeof window[name] === 'function' ? window[name].length : null])));
  assert.deepEqual(arities, {
    PopulateMyShowsTable: 5, PopulateNextShows: 12, PopulateRecentShows: 12, PopulateSearchTable: 6,
    PopulateSeasonsTable: 4, PopulateCurentlyPlayingTable: 12, AddRssItem: 2, PopulateDetails: 11,
    ShowResults: 0, NoResults: 0, initFinish: 0, ShowNotice: 1
  });
  await context.close();
});

test('My Shows is asked for once at start and its rows keep the order of the answer', async () => {
  const { page, context, pageErrors } = await open({ answers: { ShowMyShows: myShows((i) => suite.server.art(i)) } });
  assert.deepEqual(await stubCalls(page), [['ShowMyShows']]);
  assert.equal(await page.locator('#view-myshows').isVisible(), true);
  assert.deepEqual(await texts(page, '#view-myshows .card-name'), SERIES.map((s) => s.name));
  assert.equal(await page.locator('#view-myshows .card-meta').first().textContent(), 'AMC · Drama, Crime');
  assert.equal(await page.locator('#view-myshows .view-sub').textContent(), '8 series');
  assert.equal(await page.locator('#credit').isVisible(), false);
  assert.deepEqual(pageErrors, []);
  await context.close();
});

test('My Shows without series says how to start', async () => {
  const { page, context } = await open({ answers: { ShowMyShows: [['initFinish']] } });
  const state = page.locator('#view-myshows [data-role="state"]');
  assert.equal(await state.isVisible(), true);
  assert.match(await state.textContent(), /You follow no series yet — search for one/);
  await state.getByRole('button', { name: 'Search for a series' }).click();
  assert.equal(await page.locator('#view-search').isVisible(), true);
  assert.equal(await page.evaluate(() => document.activeElement.id), 'search-input');
  await context.close();
});

test('unfollow asks twice, calls RemoveShow with the number, then reads My Shows again', async () => {
  const { page, context } = await open({ answers: { ShowMyShows: myShows(null, 3) } });
  await setAnswers(page, { ShowMyShows: [...myShows(null, 3).filter((row) => row[2] !== '121361')] });
  const card = page.locator('#view-myshows .card').nth(1);
  await card.hover();
  await card.locator('.card-remove').click();
  assert.deepEqual(await stubCalls(page), [['ShowMyShows']]);
  await card.locator('.card-remove').click();
  await settle(page);
  assert.deepEqual(await stubCalls(page), [['ShowMyShows'], ['RemoveShow', 121361], ['ShowMyShows']]);
  assert.deepEqual(await texts(page, '#view-myshows .card-name'), ['Breaking Bad', 'The Office (US)']);
  await context.close();
});

test('Next lists soonest first with episode code, title, date and days to go, and the overview on demand', async () => {
  const { page, context } = await open({
    answers: { ShowNextShows: episodeRows('PopulateNextShows', [[1, 1, 5], [0, 0, 1], [2, 2, 0], [3, 3, 40]], (i) => suite.server.art(i, 400, 225)) }
  });
  await page.getByRole('button', { name: 'Next' }).click();
  await settle(page);
  assert.deepEqual((await stubCalls(page)).map((call) => call[0]), ['ShowMyShows', 'ShowNextShows']);
  assert.deepEqual(await texts(page, '#view-next .ep-series'),
    ['The Office (US)', 'Breaking Bad', 'Game of Thrones', 'Friends']);
  assert.deepEqual(await texts(page, '#view-next .ep-code'), ['S09E23', 'S05E14', 'S08E03', 'S10E18']);
  assert.deepEqual(await texts(page, '#view-next .ep-rel'), ['today', 'tomorrow', 'in 5 days', 'in 40 days']);
  assert.match(await page.locator('#view-next .ep-title').nth(2).textContent(), /The Long Night$/);
  assert.equal(await page.locator('#view-next .ep-overview').count(), 0);
  await page.locator('#view-next .ep-head').nth(2).click();
  assert.equal(await page.locator('#view-next .ep-overview').first().textContent(),
    'The Night King and his army have arrived at Winterfell.');
  assert.equal(await page.locator('#view-next .ep-head').nth(2).getAttribute('aria-expanded'), 'true');
  await page.locator('#view-next .ep-more').first().getByRole('button', { name: 'Series details' }).click();
  assert.deepEqual((await stubCalls(page)).at(-1), ['GetDetails', 121361]);
  await context.close();
});

test('Recent counts the days since, and the empty views say so', async () => {
  const { page, context } = await open({
    answers: {
      ShowMyShows: myShows(null, 3),
      ShowRecentShows: episodeRows('PopulateRecentShows', [[0, 0, 0], [1, 1, -1], [2, 2, -12]])
    }
  });
  await page.getByRole('button', { name: 'Recent' }).click();
  await settle(page);
  assert.deepEqual(await texts(page, '#view-recent .ep-rel'), ['today', 'yesterday', '12 days ago']);
  assert.deepEqual(await texts(page, '#view-recent .ep-series'), ['Breaking Bad', 'Game of Thrones', 'The Office (US)']);

  await setAnswers(page, { ShowRecentShows: [['initFinish']], ShowNextShows: [['initFinish']] });
  await page.getByRole('button', { name: 'Recent' }).click();
  await settle(page);
  assert.equal(await page.locator('#view-recent .ep-row').count(), 0);
  assert.match(await page.locator('#view-recent [data-role="state"]').textContent(), /Nothing aired yet/);
  await page.getByRole('button', { name: 'Next' }).click();
  await settle(page);
  assert.match(await page.locator('#view-next [data-role="state"]').textContent(), /No coming episodes/);
  await context.close();
});

test('Next with no followed series points to the search', async () => {
  const { page, context } = await open({ answers: { ShowMyShows: [['initFinish']], ShowNextShows: [['initFinish']] } });
  await page.getByRole('button', { name: 'Next' }).click();
  await settle(page);
  assert.match(await page.locator('#view-next [data-role="state"]').textContent(), /You follow no series yet — search for one/);
  await context.close();
});

test('Now lists the last three days and the feed, whose links open through OpenURL', async () => {
  const { page, context } = await open({
    answers: { CheckCurrentPlaying: nowRows([[0, 0, 0], [1, 1, -1], [2, 2, -2]], ['A', 'B', 'C']) }
  });
  await page.getByRole('button', { name: 'Now' }).click();
  await settle(page);
  assert.deepEqual(await texts(page, '#view-now .ep-series'), ['Breaking Bad', 'Game of Thrones', 'The Office (US)']);
  assert.deepEqual(await page.locator('#view-now .ep-row').evaluateAll((rows) => rows.map((r) => r.dataset.row)), ['0', '1', '2']);
  assert.deepEqual(await texts(page, '#view-now .ep-rel'), ['today', 'yesterday', '2 days ago']);
  assert.deepEqual(await texts(page, '#view-now .feed-title'), ['C', 'B', 'A']);
  assert.equal(await page.locator('#view-now [data-role="episodes-state"]').isVisible(), false);
  await page.locator('#view-now .feed-link').first().click();
  assert.deepEqual((await stubCalls(page)).at(-1), ['OpenURL', 'http://releases.example/item/3']);
  await context.close();
});

test('Now with no episode takes the NoResults that follows initFinish, and the next search is still right', async () => {
  const { page, context } = await open({
    answers: {
      ShowMyShows: myShows(null, 2),
      CheckCurrentPlaying: nowRows([], ['A', 'B']),
      'SearchCallback:zzz': searchHits(null, []),
      'SearchCallback:friends': searchHits(null, [[SERIES[3], '1994-09-22', 'Six friends.']])
    },
    hold: true
  });
  await page.evaluate(() => window.__stub.release());
  await settle(page);
  await page.evaluate(() => { window.__stub.hold = true; });
  await page.getByRole('button', { name: 'Now' }).click();
  await page.getByRole('button', { name: 'Search' }).click();
  await page.locator('#search-input').fill('zzz');
  await page.locator('#search-input').press('Enter');
  await page.evaluate(() => window.__stub.release());
  await settle(page);
  assert.deepEqual((await stubCalls(page)).map((call) => call[0]), ['ShowMyShows', 'CheckCurrentPlaying', 'SearchCallback']);
  assert.match(await page.locator('#view-search [data-role="state"]').textContent(), /No series found/);
  await page.getByRole('button', { name: 'Now' }).click();
  await settle(page);
  assert.match(await page.locator('#view-now [data-role="episodes-state"]').textContent(), /Nothing from your series aired/);
  assert.deepEqual(await texts(page, '#view-now .feed-title'), ['B', 'A']);

  await page.getByRole('button', { name: 'Search' }).click();
  await page.locator('#search-input').fill('friends');
  await page.locator('#search-input').press('Enter');
  await settle(page);
  assert.deepEqual(await texts(page, '#view-search .result-name'), ['Friends']);
  await context.close();
});

test('Search sends the text on Enter and lists the hits in order; no hits gives an empty state', async () => {
  const { page, context } = await open({
    answers: {
      'SearchCallback:the office': searchHits((i) => suite.server.art(i, 758, 140), [
        [SERIES[2], '2005-03-24', 'A mockumentary on a group of typical office workers.'],
        [SERIES[0], '2008-01-20', ''],
        [SERIES[3], '', 'Six friends in Manhattan.']
      ])
    }
  });
  await page.keyboard.press('Alt+5');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'search-input');
  await page.keyboard.press('Enter');
  await page.keyboard.type('  the office ');
  await page.keyboard.press('Enter');
  await settle(page);
  assert.deepEqual((await stubCalls(page)).slice(1), [['SearchCallback', 'the office']]);
  assert.deepEqual(await texts(page, '#view-search .result-name'), ['The Office (US)', 'Breaking Bad', 'Friends']);
  assert.deepEqual(await texts(page, '#view-search .result-meta'), ['NBC · since 2005', 'AMC · since 2008', 'NBC']);
  assert.match(await page.locator('#view-search .pane-sub').textContent(), /^3 results for “the office”$/);

  await page.locator('#view-search .result-open').first().click();
  assert.deepEqual((await stubCalls(page)).at(-1), ['GetDetails', 73244]);
  assert.equal(await page.locator('#view-details').isVisible(), true);
  await settle(page);
  await page.getByRole('button', { name: 'Back' }).click();
  assert.equal(await page.locator('#view-search').isVisible(), true);
  assert.equal(await page.locator('#view-search .result').count(), 3);

  await page.locator('#search-input').fill('nothing like it');
  await page.locator('#search-input').press('Enter');
  await settle(page);
  assert.equal(await page.locator('#view-search .result').count(), 0);
  assert.match(await page.locator('#view-search [data-role="state"]').textContent(), /Nothing matches “nothing like it”/);
  await context.close();
});

test('Details show the series, split actors and genres, link IMDb, pick seasons and follow', async () => {
  const s = SERIES[0];
  const { page, context } = await open({
    answers: {
      ShowMyShows: [['initFinish']],
      'GetDetails:81189': details(s, { art: suite.server.art(1), seasons: '5' }),
      'ShowSeason:5': seasonRows(4),
      'ShowSeason:2': seasonRows(3, 10)
    }
  });
  await page.evaluate(() => QuorvelPage.navigate('search'));
  await page.evaluate(() => PopulateSearchTable('Breaking Bad', '81189', '', 'AMC', '2008-01-20', ''));
  await page.evaluate(() => initFinish());
  await page.locator('#view-search .result-open').click();
  await settle(page);
  const view = page.locator('#view-details');
  assert.equal(await view.locator('.details-name').textContent(), 'Breaking Bad');
  assert.deepEqual(await texts(page, '#view-details .chip'), ['Drama', 'Crime', 'Thriller']);
  assert.equal(await view.locator('[data-role="actors"]').textContent(), 'Bryan Cranston, Aaron Paul, Anna Gunn');
  assert.equal(await view.locator('.details-meta').textContent(), 'AMC·Ended·Sunday 9:00 PM');
  assert.deepEqual(await texts(page, '#view-details .season-chip'), ['1', '2', '3', '4', '5']);
  assert.deepEqual((await stubCalls(page)).slice(-2), [['GetDetails', 81189], ['ShowSeason', 5]]);
  assert.deepEqual(await texts(page, '#view-details .season-ep-name'), ['Chapter 1', 'Chapter 2', 'Chapter 3', 'Chapter 4']);
  assert.deepEqual(await page.locator('#view-details .season-ep').evaluateAll((rows) => rows.map((r) => r.classList.contains('odd'))),
    [false, true, false, true]);

  await view.getByRole('button', { name: 'Season 2' }).click();
  await settle(page);
  assert.deepEqual((await stubCalls(page)).at(-1), ['ShowSeason', 2]);
  assert.deepEqual(await texts(page, '#view-details .season-ep-name'), ['Chapter 1', 'Chapter 2', 'Chapter 3']);
  assert.equal(await view.getByRole('button', { name: 'Season 2' }).getAttribute('aria-pressed'), 'true');

  await view.getByRole('button', { name: 'IMDb' }).click();
  assert.deepEqual((await stubCalls(page)).at(-1), ['OpenURL', 'http://www.imdb.com/title/tt0903747']);

  const follow = view.locator('[data-role="follow"]');
  assert.equal(await follow.textContent(), 'Follow');
  await follow.click();
  await settle(page);
  assert.deepEqual((await stubCalls(page)).at(-1), ['AddToFavs']);
  assert.equal(await follow.textContent(), 'Following');
  assert.match(await page.locator('#toast').textContent(), /Added Breaking Bad to My Shows/);
  await context.close();
});

test('Details without IMDb id or seasons, and a failed download', async () => {
  const s = { ...SERIES[2], imdb: '' };
  const { page, context } = await open({
    answers: {
      ShowMyShows: myShows(null, 3),
      'GetDetails:73244': details(s, { seasons: '0', actors: '', air: ' ' }),
      'GetDetails:81189': [['PopulateDetails', '', '', '', '', '', ' ', '', '', '0', '', ''], ['initFinish']]
    }
  });
  await page.locator('#view-myshows .card-open').nth(2).click();
  await settle(page);
  const view = page.locator('#view-details');
  assert.equal(await view.getByRole('button', { name: 'IMDb' }).isVisible(), false);
  assert.equal(await view.locator('.details-actors').isVisible(), false);
  assert.equal(await view.locator('.details-meta').textContent(), 'NBC·Ended');
  assert.match(await view.locator('[data-role="season-state"]').textContent(), /No episodes are listed/);
  assert.equal(await view.locator('[data-role="follow"]').textContent(), 'Following');
  assert.ok(!(await stubCalls(page)).some((call) => call[0] === 'ShowSeason'));

  await page.getByRole('button', { name: 'Back' }).click();
  await page.locator('#view-myshows .card-open').first().click();
  await settle(page);
  assert.equal(await view.locator('.details').isVisible(), false);
  assert.match(await view.locator('[data-role="state"]').textContent(), /Could not load this series/);
  await context.close();
});

test('the loading state lasts from the request until initFinish', async () => {
  const { page, context } = await open({
    answers: { ShowNextShows: episodeRows('PopulateNextShows', [[0, 0, 3], [1, 1, 4]]) }
  });
  await page.evaluate(() => { window.__stub.hold = true; });
  await page.getByRole('button', { name: 'Next' }).click();
  const busy = () => page.evaluate(() => ({
    body: document.body.classList.contains('is-busy'),
    view: document.getElementById('view-next').getAttribute('aria-busy'),
    spinner: !!document.querySelector('#view-next [data-role="state"]:not([hidden]) .spinner')
  }));
  assert.deepEqual(await busy(), { body: true, view: 'true', spinner: true });
  await page.evaluate(() => window.__stub.step(2));
  await page.waitForFunction(() => document.querySelectorAll('#view-next .ep-row').length === 2);
  assert.equal((await busy()).body, true);
  assert.equal((await busy()).view, 'true');
  await page.evaluate(() => window.__stub.step(1));
  assert.deepEqual(await busy(), { body: false, view: 'false', spinner: false });
  await context.close();
});

test('requests go one at a time, and answers land in the view that asked', async () => {
  const { page, context } = await open({
    answers: {
      ShowNextShows: episodeRows('PopulateNextShows', [[0, 0, 3]]),
      ShowRecentShows: episodeRows('PopulateRecentShows', [[1, 1, -3], [2, 2, -4]])
    }
  });
  await page.evaluate(() => { window.__stub.hold = true; });
  await page.getByRole('button', { name: 'Next' }).click();
  await page.getByRole('button', { name: 'Recent' }).click();
  assert.deepEqual((await stubCalls(page)).map((call) => call[0]), ['ShowMyShows', 'ShowNextShows']);
  await page.evaluate(() => window.__stub.release());
  await settle(page);
  assert.deepEqual((await stubCalls(page)).map((call) => call[0]), ['ShowMyShows', 'ShowNextShows', 'ShowRecentShows']);
  assert.deepEqual(await texts(page, '#view-next .ep-series'), ['Breaking Bad']);
  assert.deepEqual(await texts(page, '#view-recent .ep-series'), ['Game of Thrones', 'The Office (US)']);
  assert.equal(await page.locator('#view-recent').isVisible(), true);
  await context.close();
});

test('rows nobody asked for still reach their view, and stray answers are ignored', async () => {
  const { page, context, pageErrors } = await open({});
  await page.evaluate(() => {
    initFinish();
    NoResults();
    ShowResults();
    PopulateSeasonsTable('1', 'Pilot', 'not a date', '0');
    initFinish();
    PopulateMyShowsTable('Late', '1', '', '', '');
    initFinish();
  });
  assert.deepEqual(await texts(page, '#view-myshows .card-name'), ['Late']);
  await page.evaluate(() => {
    PopulateNextShows();
    PopulateDetails(undefined, null, 5);
    initFinish();
    AddRssItem('only a title', '');
    initFinish();
  });
  assert.deepEqual(pageErrors, []);
  await context.close();
});

test('dates that cannot be read are shown as they came', async () => {
  const { page, context } = await open({
    answers: {
      ShowNextShows: [
        ['PopulateNextShows', 'A', '', '', '', '', '0', '', '', '1', '', '', ''],
        ['PopulateNextShows', 'B', '1', '2', 'x', '2024-02-30', '0', '', '', '2', '', '', ''],
        ['PopulateNextShows', 'C', '1', '2', 'y', airDate(2) + 'T20:00', '0', '', '', '3', '', '', ''],
        ['initFinish']
      ]
    }
  });
  await page.getByRole('button', { name: 'Next' }).click();
  await settle(page);
  // Undated rows go last, in the order they came.
  assert.deepEqual(await texts(page, '#view-next .ep-series'), ['C', 'A', 'B']);
  assert.deepEqual(await texts(page, '#view-next .ep-date'),
    [await page.locator('#view-next .ep-date').first().textContent(), 'Date not known', '2024-02-30']);
  assert.deepEqual(await texts(page, '#view-next .ep-rel'), ['in 2 days']);
  assert.deepEqual(await texts(page, '#view-next .ep-code'), ['S01E02', 'S01E02']);
  await context.close();
});

test('an absurd season count is capped, and a season without episodes says so', async () => {
  const s = SERIES[5];
  const { page, context } = await open({
    answers: { 'GetDetails:80379': details(s, { seasons: '99999999' }), 'ShowSeason:250': [['initFinish']] }
  });
  await page.evaluate(() => { PopulateMyShowsTable('The Big Bang Theory', '80379', 'CBS', '|Comedy|', ''); initFinish(); });
  await page.locator('#view-myshows .card-open').first().click();
  await settle(page);
  // Past a dozen seasons the picker is a list box holding every season.
  assert.equal(await page.locator('#view-details .season-chip').count(), 0);
  const picker = page.locator('#view-details').getByRole('combobox', { name: 'Season' });
  assert.equal(await picker.locator('option').count(), 250);
  assert.equal(await picker.inputValue(), '250');
  assert.deepEqual((await stubCalls(page)).at(-1), ['ShowSeason', 250]);
  assert.match(await page.locator('#view-details [data-role="season-state"]').textContent(), /No episodes are listed for season 250/);
  await picker.selectOption('1');
  assert.deepEqual((await stubCalls(page)).at(-1), ['ShowSeason', 1]);
  await context.close();
});
