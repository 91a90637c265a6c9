// Shared set-up of the page tests: a loopback server for the page and its artwork, headless
// Chromium, and a page opened with the stub of the program's window.external.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { before, after } from 'node:test';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repoRoot = path.resolve(here, '..', '..');
export const pageDir = path.join(repoRoot, 'page');
export const artifactsDir = path.join(repoRoot, 'tests', 'artifacts', 'page');
const stubPath = path.join(here, 'stub.js');

// The page's own scripts, in the order main.html loads them.
export const PAGE_SCRIPTS = ['format.js', 'bridge.js', 'lists.js', 'views.js', 'main.js'];

export const CHROMIUM = process.env.QUORVEL_CHROMIUM || '/usr/bin/chromium';
const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'
];

const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css', '.svg': 'image/svg+xml' };
const PALETTE = ['#3d5a80', '#98c1d9', '#ee6c4d', '#293241', '#6a994e', '#bc4749', '#8338ec', '#ffb703', '#219ebc', '#fb8500'];

// Artwork made up on the spot: /art/<n>-<w>x<h>.svg is a coloured picture with a label.
function artwork(name) {
  const match = /^(\d+)-(\d+)x(\d+)\.svg$/.exec(name);
  if (!match) return null;
  const [, n, w, h] = match.map(Number);
  const a = PALETTE[n % PALETTE.length];
  const b = PALETTE[(n * 3 + 1) % PALETTE.length];
  return `<svg xmlns="http://www.w3.org/2000/svg" width="${w}" height="${h}" viewBox="0 0 ${w} ${h}">` +
    `<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="${a}"/>` +
    `<stop offset="1" stop-color="${b}"/></linearGradient></defs><rect width="${w}" height="${h}" fill="url(#g)"/>` +
    `<circle cx="${w * 0.7}" cy="${h * 0.3}" r="${Math.min(w, h) * 0.25}" fill="#fff" fill-opacity=".18"/></svg>`;
}

export function startServer() {
  const hits = [];
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    hits.push(url.pathname);
    if (url.pathname.startsWith('/art/')) {
      const body = artwork(url.pathname.slice(5));
      if (body) {
        // ?delay=MS holds the picture back, to see the page while pictures load.
        setTimeout(() => {
          response.writeHead(200, { 'content-type': 'image/svg+xml' });
          response.end(body);
        }, Number(url.searchParams.get('delay')) || 0);
        return;
      }
    }
    if (url.pathname.startsWith('/page/')) {
      const file = path.join(pageDir, path.normalize(url.pathname.slice(6)));
      if (file.startsWith(pageDir + path.sep) && fs.existsSync(file) && fs.statSync(file).isFile()) {
        response.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream' });
        response.end(fs.readFileSync(file));
        return;
      }
    }
    response.writeHead(404, { 'content-type': 'text/plain' });
    response.end('not found');
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      resolve({
        base: `http://127.0.0.1:${port}`,
        art: (n, w = 680, h = 1000, delay = 0) => `http://127.0.0.1:${port}/art/${n}-${w}x${h}.svg` + (delay ? `?delay=${delay}` : ''),
        broken: (n) => `http://127.0.0.1:${port}/missing/${n}.jpg`,
        hits,
        close: () => new Promise((done) => { server.closeAllConnections?.(); server.close(done); })
      });
    });
  });
}

export async function launchBrowser() {
  if (!fs.existsSync(CHROMIUM)) {
    throw new Error(`${CHROMIUM} is missing: apt-get install -y --no-install-recommends chromium`);
  }
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_FLAGS });
}

export const PAGE_QUERY = '?v=6F9619FF-8B86-D011-B42D-00C04FC964FF&t={A1B2C3D4-0000-4000-8000-0123456789AB}';

// Opens the page with the stub. Options: config (the stub's answers and switches),
// colorScheme, zoom, fileUrl (load from file:// instead of the loopback server), query.
export async function openPage(browser, server, options = {}) {
  const context = await browser.newContext({
    // zoom: page zoom of the 780 x 552 window (2 = 200 %: a 390 x 276 page drawn twice as large).
    viewport: { width: Math.round(780 / (options.zoom || 1)), height: Math.round(552 / (options.zoom || 1)) },
    deviceScaleFactor: options.zoom || 1,
    colorScheme: options.colorScheme || 'light',
    reducedMotion: 'reduce'
  });
  const page = await context.newPage();
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(String(error)));
  page.on('console', (message) => {
    // A picture that fails to load is expected (the placeholder covers it); script errors are not.
    if (message.type() === 'error' && !message.text().startsWith('Failed to load resource')) {
      pageErrors.push('console: ' + message.text());
    }
  });
  await page.addInitScript((config) => { window.__stubConfig = config; }, options.config || {});
  await page.addInitScript({ path: stubPath });
  const query = options.query ?? PAGE_QUERY;
  const url = options.fileUrl
    ? pathToFileURL(path.join(pageDir, 'main.html')).href + query
    : `${server.base}/page/main.html${query}`;
  await page.goto(url);
  return { page, context, pageErrors };
}

// The shared preamble of a test file: one server and one Chromium for the file, and open(config,
// options) giving a page that has settled (unless the stub holds its answers or has no program).
export function pageSuite() {
  const suite = { server: null, browser: null };
  before(async () => {
    suite.server = await startServer();
    suite.browser = await launchBrowser();
  });
  after(async () => {
    await suite.browser?.close();
    await suite.server?.close();
  });
  suite.open = async (config = {}, options = {}) => {
    const opened = await openPage(suite.browser, suite.server, { config, ...options });
    if (!config.hold && !config.noExternal && !config.lateExternal) await settle(opened.page);
    return opened;
  };
  return suite;
}

// Waits until the stub has delivered every answer and the page has no request left.
export async function settle(page, timeout = 30000) {
  await page.waitForFunction(() => {
    const stub = window.__stub;
    return (!stub || (stub.pending() === 0 && !stub.hold)) && !document.body.classList.contains('is-busy');
  }, null, { timeout, polling: 50 });
}

export async function stubCalls(page) {
  return page.evaluate(() => window.__stub.calls);
}

export async function setAnswers(page, answers) {
  await page.evaluate((more) => Object.assign(window.__stub.answers, more), answers);
}

export async function screenshot(page, name) {
  fs.mkdirSync(artifactsDir, { recursive: true });
  await page.screenshot({ path: path.join(artifactsDir, name + '.png') });
}

// Texts shown in a list, one per row, from the given selector inside each row.
export async function texts(page, selector) {
  return page.locator(selector).allTextContents();
}

// Waits for two frames and for every picture still loading (at most two seconds).
export async function pictures(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => setTimeout(done, 50))));
  await page.evaluate(() => Promise.all(Array.from(document.images).filter((img) => !img.complete)
    .map((img) => new Promise((done) => { img.addEventListener('load', done); img.addEventListener('error', done); setTimeout(done, 2000); }))));
}
