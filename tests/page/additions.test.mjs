// The two newer parts of the contract: "Add to calendar" (window.external.OpenCalendar, when the
// program has it) and the page function ShowNotice(text) for My Shows.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { pageSuite, settle, stubCalls, setAnswers } from './harness.mjs';
import { HOSTILE_NAMES, myShows, episodeRows } from './fixtures.mjs';

const suite = pageSuite();
const { open } = suite;

test('Add to calendar calls OpenCalendar without arguments, and is absent when the program lacks it', async () => {
  const answers = { ShowNextShows: episodeRows('PopulateNextShows', [[0, 0, 3]]) };
  for (const [config, shown] of [[{ answers }, true], [{ answers, without: ['OpenCalendar'] }, false]]) {
    const { page, context, pageErrors } = await open(config);
    await page.getByRole('button', { name: 'Next' }).click();
    await settle(page);
    const button = page.locator('#view-next').getByRole('button', { name: 'Add to calendar' });
    assert.equal(await button.isVisible(), shown, JSON.stringify(config.without));
    if (shown) {
      await button.click();
      assert.deepEqual((await stubCalls(page)).at(-1), ['OpenCalendar']);
    }
    assert.ok(!(await page.locator('#view-myshows [data-role="calendar"], #view-recent [data-role="calendar"]').count()));
    assert.deepEqual(pageErrors, []);
    await context.close();
  }
});

test('ShowNotice while My Shows loads shows its text, announced, until My Shows is asked for again', async () => {
  const text = HOSTILE_NAMES[2] + ' Your list of followed series could not be read; it was kept aside.';
  const rows = myShows(null, 2);
  const { page, context, pageErrors } = await open({ answers: { ShowMyShows: [['ShowNotice', text], ...rows] } });
  const notice = page.locator('#view-myshows [role="status"]');
  assert.equal(await notice.textContent(), text);
  assert.equal(await notice.isVisible(), true);
  assert.equal(await page.locator('#view-myshows .notice img').count(), 0);
  assert.equal(await page.locator('#view-myshows .card').count(), 2);
  assert.deepEqual(await stubCalls(page), [['ShowMyShows']]);

  await setAnswers(page, { ShowMyShows: rows });
  await page.getByRole('button', { name: 'Next' }).click();
  await settle(page);
  await page.getByRole('button', { name: 'My Shows' }).click();
  await settle(page);
  assert.equal(await notice.textContent(), '');
  assert.equal(await page.locator('#view-myshows .notice').count(), 0);
  assert.deepEqual(pageErrors, []);
  await context.close();
});
