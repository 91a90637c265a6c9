// Accessibility: axe-core (WCAG 2.2 A/AA and best practice) in every view and state, light and
// dark, and the keyboard flows a new user takes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import AxeBuilder from '@axe-core/playwright';
import { pageSuite, settle, stubCalls, setAnswers, pictures } from './harness.mjs';
import { SERIES, myShows, episodeRows, nowRows, searchHits, details, seasonRows } from './fixtures.mjs';

const suite = pageSuite();
const { open } = suite;

const TAGS = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22a', 'wcag22aa', 'best-practice'];

function world() {
  const art = (i) => (i === 2 ? '' : suite.server.art(i));
  const still = (i) => suite.server.art(i + 3, 400, 225);
  return {
    ShowMyShows: [['ShowNotice', 'Your list of followed series could not be read and was kept aside.'], ...myShows(art)],
    ShowNextShows: episodeRows('PopulateNextShows', [[1, 1, 0], [0, 0, 1], [2, 2, 5], [3, 3, 12]], still),
    ShowRecentShows: episodeRows('PopulateRecentShows', [[0, 0, 0], [1, 1, -1], [2, 2, -6]], still),
    CheckCurrentPlaying: nowRows([[0, 0, 0], [1, 1, -2]], ['Breaking Bad 5x14 720p', 'Friends 10x18 480p'], still),
    'SearchCallback:the': searchHits((i) => suite.server.art(i, 758, 140), [
      [SERIES[2], '2005-03-24', 'A mockumentary on a group of typical office workers.'],
      [SERIES[4], '2010-10-31', 'Rick Grimes awakens from a coma.']
    ]),
    'SearchCallback:zzz': searchHits(null, []),
    'GetDetails:121361': details(SERIES[1], { art: suite.server.art(1), seasons: '8', status: 'Continuing' }),
    'GetDetails:81189': details(SERIES[0], { art: suite.server.art(2, 758, 140), seasons: '24' }),
    'GetDetails:73244': [['PopulateDetails', '', '', '', '', '', ' ', '', '', '0', '', ''], ['initFinish']],
    ShowSeason: seasonRows(6, -20, 7),
    'ShowSeason:24': [['initFinish']]
  };
}

const nav = (name) => async (page) => { await page.getByRole('button', { name, exact: true }).click(); };
const search = (text) => async (page) => {
  await page.getByRole('button', { name: 'Search', exact: true }).click();
  await page.locator('#search-input').fill(text);
  await page.locator('#search-input').press('Enter');
};
const emptyAnswers = (page) => setAnswers(page, {
  ShowMyShows: [['initFinish']], ShowNextShows: [['initFinish']], ShowRecentShows: [['initFinish']],
  CheckCurrentPlaying: nowRows([], [])
});

// [name, config switches, steps]: rows, empty, offline and error states of every view.
const STATES = [
  ['myshows', {}, async () => {}],
  ['myshows-unfollow-armed', {}, async (page) => {
    await page.locator('#view-myshows .card').first().hover();
    await page.locator('#view-myshows .card-remove').first().click();
  }],
  ['next', {}, nav('Next')],
  ['next-open', {}, async (page) => { await nav('Next')(page); await settle(page); await page.locator('#view-next .ep-head').first().click(); }],
  ['recent', {}, nav('Recent')],
  ['now', {}, nav('Now')],
  ['search-idle', {}, nav('Search')],
  ['search', {}, search('the')],
  ['search-none', {}, search('zzz')],
  ['details', {}, async (page) => { await page.locator('#view-myshows .card-open').nth(1).click(); }],
  ['details-many-seasons', {}, async (page) => { await page.locator('#view-myshows .card-open').first().click(); }],
  ['details-failed', {}, async (page) => { await page.locator('#view-myshows .card-open').nth(2).click(); }],
  ['empty-myshows', {}, async (page) => { await emptyAnswers(page); await nav('Next')(page); await settle(page); await nav('My Shows')(page); }],
  ['empty-next', {}, async (page) => { await emptyAnswers(page); await nav('Next')(page); }],
  ['empty-recent', {}, async (page) => { await setAnswers(page, { ShowRecentShows: [['initFinish']] }); await nav('Recent')(page); }],
  ['empty-now', {}, async (page) => { await emptyAnswers(page); await nav('Now')(page); }],
  ['offline-myshows', { noExternal: true }, async () => {}],
  ['offline-next', { noExternal: true }, nav('Next')],
  ['offline-now', { noExternal: true }, nav('Now')],
  ['offline-search', { noExternal: true }, search('the')],
  ['loading', {}, async (page) => { await page.evaluate(() => { window.__stub.hold = true; }); await nav('Recent')(page); }],
  ['credit', {}, async (page) => { await page.evaluate(() => QuorvelPage.setCredit('Data: TVmaze', 'https://www.tvmaze.com/')); }]
];

for (const scheme of ['light', 'dark']) {
  test(`axe finds nothing in any view or state in ${scheme}`, async () => {
    const found = [];
    for (const [name, switches, steps] of STATES) {
      const { page, context, pageErrors } = await open({ answers: world(), ...switches }, { colorScheme: scheme });
      await steps(page);
      if (name !== 'loading' && !switches.noExternal) await settle(page);
      await pictures(page);
      const { violations } = await new AxeBuilder({ page }).withTags(TAGS).analyze();
      for (const v of violations) {
        found.push(`${name}: ${v.id} (${v.impact}) ${v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(' | ')}`);
      }
      assert.deepEqual(pageErrors, [], name);
      await context.close();
    }
    assert.deepEqual(found, []);
  });
}

const focused = (page) => page.evaluate(() => {
  const node = document.activeElement;
  return node.getAttribute('aria-label') || (node.tagName === 'H1' ? node.id : '') || node.textContent.trim().slice(0, 40);
});

test('keyboard: search, open a result, Follow, Escape back to the result', async () => {
  const answers = { ...world(), ShowMyShows: myShows(null, 2), 'GetDetails:73244': details(SERIES[2], { seasons: '2' }) };
  const { page, context } = await open({ answers });
  await page.keyboard.press('Alt+5');
  await page.keyboard.type('the');
  await page.keyboard.press('Enter');
  await settle(page);
  // The announcement is debounced, so wait for it rather than read it at once.
  await page.waitForFunction(() => /^2 results for “the”$/.test(document.getElementById('announcer').textContent));
  await page.keyboard.press('Tab');
  await page.keyboard.press('Tab');
  assert.match(await focused(page), /^The Office/);
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('Enter');
  assert.equal(await focused(page), 'h-details');
  await settle(page);
  await page.keyboard.press('Tab');
  assert.equal(await focused(page), 'Follow');

  await page.evaluate(() => { window.__stub.hold = true; });
  await page.keyboard.press('Enter');
  const follow = page.locator('#view-details [data-role="follow"]');
  assert.deepEqual([await focused(page), await follow.getAttribute('aria-disabled')], ['Follow', 'true']);
  await page.keyboard.press('Enter');
  await page.evaluate(() => window.__stub.release());
  await settle(page);
  assert.deepEqual((await stubCalls(page)).filter((call) => call[0] === 'AddToFavs'), [['AddToFavs']]);
  assert.deepEqual([await focused(page), await follow.getAttribute('aria-disabled')], ['Following', 'false']);

  await page.keyboard.press('Enter');
  assert.match(await follow.textContent(), /Unfollow\?/);
  await page.waitForFunction(() => /Press again to unfollow The Office/.test(document.getElementById('announcer').textContent));
  await page.keyboard.press('Escape');
  assert.equal(await page.locator('#view-search').isVisible(), true);
  assert.match(await focused(page), /^The Office/);
  await context.close();
});

test('keyboard: a card opens and Alt+Left returns to it; unfollowing moves focus to the next card', async () => {
  const { page, context } = await open({ answers: world() });
  await page.keyboard.press('Tab');
  assert.equal(await focused(page), 'Skip to content');
  await page.keyboard.press('Enter');
  assert.equal(await focused(page), 'h-myshows');
  await page.keyboard.press('Tab');
  await page.keyboard.press('ArrowRight');
  assert.match(await focused(page), /^Game of Thrones/);
  await page.keyboard.press('Enter');
  assert.equal(await focused(page), 'h-details');
  await settle(page);
  await page.keyboard.press('Alt+ArrowLeft');
  assert.match(await focused(page), /^Game of Thrones/);

  await setAnswers(page, { ShowMyShows: myShows(null).filter((row) => row[2] !== '121361') });
  await page.keyboard.press('Tab');
  assert.equal(await focused(page), 'Unfollow Game of Thrones');
  await page.keyboard.press('Enter');
  await page.keyboard.press('Enter');
  await settle(page);
  assert.deepEqual((await stubCalls(page)).at(-2), ['RemoveShow', 121361]);
  assert.match(await focused(page), /^The Office/);

  await page.keyboard.press('Alt+2');
  assert.equal(await focused(page), 'h-next');
  await context.close();
});

test('keyboard: 500 series are one tab stop, End reaches the last, the seasons all reachable', async () => {
  const { page, context } = await open({ answers: { ...world(), ShowMyShows: myShows(null, 500) } });
  await page.locator('#view-myshows .card-open').first().focus();
  await page.keyboard.press('End');
  assert.match(await focused(page), /^Friends #500/);
  await page.keyboard.press('Tab');
  await page.keyboard.press('Tab');
  assert.equal(await focused(page), 'Close');
  await page.keyboard.press('Home');
  await page.locator('#view-myshows .card-open').first().focus();
  await page.keyboard.press('ArrowDown');
  assert.ok(/#\d+/.test(await focused(page)));
  // Scrolled far away by the wheel, the focused card leaves the document; focus stays in the list.
  await page.evaluate(() => { document.querySelector('#view-myshows .pane').scrollTop = 20000; });
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  assert.equal(await page.evaluate(() => !!document.activeElement.closest('#view-myshows .cards')), true);
  assert.equal(await page.evaluate(() => document.querySelector('#view-myshows .pane').scrollTop), 20000);

  await page.evaluate(() => { PopulateMyShowsTable('Breaking Bad', '81189', 'AMC', '', ''); initFinish(); });
  await page.locator('#view-myshows .card-open').first().click();
  await settle(page);
  const picker = page.locator('#view-details select');
  assert.equal(await picker.inputValue(), '24');
  await picker.focus();
  await page.keyboard.press('Home');
  await settle(page);
  assert.deepEqual((await stubCalls(page)).at(-1), ['ShowSeason', 1]);
  await context.close();
});
