/* Quorvel page: turning the program's texts into what the views show (no DOM here).
 *
 * Every value from the program is an untrusted text; these helpers only read it.
 */
'use strict';

const Format = (() => {
  const str = (value) => (value === undefined || value === null ? '' : String(value));

  /* "|Drama|Comedy|" and "A|B" both give ["Drama", "Comedy"] / ["A", "B"], without repeats. */
  const splitPipes = (text) => [...new Set(str(text).split('|').map((part) => part.trim()).filter(Boolean))];

  /* A series id travels back to the program as a 32-bit integer; anything else is not an id. */
  const seriesIdNumber = (id) => {
    const text = str(id).trim();
    if (!/^\d{1,10}$/.test(text)) return null;
    const number = Number(text);
    return number <= 2147483647 ? number : null;
  };

  const pad2 = (text) => (/^\d$/.test(text) ? '0' + text : text);

  const episodeCode = (season, episode) => {
    const s = str(season).trim();
    const e = str(episode).trim();
    if (!s && !e) return '';
    return (s ? 'S' + pad2(s) : '') + (e ? 'E' + pad2(e) : '');
  };

  /* Air dates are "year-month-day" texts standing for that local day. Thousands of rows share a
   * few hundred dates, so each text is read once. */
  const airDates = new Map();

  const parseAirDate = (text) => {
    const key = str(text);
    if (airDates.has(key)) return airDates.get(key);
    if (airDates.size > 20000) airDates.clear();
    const air = readAirDate(key);
    airDates.set(key, air);
    return air;
  };

  const readAirDate = (text) => {
    const match = /^\s*(\d{1,4})-(\d{1,2})-(\d{1,2})(?!\d)/.exec(str(text));
    if (!match) return null;
    const [year, month, day] = match.slice(1).map(Number);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31) return null;
    const date = new Date(year, month - 1, day);
    if (date.getMonth() !== month - 1) return null;
    return { year, month, day, date, stamp: Date.UTC(year, month - 1, day) };
  };

  const todayStamp = () => {
    const now = new Date();
    return Date.UTC(now.getFullYear(), now.getMonth(), now.getDate());
  };

  const daysFromToday = (air) => Math.round((air.stamp - todayStamp()) / 86400000);

  const relativeDays = (days) => {
    if (days === 0) return 'today';
    if (days === 1) return 'tomorrow';
    if (days === -1) return 'yesterday';
    return days > 0 ? `in ${days} days` : `${-days} days ago`;
  };

  /* Building a date format is slow; thousands of rows share four of them. */
  const dateFormats = new Map();

  const formatDate = (air, withWeekday) => {
    const withYear = air.year !== new Date().getFullYear();
    const key = (withWeekday ? 'w' : '') + (withYear ? 'y' : '');
    try {
      if (!dateFormats.has(key)) {
        const options = { day: 'numeric', month: 'short' };
        if (withWeekday) options.weekday = 'short';
        if (withYear) options.year = 'numeric';
        dateFormats.set(key, new Intl.DateTimeFormat(undefined, options));
      }
      return dateFormats.get(key).format(air.date);
    } catch {
      return `${air.year}-${pad2(String(air.month))}-${pad2(String(air.day))}`;
    }
  };

  /* Builds the date formats ahead of the first long list (the first one loads locale data). */
  let warm = false;
  const warmUp = () => {
    if (warm) return;
    warm = true;
    const now = new Date();
    for (const year of [now.getFullYear(), now.getFullYear() - 1]) {
      const air = parseAirDate(`${year}-01-15`);
      formatDate(air, true);
      formatDate(air, false);
    }
  };

  const plural = (count, one, many) => `${count} ${count === 1 ? one : many}`;

  /* The program writes the air text as time, one space, weekday; shown as "Thursday 9:00 PM". */
  const airTextParts = (text) => {
    const value = str(text);
    const cut = value.lastIndexOf(' ');
    const time = (cut < 0 ? value : value.slice(0, cut)).trim();
    const day = cut < 0 ? '' : value.slice(cut + 1).trim();
    return [day, time].filter(Boolean).join(' ');
  };

  return Object.freeze({
    str, splitPipes, seriesIdNumber, pad2, episodeCode, parseAirDate, daysFromToday, relativeDays,
    formatDate, plural, airTextParts, warmUp
  });
})();
