// Loads one page of korvane-inspect in headless chromium and checks what a reader sees:
// no console error, no request leaving the file, every picture drawn with a size, the
// texts given shown, and a full-page screenshot that is not blank. Prints one line of
// figures (the page's bytes, the load time the browser reports, the screenshot's colours).
//
//   node check_page.mjs --chromium PATH --page PAGE [--expect TEXT ...] [--max-bytes N]
//        [--max-load-ms N] [--min-colours N] [--screenshot OUT.png --height PX]
// Exits 1 when a check fails, naming it; with --screenshot it only writes the top of the
// page, PX high, to OUT.png.
import { chromium } from 'playwright-core';
import { mkdtempSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

function options(argv) {
  const o = { expect: [], maxBytes: Infinity, maxLoadMs: Infinity, minColours: 0 };
  for (let n = 0; n < argv.length; n += 2) {
    const [name, value] = [argv[n], argv[n + 1]];
    if (name === '--expect') o.expect.push(value);
    else if (name === '--chromium') o.chromium = value;
    else if (name === '--page') o.page = resolve(value);
    else if (name === '--max-bytes') o.maxBytes = Number(value);
    else if (name === '--max-load-ms') o.maxLoadMs = Number(value);
    else if (name === '--min-colours') o.minColours = Number(value);
    else if (name === '--screenshot') o.screenshot = value;
    else if (name === '--height') o.height = Number(value);
    else throw new Error(`unknown option ${name}`);
  }
  return o;
}

// The distinct colours of a PNG screenshot that are not greys (the maps', not the text's
// anti-aliasing), counted in a page of their own.
async function saturated_colours(context, png) {
  const page = await context.newPage();
  const count = await page.evaluate(async (data) => {
    const image = new Image();
    image.src = `data:image/png;base64,${data}`;
    await image.decode();
    const canvas = document.createElement('canvas');
    [canvas.width, canvas.height] = [image.width, image.height];
    const draw = canvas.getContext('2d');
    draw.drawImage(image, 0, 0);
    const pixels = draw.getImageData(0, 0, image.width, image.height).data;
    const seen = new Set();
    for (let n = 0; n < pixels.length; n += 4) {
      const [r, g, b] = [pixels[n], pixels[n + 1], pixels[n + 2]];
      if (Math.max(r, g, b) - Math.min(r, g, b) > 30) seen.add((r << 16) | (g << 8) | b);
    }
    return seen.size;
  }, png.toString('base64'));
  await page.close();
  return count;
}

const o = options(process.argv.slice(2));
const url = pathToFileURL(o.page).href;
const profile = mkdtempSync(join(tmpdir(), 'korvane-chromium-'));
const failures = [];
const context = await chromium.launchPersistentContext(profile, {
  executablePath: o.chromium,
  headless: true,
  viewport: { width: 1280, height: 1000 },
  // As root chromium runs only without its sandbox; nothing may reach the network.
  args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update',
         '--no-first-run', '--disable-default-apps', '--disable-sync'],
});
try {
  const page = context.pages()[0] ?? await context.newPage();
  const errors = [], outside = [];
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  page.on('pageerror', (error) => errors.push(String(error)));
  context.on('request', (request) => {
    const target = request.url();
    if (target !== url && !target.startsWith('data:')) outside.push(target);
  });
  await page.goto(url, { waitUntil: 'load' });
  if (o.screenshot) {
    await page.screenshot({ path: o.screenshot, fullPage: true,
                           clip: { x: 0, y: 0, width: 1280, height: o.height } });
  } else {
    const loadMs = await page.evaluate(
        () => performance.getEntriesByType('navigation')[0].loadEventStart);
    const bytes = statSync(o.page).size;
    const pictures = await page.$$eval('svg, svg image', (elements) => elements.map((e) => {
      const box = e.getBoundingClientRect();
      const what = e.getAttribute('aria-label') ?? e.tagName;
      return { what, width: box.width, height: box.height };
    }));
    const text = await page.evaluate(() => document.body.innerText);
    const colours = await saturated_colours(context, await page.screenshot({ fullPage: true }));

    if (errors.length) failures.push(`console errors: ${errors.join(' | ')}`);
    if (outside.length) failures.push(`requests leaving the file: ${outside.join(' ')}`);
    if (!pictures.length) failures.push('no picture');
    for (const p of pictures) {
      if (!(p.width > 0 && p.height > 0)) failures.push(`picture not drawn: ${p.what}`);
    }
    for (const wanted of o.expect) {
      if (!text.includes(wanted)) failures.push(`text not shown: "${wanted}"`);
    }
    if (bytes > o.maxBytes) failures.push(`page of ${bytes} bytes, above ${o.maxBytes}`);
    if (!(loadMs <= o.maxLoadMs)) {
      failures.push(`load event after ${loadMs} ms, above ${o.maxLoadMs}`);
    }
    if (colours < o.minColours) {
      failures.push(`screenshot of ${colours} colours, below ${o.minColours}`);
    }
    console.log(`page ${o.page}: ${bytes} bytes, load event ${loadMs.toFixed(1)} ms after ` +
                `navigation, ${pictures.length} pictures, ${colours} colours`);
  }
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}
for (const failure of failures) console.error(`FAIL: ${failure}`);
process.exit(failures.length ? 1 : 0);
