// The web page's tests in headless Chromium: the page's 600th frame against the native
// program's PNG pixel for pixel, its 2,000-frame trace against the native trace byte for
// byte, keys and the right-button drag through real browser input, Escape ending the
// loop, the address's options refused or honoured, and the page's frame rate over 1,000
// frames. Screenshots go to the output folder.
//
// node browser_test.mjs --page build-web --springdrop build/src/springdrop [--out DIR]
// Exit code 0 when every check passes, 1 when one fails, 2 when the tests cannot run
// (no page, no native program, or Chromium cannot start).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { PNG } from 'pngjs';
import puppeteer from 'puppeteer-core';

const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

// Animation frames as fast as the page can render them, not at the display's rate.
const UNLIMITED_FRAME_RATE_FLAGS = ['--disable-frame-rate-limit', '--disable-gpu-vsync'];

function parseArguments(argv) {
  const options = { page: 'build-web', springdrop: '', out: '', chromium: process.env.CHROMIUM || 'chromium' };
  for (let i = 0; i < argv.length; i += 2) {
    const name = argv[i].replace(/^--/, '');
    if (!(name in options) || argv[i + 1] === undefined) throw new Error(`unknown or incomplete option "${argv[i]}"`);
    options[name] = argv[i + 1];
  }
  if (!options.out) options.out = path.join(options.page, 'browser-test');
  return options;
}

// A program name looked up on PATH, as a shell would; a path is taken as it is.
function findProgram(name) {
  if (name.includes('/')) return name;
  for (const directory of (process.env.PATH || '').split(':')) {
    const candidate = path.join(directory || '.', name);
    try {
      fs.accessSync(candidate, fs.constants.X_OK);
      return candidate;
    } catch {
      // not in this directory
    }
  }
  return name;
}

function cannotRun(message) {
  console.error(`browser tests: ${message}`);
  process.exit(2);
}

// A static server for the page's folder, on the loopback interface only.
function serve(root) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (!file.startsWith(path.resolve(root)) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function runNative(options, args) {
  execFileSync(options.springdrop, ['--headless', ...args], { stdio: ['ignore', 'ignore', 'pipe'] });
}

const results = [];
function check(name, passed, detail) {
  results.push({ name, passed });
  console.log(`${passed ? 'PASS' : 'FAIL'} ${name}: ${detail}`);
}

async function openPage(browser, base, query) {
  const page = await browser.newPage();
  await page.setViewport({ width: 700, height: 600 });
  const messages = [];
  page.on('console', (message) => messages.push(message.text()));
  page.on('pageerror', (error) => messages.push(String(error)));
  await page.goto(`${base}/index.html${query}`);
  await page.waitForFunction(() => window.springdrop && typeof Module !== 'undefined' && Module.calledRun);
  return { page, messages };
}

// The state at the end of the run; a page that refused its options fails the check.
async function finished(page) {
  const state = await page.evaluate(() => window.springdrop.finished);
  if (state.state === 'refused') throw new Error(`the page refused to start: ${state.message}`);
  return state;
}

async function canvasPixels(page) {
  return Buffer.from(await page.evaluate(() => Array.from(window.springdrop.pixels())));
}

async function screenshot(page, options, name) {
  const file = path.join(options.out, name);
  await page.screenshot({ path: file });
  return file;
}

// Pixels of `actual` (RGBA, width x height) that differ from the PNG at `pngFile` inside
// the rectangle, or in the whole image when no rectangle is given.
function differingPixels(actual, pngFile, rect) {
  const expected = PNG.sync.read(fs.readFileSync(pngFile));
  const { x0, y0, x1, y1 } = rect || { x0: 0, y0: 0, x1: expected.width, y1: expected.height };
  let differing = 0;
  for (let y = y0; y < y1; ++y) {
    for (let x = x0; x < x1; ++x) {
      const i = (y * expected.width + x) * 4;
      if (actual.compare(expected.data, i, i + 4, i, i + 4) !== 0) ++differing;
    }
  }
  return { differing, width: expected.width, height: expected.height };
}

async function checkImage(browser, base, options) {
  const nativePng = path.join(options.out, 'native-600.png');
  runNative(options, ['--frames', '600', '--fixed-fps', '100', '--png', nativePng]);
  const { page } = await openPage(browser, base, '?frames=600&fixedFps=100');
  const state = await finished(page);
  const pixels = await canvasPixels(page);
  const { differing, width, height } = differingPixels(pixels, nativePng);
  await screenshot(page, options, 'page-600.png');
  check('600-frame image equals native', state.frames === 600 && differing === 0 && pixels.length === width * height * 4,
    `${state.frames} frames, ${width}x${height}, ${differing} differing pixels`);
  await page.close();
}

async function checkTrace(browser, base, options) {
  const nativeTrace = path.join(options.out, 'native-2000.csv');
  runNative(options, ['--frames', '2000', '--fixed-fps', '100', '--trace', nativeTrace]);
  const { page } = await openPage(browser, base, '?frames=2000&fixedFps=100&trace=1');
  await finished(page);
  const pageTrace = await page.evaluate(() => window.springdrop.trace());
  fs.writeFileSync(path.join(options.out, 'page-2000.csv'), pageTrace);
  const expected = fs.readFileSync(nativeTrace, 'utf8');
  const pageLines = pageTrace.split('\n');
  const nativeLines = expected.split('\n');
  const firstDifference = nativeLines.findIndex((line, i) => line !== pageLines[i]);
  check('2,000-frame trace equals native', pageTrace === expected,
    `${pageLines.length - 2} rows; ${firstDifference < 0 ? 'identical' : `first difference on line ${firstDifference + 1}`}`);
  await page.close();
}

async function nextFrames(page, count) {
  const start = (await page.evaluate(() => window.springdrop.state())).frames;
  await page.waitForFunction((target) => window.springdrop.state().frames >= target, {}, start + count);
  return page.evaluate(() => window.springdrop.state());
}

async function checkInput(browser, base, options) {
  const { page } = await openPage(browser, base, '');
  const before = await nextFrames(page, 5);

  await page.keyboard.press('KeyW');
  const walked = await nextFrames(page, 2);
  const near = (a, b) => Math.abs(a - b) < 1e-3;
  await screenshot(page, options, 'after-W.png');
  check('W moves the view', near(walked.camera.x, -148.607) && near(walked.camera.z, -148.607) &&
    walked.camera.y === before.camera.y,
  `eye (${before.camera.x}, ${before.camera.y}, ${before.camera.z}) -> (${walked.camera.x}, ${walked.camera.y}, ${walked.camera.z})`);

  await page.keyboard.press('F1');
  const rebuilt = await nextFrames(page, 2);
  // The overlay's height line against the native program's after the same F1.
  const nativeF1 = path.join(options.out, 'native-F1.png');
  runNative(options, ['--frames', '3', '--fixed-fps', '100', '--input', '1:F1', '--png', nativeF1]);
  const heightLine = differingPixels(await canvasPixels(page), nativeF1, { x0: 0, y0: 50, x1: 200, y1: 66 });
  await screenshot(page, options, 'after-F1.png');
  check('F1 changes the drop height to 77', rebuilt.dropHeight === 77 && heightLine.differing === 0,
    `drop height ${before.dropHeight} -> ${rebuilt.dropHeight}; overlay height line vs native: ` +
    `${heightLine.differing} differing pixels`);

  const box = await (await page.$('#canvas')).boundingBox();
  const at = (x, y) => [box.x + x, box.y + y];
  await page.mouse.move(...at(320, 240));
  await page.mouse.down({ button: 'right' });
  await page.mouse.move(...at(330, 250));
  await page.mouse.up({ button: 'right' });
  const turned = await nextFrames(page, 2);
  const menuOpened = await page.evaluate(() => {
    const event = new MouseEvent('contextmenu', { bubbles: true, cancelable: true, button: 2 });
    return document.getElementById('canvas').dispatchEvent(event);
  });
  await screenshot(page, options, 'after-drag.png');
  check('a right-button drag turns the view', near(turned.camera.yaw, before.camera.yaw - 2) &&
    near(turned.camera.pitch, before.camera.pitch + 2) && !menuOpened,
  `yaw ${before.camera.yaw} -> ${turned.camera.yaw}, pitch ${before.camera.pitch} -> ${turned.camera.pitch}, ` +
  `context menu ${menuOpened ? 'not ' : ''}suppressed`);

  await page.keyboard.press('Escape');
  const ended = await finished(page);
  await new Promise((resolve) => setTimeout(resolve, 300));
  const later = await page.evaluate(() => window.springdrop.state());
  const statusText = await page.$eval('#status', (element) => element.textContent);
  await screenshot(page, options, 'after-Escape.png');
  check('Escape stops the loop', ended.state === 'quit' && later.frames === ended.frames && /ended/.test(statusText),
    `state ${ended.state} at frame ${ended.frames}, ${later.frames} frames 300 ms later; status "${statusText}"`);
  await page.close();
}

// The address's options reach the program as values: a line break or a NUL inside one
// and an inherited JavaScript name are refused with a line on the page, and trace=0
// does not trace. (The parsing itself is unit-tested natively.)
async function checkAddressOptions(browser, base) {
  const refusals = [
    ['?frames=5%0A--trace%0Ax.csv', /control character \(\\x0A\)/],
    ['?frames=5%00', /control character \(\\x00\)/],
    ['?toString=1', /unknown page option "toString"/],
    ['?trace=yes', /"trace" takes 0, 1, true or false/],
  ];
  for (const [query, expected] of refusals) {
    const { page } = await openPage(browser, base, query);
    const state = await page.evaluate(() => window.springdrop.finished);
    const statusText = await page.$eval('#status', (element) => element.textContent);
    check(`the page refuses ${query}`, state.state === 'refused' && expected.test(statusText) && !statusText.includes('\n'),
      `state ${state.state}; status "${statusText}"`);
    await page.close();
  }
  const { page } = await openPage(browser, base, '?trace=0&frames=5');
  const state = await finished(page);
  const traced = await page.evaluate(() => window.Module.FS.analyzePath('/tmp/trace.csv').exists);
  check('trace=0 does not trace', state.frames === 5 && !traced, `${state.frames} frames, trace file ${traced ? 'written' : 'absent'}`);
  await page.close();
}

async function measureFrameRate(browser, base, how) {
  const { page } = await openPage(browser, base, '?frames=1000');
  await finished(page);
  const { first, last, workMs, calls } = await page.evaluate(() => window.springdrop.frameTimes);
  const seconds = (last - first) / 1000;
  const perFrame = workMs / calls;
  console.log(`INFO frame rate: 1000 frames in ${seconds.toFixed(2)} s, ${(999 / seconds).toFixed(1)} frames per ` +
    `second ${how}; ${perFrame.toFixed(3)} ms of work per frame ` +
    `(${(1000 / perFrame).toFixed(0)} frames per second unpaced)`);
  await page.close();
}

// Runs `use` with a fresh Chromium (own profile folder, removed afterwards).
async function withBrowser(options, extraFlags, use) {
  const userDataDir = fs.mkdtempSync(path.join(fs.realpathSync('/tmp'), 'springdrop-chromium-'));
  let browser;
  try {
    browser = await puppeteer.launch({
      executablePath: findProgram(options.chromium),
      args: [...CHROMIUM_FLAGS, ...extraFlags, `--user-data-dir=${userDataDir}`],
      timeout: 60000,
    });
  } catch (error) {
    fs.rmSync(userDataDir, { recursive: true, force: true });
    cannotRun(`Chromium could not start (${options.chromium}): ${error.message.split('\n')[0]}`);
  }
  try {
    await use(browser);
  } finally {
    await browser.close();
    fs.rmSync(userDataDir, { recursive: true, force: true });
  }
}

async function main() {
  let options;
  try {
    options = parseArguments(process.argv.slice(2));
  } catch (error) {
    cannotRun(error.message);
  }
  for (const file of ['index.html', 'springdrop.js', 'springdrop.wasm']) {
    if (!fs.existsSync(path.join(options.page, file))) cannotRun(`${path.join(options.page, file)} is missing; run scripts/web`);
  }
  if (!options.springdrop || !fs.existsSync(options.springdrop)) cannotRun(`native springdrop not found ("${options.springdrop}")`);
  fs.mkdirSync(options.out, { recursive: true });

  const server = await serve(path.resolve(options.page));
  const base = `http://127.0.0.1:${server.address().port}`;
  try {
    await withBrowser(options, [], async (browser) => {
      await checkImage(browser, base, options);
      await checkTrace(browser, base, options);
      await checkInput(browser, base, options);
      await checkAddressOptions(browser, base);
      await measureFrameRate(browser, base, 'paced by the display');
    });
    await withBrowser(options, UNLIMITED_FRAME_RATE_FLAGS, (browser) =>
      measureFrameRate(browser, base, 'with the frame rate limit off'));
  } finally {
    server.close();
  }
  const failed = results.filter((result) => !result.passed).length;
  console.log(`browser tests: ${results.length - failed} passed, ${failed} failed; screenshots in ${options.out}`);
  process.exit(failed === 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(`browser tests: ${error.stack || error}`);
  process.exit(1);
});
