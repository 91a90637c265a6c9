// Screenshots of every view in light and dark, saved to tests/artifacts/page/, and the layout
// rules that hold at 780 x 552: no scroll bars on the body, lists scroll in their own panes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pageSuite, settle, screenshot } from './harness.mjs';
import { SERIES, myShows, episodeRows, nowRows, searchHits, details, seasonRows } from './fixtures.mjs';

const suite = pageSuite();
const { open } = suite;

function world() {
  const poster = (i) => (i === 3 ? suite.server.broken(i) : i === 6 ? '' : suite.server.art(i));
  const still = (i) => (i === 2 ? '' : suite.server.art(i + 3, 400, 225));
  return {
    ShowMyShows: myShows(poster),
    ShowNextShows: episodeRows('PopulateNextShows', [[1, 1, 0], [0, 0, 1], [2, 2, 5], [3, 3, 12], [4, 4, 40], [5, 5, 96]], still),
    ShowRecentShows: episodeRows('PopulateRecentShows', [[0, 0, 0], [1, 1, -1], [2, 2, -6], [3, 3, -30], [4, 4, -200]], still),
    CheckCurrentPlaying: nowRows([[0, 0, 0], [1, 1, -2]], [
      'Breaking Bad 5x14 Ozymandias 720p', 'Game of Thrones 8x03 The Long Night 1080p',
      'The Office US 9x23 Finale 720p', 'Friends 10x18 The Last One 480p'
    ], still),
    'SearchCallback:the': searchHits((i) => (i === 1 ? '' : suite.server.art(i, 758, 140)), [
      [SERIES[2], '2005-03-24', 'A mockumentary on a group of typical office workers, where the workday consists of ego clashes, inappropriate behavior, and tedium.'],
      [SERIES[4], '2010-10-31', 'Sheriff Deputy Rick Grimes awakens from a coma to find a post-apocalyptic world dominated by flesh-eating zombies.'],
      [SERIES[5], '2007-09-24', 'Two brilliant physicists know how the universe works, but not how to talk to women.'],
      [SERIES[7], '2005-09-19', '']
    ]),
    'GetDetails:121361': details(SERIES[1], {
      art: suite.server.art(1),
      seasons: '8',
      status: 'Continuing',
      actors: '|Emilia Clarke|Kit Harington|Peter Dinklage|Lena Headey|Sophie Turner|Maisie Williams|',
      overview: 'Seven noble families fight for control of the mythical land of Westeros. Friction between the houses leads to full-scale war. All while a very ancient evil awakens in the farthest north.'
    }),
    'ShowSeason:8': seasonRows(6, -20, 7)
  };
}

const VIEWS = [
  ['myshows', async (page) => {}],
  ['next', async (page) => { await page.getByRole('button', { name: 'Next' }).click(); }],
  ['next-open', async (page) => {
    await page.getByRole('button', { name: 'Next' }).click();
    await settle(page);
    await page.locator('#view-next .ep-head').nth(1).click();
    await page.locator('#view-next .ep-head').nth(1).focus();
  }],
  ['recent', async (page) => { await page.getByRole('button', { name: 'Recent' }).click(); }],
  ['now', async (page) => { await page.getByRole('button', { name: 'Now' }).click(); }],
  ['search-empty', async (page) => { await page.getByRole('button', { name: 'Search' }).click(); }],
  ['search', async (page) => {
    await page.getByRole('button', { name: 'Search' }).click();
    await page.locator('#search-input').fill('the');
    await page.locator('#search-input').press('Enter');
  }],
  ['details', async (page) => {
    await page.locator('#view-myshows .card-open').nth(1).click();
  }],
  ['myshows-empty', async (page) => {
    await page.evaluate(() => { window.__stub.answers.ShowMyShows = [['initFinish']]; });
    await page.getByRole('button', { name: 'My Shows' }).click();
  }],
  ['credit', async (page) => {
    await page.evaluate(() => QuorvelPage.setCredit('Data: TVmaze', 'https://www.tvmaze.com/'));
    await page.locator('#view-myshows .card').first().hover();
    await page.locator('#view-myshows .card-remove').nth(1).focus();
    await page.keyboard.press('Enter');
  }],
  ['loading', async (page) => {
    await page.evaluate(() => { window.__stub.hold = true; });
    await page.getByRole('button', { name: 'Recent' }).click();
  }]
];

for (const scheme of ['light', 'dark']) {
  test(`every view looks tidy in ${scheme}`, async () => {
    for (const [name, show] of VIEWS) {
      const { page, context, pageErrors } = await open({ answers: world() }, { colorScheme: scheme });
      await settle(page);
      await show(page);
      if (name !== 'loading') await settle(page);
      await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => setTimeout(done, 50))));
      await page.evaluate(() => Promise.all(Array.from(document.images).filter((img) => !img.complete)
        .map((img) => new Promise((done) => { img.onload = img.onerror = done; setTimeout(done, 2000); }))));
      await screenshot(page, `${name}-${scheme}`);
      const layout = await page.evaluate(() => ({
        bodyScroll: document.scrollingElement.scrollHeight > window.innerHeight || document.scrollingElement.scrollWidth > window.innerWidth,
        overflow: getComputedStyle(document.body).overflow
      }));
      assert.deepEqual(layout, { bodyScroll: false, overflow: 'hidden' }, name);
      assert.deepEqual(pageErrors, [], name);
      await context.close();
    }
  });
}

test('artwork that is missing or unreachable falls back to the placeholder', async () => {
  const { page, context } = await open({ answers: world() });
  await settle(page);
  await page.waitForFunction(() => document.querySelectorAll('#view-myshows .art.loaded').length === 6);
  const arts = await page.locator('#view-myshows .card .art').evaluateAll((boxes) => boxes.map((box) => ({
    picture: !!box.querySelector('img'),
    loaded: box.classList.contains('loaded'),
    placeholder: getComputedStyle(box).backgroundImage.includes('placeholder.svg')
  })));
  assert.deepEqual(arts[3], { picture: false, loaded: false, placeholder: true });
  assert.deepEqual(arts[6], { picture: false, loaded: false, placeholder: true });
  assert.deepEqual(arts[0], { picture: true, loaded: true, placeholder: false });
  await context.close();
});

test('500 rows render in order and scroll inside their pane', async () => {
  const { page, context } = await open({ answers: { ShowMyShows: myShows(null, 500) } });
  await settle(page);
  const names = await page.evaluate(() => Page.lists.myshows.items.map((row) => row.name));
  assert.equal(names.length, 500);
  assert.equal(names[0], 'Breaking Bad #1');
  assert.equal(names[499], 'Friends #500');
  assert.equal(await page.locator('#view-myshows .card-name').first().textContent(), 'Breaking Bad #1');
  const pane = await page.evaluate(() => {
    const node = document.querySelector('#view-myshows [data-role="pane"]');
    node.scrollTop = node.scrollHeight;
    return { scrolls: node.scrollHeight > node.clientHeight, moved: node.scrollTop > 0, window: window.scrollY };
  });
  assert.deepEqual(pane, { scrolls: true, moved: true, window: 0 });
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  assert.equal(await page.locator('#view-myshows .card-name').last().textContent(), 'Friends #500');
  await screenshot(page, 'myshows-500-scrolled');
  await context.close();
});
