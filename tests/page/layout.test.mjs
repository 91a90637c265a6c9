// Layout under stress: page zoom of 150 and 200 %, right-to-left and CJK texts, and pictures of
// either shape in every picture box. Screenshots go to tests/artifacts/page/.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pageSuite, settle, screenshot, pictures } from './harness.mjs';
import { SERIES, myShows, episodeRows, nowRows, searchHits, details, seasonRows, airDate } from './fixtures.mjs';

const suite = pageSuite();
const { open } = suite;

function world(art = (i) => suite.server.art(i)) {
  return {
    ShowMyShows: myShows(art),
    ShowNextShows: episodeRows('PopulateNextShows', [[1, 1, 0], [0, 0, 1], [2, 2, 5], [3, 3, 12]], art),
    ShowRecentShows: episodeRows('PopulateRecentShows', [[0, 0, 0], [1, 1, -1], [2, 2, -6]], art),
    CheckCurrentPlaying: nowRows([[0, 0, 0], [1, 1, -2]], ['Breaking Bad 5x14 Ozymandias 720p', 'Game of Thrones 8x03 1080p'], art),
    'SearchCallback:the': searchHits(art, [
      [SERIES[2], '2005-03-24', 'A mockumentary on a group of typical office workers, where the workday consists of ego clashes.'],
      [SERIES[4], '2010-10-31', 'Sheriff Deputy Rick Grimes awakens from a coma to find a post-apocalyptic world.']
    ]),
    'GetDetails:121361': details(SERIES[1], { art: art(1), seasons: '8', status: 'Continuing' }),
    ShowSeason: seasonRows(6, -20, 7)
  };
}

const VIEWS = [
  ['myshows', async () => {}],
  ['next', async (page) => { await page.getByRole('button', { name: 'Next', exact: true }).click(); }],
  ['recent', async (page) => { await page.getByRole('button', { name: 'Recent', exact: true }).click(); }],
  ['now', async (page) => { await page.getByRole('button', { name: 'Now', exact: true }).click(); }],
  ['search', async (page) => {
    await page.getByRole('button', { name: 'Search', exact: true }).click();
    await page.locator('#search-input').fill('the');
    await page.locator('#search-input').press('Enter');
  }],
  ['details', async (page) => { await page.locator('#view-myshows .card-open').nth(1).click(); }]
];

// Everything drawn in the window stays inside it, and no label, heading or name is cut.
async function outside(page) {
  return page.evaluate(() => {
    const width = window.innerWidth;
    const problems = [];
    const visible = (node) => node.getClientRects().length && getComputedStyle(node).visibility !== 'hidden' &&
      !node.closest('.visually-hidden, [hidden], .skip-link, .art');
    for (const node of document.querySelectorAll('.titlebar *, .sidebar *, .view:not([hidden]) *')) {
      if (!visible(node)) continue;
      const rect = node.getBoundingClientRect();
      const name = `${node.tagName.toLowerCase()}.${node.className?.baseVal ?? node.className} "${node.textContent.trim().slice(0, 24)}"`;
      if (rect.width && (rect.left < -0.5 || rect.right > width + 0.5)) problems.push(`${name} ${Math.round(rect.left)}..${Math.round(rect.right)}`);
      if (node.matches('h1, h2, h3, button, .ep-series, .ep-title, .result-name, .details-meta, .feed-title') &&
        node.scrollWidth > node.clientWidth + 1 && getComputedStyle(node).overflowX !== 'visible') {
        problems.push(`${name} cut (${node.scrollWidth} > ${node.clientWidth})`);
      }
    }
    return problems;
  });
}

for (const zoom of [1.5, 2]) {
  test(`at ${zoom * 100} % zoom nothing leaves the window and the sidebar folds to icons`, async () => {
    for (const [name, show] of VIEWS) {
      const { page, context, pageErrors } = await open({ answers: world() }, { zoom });
      await show(page);
      await settle(page);
      await pictures(page);
      await screenshot(page, `zoom${zoom * 100}-${name}`);
      assert.deepEqual(await outside(page), [], name);
      const folded = await page.evaluate(() => document.querySelector('.nav-item span').getBoundingClientRect().width <= 1);
      assert.equal(folded, true, name);
      assert.deepEqual(pageErrors, [], name);
      await context.close();
    }
  });
}

test('right-to-left and CJK texts keep their direction, isolated, cut at their logical end', async () => {
  const arabic = 'مسلسل الجمعة الطويل جدا في كل مكان من العالم العربي';
  const answers = {
    ShowMyShows: [['PopulateMyShowsTable', arabic, '1', 'قناة', '|دراما|', ''],
      ['PopulateMyShowsTable', '進撃の巨人', '2', 'NHK', '|アニメ|', ''],
      ['PopulateMyShowsTable', 'Breaking Bad', '3', 'AMC', '|Drama|', ''], ['initFinish']],
    ShowNextShows: [['PopulateNextShows', arabic, '1', '2', 'الحلقة الأولى 720p', airDate(2), '0', '', '', '1', '', '', ''],
      ['PopulateNextShows', '進撃の巨人', '4', '1', '海の向こう側', airDate(3), '0', '', '', '2', '', '', ''], ['initFinish']],
    'GetDetails:1': [['PopulateDetails', arabic, 'نص عربي', '', 'قناة', 'Continuing', '9:00 PM الجمعة', '|دراما|', '', '0', '1', ''], ['initFinish']]
  };
  const { page, context, pageErrors } = await open({ answers });
  const look = (selector) => page.locator(selector).evaluateAll((nodes) => nodes.map((node) => ({
    dir: getComputedStyle(node).direction, bidi: getComputedStyle(node).unicodeBidi
  })));
  assert.deepEqual((await look('#view-myshows .card-name')).map((l) => l.dir), ['rtl', 'ltr', 'ltr']);
  assert.ok((await look('#view-myshows .card-name')).every((l) => l.bidi === 'isolate'));
  assert.deepEqual((await look('#view-myshows .card-meta .meta-part')).map((l) => l.dir), ['rtl', 'rtl', 'ltr', 'ltr', 'ltr', 'ltr']);
  const font = await page.evaluate(() => getComputedStyle(document.body).fontFamily);
  assert.ok(/Noto Sans CJK JP/.test(font) && /Noto Sans Arabic/.test(font) && /sans-serif$/.test(font), font);
  await screenshot(page, 'rtl-myshows');

  await page.getByRole('button', { name: 'Next', exact: true }).click();
  await settle(page);
  assert.deepEqual((await look('#view-next .ep-series')).map((l) => l.dir), ['rtl', 'ltr']);
  // The Arabic name is cut at its left edge (its logical end), so its start stays in view.
  const cut = await page.locator('#view-next .ep-series').first().evaluate((node) => ({
    ellipsis: getComputedStyle(node).textOverflow, align: getComputedStyle(node).textAlign, overflows: node.scrollWidth > node.clientWidth
  }));
  assert.equal(cut.ellipsis, 'ellipsis');
  assert.equal(cut.align, 'start');
  await screenshot(page, 'rtl-next');

  await page.getByRole('button', { name: 'My Shows', exact: true }).click();
  await settle(page);
  await page.locator('#view-myshows .card-open').first().click();
  await settle(page);
  const air = page.locator('#view-details .details-meta [dir="auto"]').last();
  assert.equal(await air.textContent(), 'الجمعة 9:00 PM');
  assert.equal(await page.locator('#view-details .details-name').evaluate((node) => getComputedStyle(node).direction), 'rtl');
  await screenshot(page, 'rtl-details');
  assert.deepEqual(pageErrors, []);
  await context.close();
});

// Pictures of both shapes in every box: shown whole (contained, nothing cropped), the box sized
// before the picture arrives, so nothing moves while pictures load.
const SHAPES = { portrait: [680, 1000], wide: [758, 140] };
const BOXES = [
  ['card', '#view-myshows .card .art', async () => {}],
  ['episode', '#view-next .ep-row .art', async (page) => { await page.getByRole('button', { name: 'Next', exact: true }).click(); }],
  ['search', '#view-search .result .art', async (page) => {
    await page.getByRole('button', { name: 'Search', exact: true }).click();
    await page.locator('#search-input').fill('the');
    await page.locator('#search-input').press('Enter');
  }],
  ['details', '#view-details .details .art', async (page) => { await page.locator('#view-myshows .card-open').nth(1).click(); }]
];

test('pictures of either shape show whole in every box, and loading them moves nothing', async () => {
  for (const [shape, [w, h]] of Object.entries(SHAPES)) {
    for (const [box, selector, show] of BOXES) {
      const art = (i) => suite.server.art(i, w, h, 400);
      const { page, context } = await open({ answers: world(art) });
      await show(page);
      await settle(page);
      // Shifts from here on: while the pictures load.
      await page.evaluate(() => {
        window.__shift = 0;
        const since = performance.now();
        new PerformanceObserver((list) => {
          for (const entry of list.getEntries()) if (entry.startTime > since && !entry.hadRecentInput) window.__shift += entry.value;
        }).observe({ type: 'layout-shift', buffered: true });
      });
      const boxes = () => page.locator(selector).evaluateAll((nodes) => nodes.map((node) => {
        const r = node.getBoundingClientRect();
        return [Math.round(r.left), Math.round(r.top), Math.round(r.width), Math.round(r.height)];
      }));
      const before = await boxes();
      await page.waitForFunction((s) => document.querySelector(s + '.loaded'), selector, { timeout: 5000 });
      await pictures(page);
      assert.deepEqual(await boxes(), before, `${shape} ${box}: the boxes did not move`);
      const seen = await page.locator(selector + '.loaded').first().evaluate((node) => {
        const img = node.querySelector('img:not(.art-backdrop)');
        const b = node.getBoundingClientRect();
        const i = img.getBoundingClientRect();
        const scale = Math.min(i.width / img.naturalWidth, i.height / img.naturalHeight);
        return {
          fit: getComputedStyle(img).objectFit,
          fills: Math.abs(i.width - b.width) < 1 && Math.abs(i.height - b.height) < 1,
          drawn: [img.naturalWidth * scale <= b.width + 0.5, img.naturalHeight * scale <= b.height + 0.5],
          ratio: (img.naturalWidth / img.naturalHeight).toFixed(2)
        };
      });
      assert.deepEqual(seen, { fit: 'contain', fills: true, drawn: [true, true], ratio: (w / h).toFixed(2) }, `${shape} ${box}`);
      assert.ok(await page.evaluate(() => window.__shift) < 0.001, `${shape} ${box}: layout shift`);
      await screenshot(page, `picture-${shape}-${box}`);
      await context.close();
    }
  }
});
