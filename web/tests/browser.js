// Headless Chromium for the page's tests, driven by playwright-core: the
// browser that Debian installs (no browser is downloaded), the page's
// console and errors recorded, screenshots kept as artifacts.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const { chromium } = require('playwright-core');
const { kRepository } = require('./harness');

// Chromium as root needs --no-sandbox; the rest keep it from reaching for
// the network (there is none but the loopback here).
const kArguments = [
  '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-default-apps', '--disable-extensions',
];
const kViewports = {
  laptop: { width: 1366, height: 850 },
  phone: { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 2 },
};
const kArtifacts = process.env.WEB_ARTIFACTS || path.join(kRepository, 'build', 'web-tests');

async function Launch() {
  return chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true, args: kArguments });
}

// A page of the given size whose console errors and uncaught errors are
// kept, as are the JSON answers it received.
async function OpenPage(browser, size) {
  const { isMobile, hasTouch, deviceScaleFactor, ...viewport } = kViewports[size];
  const context = await browser.newContext({ viewport, isMobile, hasTouch, deviceScaleFactor, timezoneId: 'Europe/Madrid' });
  const page = await context.newPage();
  const watch = { errors: [], answers: [], size };
  page.on('console', (message) => {
    if (message.type() === 'error') watch.errors.push(message.text());
  });
  page.on('pageerror', (error) => watch.errors.push('uncaught: ' + error.message));
  page.on('response', async (response) => {
    const url = new URL(response.url());
    if (!url.pathname.includes('/api/')) return;
    try {
      watch.answers.push({ url, status: response.status(), body: await response.json() });
    } catch {
      watch.answers.push({ url, status: response.status(), body: undefined });
    }
  });
  watch.Screenshot = async (name) => {
    fs.mkdirSync(kArtifacts, { recursive: true });
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: path.join(kArtifacts, `${size}-${name}.png`), fullPage: false });
  };
  // The last answer the page got for a resource, with its query.
  watch.Last = (resource, test = () => true) => {
    for (let i = watch.answers.length - 1; i >= 0; --i) {
      const a = watch.answers[i];
      if (a.url.pathname.endsWith('/api/' + resource) && test(a.url.searchParams)) return a;
    }
    return undefined;
  };
  return { context, page, watch };
}

// Pixels of a canvas under `selector` within `tolerance` of the colour
// `hex`: a chart whose series is drawn has many of them.
async function ColouredPixels(page, selector, hex, tolerance = 40) {
  return page.evaluate(([selector, hex, tolerance]) => {
    const want = [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16));
    let count = 0;
    for (const canvas of document.querySelectorAll(selector + ' canvas')) {
      const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
      for (let i = 0; i < data.length; i += 4) {
        if (data[i + 3] > 128 && Math.abs(data[i] - want[0]) + Math.abs(data[i + 1] - want[1]) + Math.abs(data[i + 2] - want[2]) < tolerance) ++count;
      }
    }
    return count;
  }, [selector, hex, tolerance]);
}

module.exports = { Launch, OpenPage, ColouredPixels, kArtifacts };
