// Answers of the program for the page tests, as lists of [pageFunction, ...arguments].
// Air dates are relative to the test's own today (local time, as the page reads them).

export function airDate(daysFromToday) {
  const date = new Date();
  date.setHours(12, 0, 0, 0);
  date.setDate(date.getDate() + daysFromToday);
  const pad = (n) => String(n).padStart(2, '0');
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
}

export const SERIES = [
  { id: '81189', name: 'Breaking Bad', network: 'AMC', genre: '|Drama|Crime|Thriller|', imdb: 'tt0903747' },
  { id: '121361', name: 'Game of Thrones', network: 'HBO', genre: '|Action|Adventure|Drama|Fantasy|', imdb: 'tt0944947' },
  { id: '73244', name: 'The Office (US)', network: 'NBC', genre: '|Comedy|', imdb: 'tt0386676' },
  { id: '79168', name: 'Friends', network: 'NBC', genre: '|Comedy|Romance|', imdb: 'tt0108778' },
  { id: '153021', name: 'The Walking Dead', network: 'AMC', genre: '|Action|Drama|Horror|', imdb: 'tt1520211' },
  { id: '80379', name: 'The Big Bang Theory', network: 'CBS', genre: '|Comedy|', imdb: 'tt0898266' },
  { id: '264492', name: 'Under the Dome', network: 'CBS', genre: '|Drama|Mystery|Science-Fiction|', imdb: 'tt1553656' },
  { id: '75760', name: 'How I Met Your Mother', network: 'CBS', genre: '|Comedy|Romance|', imdb: 'tt0460649' }
];

export const HOSTILE_NAMES = [
  '</script><b>x',
  '"); window.external.OnClose(); ("',
  '<img src=x onerror="window.external.OnClose()">',
  "'; window.external.OnClose(); '"
];

export function myShows(art, count = SERIES.length) {
  const rows = [];
  for (let i = 0; i < count; i += 1) {
    const s = SERIES[i % SERIES.length];
    const name = count > SERIES.length ? `${s.name} #${i + 1}` : s.name;
    rows.push(['PopulateMyShowsTable', name, String(Number(s.id) + (count > SERIES.length ? i * 1000000 : 0)),
      s.network, s.genre, art ? art(i) : '']);
  }
  return [...rows, ['initFinish']];
}

const EPISODES = [
  ['5', '14', 'Ozymandias', 'Everyone copes with radically changed circumstances.'],
  ['8', '3', 'The Long Night', 'The Night King and his army have arrived at Winterfell.'],
  ['9', '23', 'Finale', 'One year after the airing of the documentary, the staff reunites.'],
  ['10', '18', 'The Last One', 'Rachel gets a job in Paris.'],
  ['11', '24', 'Rest in Peace', 'Friends and foes come together.'],
  ['12', '24', 'The Stockholm Syndrome', 'The gang prepares for the wedding.']
];

// One row per series: [series, episodeIndex, daysFromToday].
export function episodeRows(fn, plan, art) {
  const rows = plan.map(([seriesIndex, episodeIndex, days], i) => {
    const s = SERIES[seriesIndex];
    const [season, number, title, overview] = EPISODES[episodeIndex];
    return [fn, s.name, season, number, title, airDate(days), '0', art ? art(i) : '', overview,
      s.id, s.imdb, String(4000000 + i), i % 2 ? '' : `tt99${i}0000`];
  });
  return [...rows, ['initFinish']];
}

export function manyEpisodeRows(fn, count) {
  const rows = [];
  for (let i = 0; i < count; i += 1) {
    rows.push([fn, `Series number ${i + 1}`, String(1 + (i % 9)), String(1 + (i % 22)), `Episode ${i + 1}`,
      airDate(fn === 'PopulateNextShows' ? 1 + (i % 300) : -(i % 300)), '0', '', `Overview ${i + 1}`,
      String(100000 + i), '', String(900000 + i), '']);
  }
  return [...rows, ['initFinish']];
}

// Currently playing: episode rows (row index counts up) and feed items given last first.
export function nowRows(episodePlan, feedTitles, art) {
  const rows = episodePlan.map(([seriesIndex, episodeIndex, days], i) => {
    const s = SERIES[seriesIndex];
    const [season, number, title, overview] = EPISODES[episodeIndex];
    return ['PopulateCurentlyPlayingTable', s.name, s.id, season, number, title, airDate(days),
      art ? art(i) : '', String(i), overview, s.imdb, String(5000000 + i), ''];
  });
  const feed = [...feedTitles].reverse().map((title, i) => ['AddRssItem', title,
    `http://releases.example/item/${feedTitles.length - i}`]);
  const tail = episodePlan.length ? [['initFinish']] : [['initFinish'], ['NoResults']];
  return [...rows, ...feed, ...tail];
}

export function searchHits(art, hits) {
  if (!hits.length) return [['NoResults'], ['initFinish']];
  return [['ShowResults'], ...hits.map(([s, aired, overview], i) => ['PopulateSearchTable', s.name, s.id,
    art ? art(i) : '', s.network, aired, overview]), ['initFinish']];
}

export function details(s, { art = '', seasons = '3', overview, actors = '|Bryan Cranston|Aaron Paul|Anna Gunn|', air = '9:00 PM Sunday', status = 'Ended' } = {}) {
  return [['PopulateDetails', s.name,
    overview ?? `${s.name} is a series about people. Things happen to them, and they respond.`,
    actors, s.network, status, air, s.genre, art, seasons, s.id, s.imdb], ['initFinish']];
}

export function seasonRows(count, firstDays = -300, step = 7) {
  const rows = [];
  for (let i = 0; i < count; i += 1) {
    rows.push(['PopulateSeasonsTable', String(i + 1), `Chapter ${i + 1}`, airDate(firstDays + i * step), String(i % 2)]);
  }
  return [...rows, ['initFinish']];
}
