// Drives the web build in headless Chromium (Debian's chromium through
// puppeteer-core), served from 127.0.0.1, and checks what the page shows with
// shot_check. Usage:
//   node show.mjs walk|unattended|memory|small WEB_DIR WORK_DIR SHOT_CHECK [MB]
// walk: the start key, then a key per scene: the title and the credits every
//   pixel as drawn, two main-scene shots exact passes (the later one further
//   on), an end-screen shot an exact frame, the pace and the present's cost
//   over a quiet stretch of the main scene, the sound's level, the end.
// unattended: a whole run without keys to its end: the scenes in order and
//   their lengths, the pace over the main scene (held to 1000/13 within 2 %
//   when TAPEHISS_QUIET_MACHINE=1), the level, the fade.
// memory: a browser that gives the page no more than MB megabytes (default
//   256): the page says the show needs more memory, or the show runs (the
//   title is drawn); it never says that the show ended.
// small: a 300 x 200 window: each scene scaled down into it exactly, by the
//   show's own nearest-neighbour mapping, nothing blended.
// Prints one line per finding; exits 1 on the first fault.
import puppeteer from 'puppeteer-core';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const [mode, webDir, work, shotCheck, limitArg] = process.argv.slice(2);
const memoryLimitMb = Number(limitArg || 256);
const FRAME_RATE = 1000 / 13;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const t0 = Date.now();
const log = (line) => console.log(line);
let browser, server;

async function fail(why) {
  console.error(`FAIL (${mode}): ${why}`);
  if (browser) await browser.close().catch(() => {});
  if (server) server.close();
  process.exit(1);
}

// The folder, as any static server would serve it.
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const root = path.resolve(webDir);
server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname).slice(1) || 'index.html';
  const file = path.join(root, path.normalize(name));
  if (!file.startsWith(root + path.sep)) return response.writeHead(403).end();
  fs.readFile(file, (error, data) => {
    if (error) return response.writeHead(404).end();
    response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                              'Content-Length': data.length });
    response.end(data);
  });
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tapehiss-chromium-'));
browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  defaultViewport: { width: 1280, height: 720, deviceScaleFactor: 1 },
  // Without the background-networking flags Chromium keeps trying hosts that
  // this closed network refuses.
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
         '--window-size=1280,720'],
});
const page = await browser.newPage();
if (mode === 'small') await page.setViewport({ width: 300, height: 200, deviceScaleFactor: 1 });
page.on('pageerror', (error) => console.error(`page error: ${error.message}`));

// The sound's level in the page: whatever is connected to the speakers also
// feeds an analyser, read twenty times a second into window.levels as
// [milliseconds, dBFS of the last 2048 samples].
await page.evaluateOnNewDocument(() => {
  window.levels = [];
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode) {
      const context = this.context;
      if (!context.levelMeter) {
        const meter = context.levelMeter = context.createAnalyser();
        meter.fftSize = 2048;
        const samples = new Float32Array(meter.fftSize);
        setInterval(() => {
          if (context.state !== 'running') return;  // a closed context's meter shows nothing new
          meter.getFloatTimeDomainData(samples);
          let sum = 0;
          for (const v of samples) sum += v * v;
          const rms = Math.sqrt(sum / samples.length);
          window.levels.push([performance.now(), rms > 0 ? 20 * Math.log10(rms) : -200]);
        }, 50);
      }
      connect.call(this, context.levelMeter);
    }
    return connect.call(this, target, ...rest);
  };
});
// Full screen is asked for, and noted, but not granted: the screenshots keep
// the 1280 x 720 viewport.
await page.evaluateOnNewDocument(() => {
  window.fullScreenAsked = 0;
  Element.prototype.requestFullscreen = function () {
    window.fullScreenAsked += 1;
    return Promise.resolve();
  };
});
if (mode === 'memory') {
  // A browser that gives no more than the limit: every growth past it fails.
  await page.evaluateOnNewDocument((limitPages) => {
    const grow = WebAssembly.Memory.prototype.grow;
    WebAssembly.Memory.prototype.grow = function (pages) {
      if ((this.buffer.byteLength >> 16) + pages > limitPages) throw new RangeError('WebAssembly.Memory.grow(): Maximum memory size exceeded');
      return grow.call(this, pages);
    };
  }, memoryLimitMb * 16);
}

const state = () => page.evaluate(() => document.body.dataset.state);
async function waitForState(want, seconds) {
  for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(100))
    if ((await state()) === want) return;
  await fail(`the page never reached '${want}' in ${seconds} s (it is '${await state()}')`);
}
const stats = () => page.evaluate(() => ({ ...Module.presentStats, started: Module.startedAt, now: performance.now() }));

// shot NAME: a screenshot as WORK/NAME.png. check(KIND, NAME): shot_check's
// verdict on it, its lines printed; false when it fails.
async function shot(name) {
  await page.screenshot({ path: path.join(work, `${name}.png`), type: 'png' });
}
function check(kind, name) {
  try {
    const out = execFileSync(shotCheck, [kind, path.join(work, `${name}.png`)], { encoding: 'utf8', stdio: 'pipe' });
    out.trim().split('\n').forEach((line) => line && log(line));
    return out;
  } catch (error) {
    process.stderr.write(error.stdout + error.stderr);
    return null;
  }
}
async function waitForScene(want, seconds) {
  let seen = '';
  for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(100)) {
    await shot('poll');
    seen = execFileSync(shotCheck, ['classify', path.join(work, 'poll.png')], { encoding: 'utf8' }).trim();
    if (seen === want) return;
  }
  await fail(`waited ${seconds} s for the ${want} scene, last saw '${seen}'`);
}
// A shot that must equal the drawing of some main-scene pass or end-screen
// frame; returns the pass or frame.
async function momentShot(kind, name) {
  await shot(name);
  const out = check(`${kind}-moment`, name);
  if (!out) await fail(`${name}: no ${kind === 'main' ? 'main-scene pass' : 'end-screen frame'} matches`);
  return Number(out.match(/(?:pass|frame) (\d+):/)[1]);
}
const press = () => page.keyboard.press('Space');
// With the title up: the title and then the credits each exactly as drawn
// (shots PREFIXtitle, PREFIXcredits), a key after each.
async function stillScenes(prefix) {
  await sleep(300);
  for (const scene of ['title', 'credits']) {
    if (scene === 'credits') await waitForScene('credits', 10);
    await shot(prefix + scene);
    if (!check(scene, prefix + scene)) await fail(`${scene} screen${prefix ? ' in a small window' : ''}`);
    await press();
  }
}

// Pace and cost of the presents between two readings of the page's counts.
function pace(a, b, what) {
  const rate = (1000 * (b.count - a.count)) / (b.last - a.last);
  const cost = (b.ms - a.ms) / (b.count - a.count);
  const off = (100 * (rate - FRAME_RATE)) / FRAME_RATE;
  log(`${what}: ${rate.toFixed(2)} passes per second over ${((b.last - a.last) / 1000).toFixed(1)} s ` +
      `(${off >= 0 ? '+' : ''}${off.toFixed(1)} % from 1000/13; the 2 % bound holds on a quiet machine), ` +
      `present ${cost.toFixed(2)} ms on average, ${b.max.toFixed(2)} ms at most so far`);
  return { rate, cost, off };
}
// The sound's level between two page times: median, quietest and loudest reading.
async function level(from, to, what) {
  const levels = (await page.evaluate(() => window.levels)).filter(([t]) => t >= from && t <= to).map(([, db]) => db);
  if (!levels.length) await fail(`${what}: no sound level measured`);
  levels.sort((x, y) => x - y);
  const median = levels[levels.length >> 1];
  log(`${what}: sound ${median.toFixed(1)} dBFS median, ${levels[0].toFixed(1)} dBFS quietest, ` +
      `${levels[levels.length - 1].toFixed(1)} dBFS loudest over ${levels.length} readings`);
  return { median, quietest: levels[0] };
}

await page.goto(`http://127.0.0.1:${server.address().port}/`);
if ((await page.title()) !== 'Tapehiss Meets Modernity') await fail(`page title '${await page.title()}'`);
await waitForState('ready', 60);
await page.keyboard.press('Enter');  // the start gesture
if ((await page.evaluate(() => window.fullScreenAsked)) !== 1) await fail('the start key did not ask for full screen');

if (mode === 'memory') {
  const drawn = async () => (await stats()).count > 0;
  for (const end = Date.now() + 60000; Date.now() < end; await sleep(100))
    if (['failed', 'ended'].includes(await state()) || (await drawn())) break;
  const text = await page.evaluate(() => document.getElementById('panel').innerText);
  if ((await state()) === 'running' && (await drawn())) {
    // It runs: through every scene by keys, to a real end.
    for (const scene of ['title', 'credits', 'main', 'end']) {
      await waitForScene(scene, 20);
      await press();
    }
    await waitForState('ended', 10);
    const status = await page.evaluate(() => document.body.dataset.status);
    if (status !== '0') await fail(`limited to ${memoryLimitMb} MB: exit status ${status}`);
    log(`memory limited to ${memoryLimitMb} MB: the show runs through every scene, exit status 0`);
    await browser.close();
    server.close();
    process.exit(0);
  }
  log(`memory limited to ${memoryLimitMb} MB: the page says: ${text.replace(/\s+/g, ' ')}`);
  if ((await state()) !== 'failed') await fail(`limited to ${memoryLimitMb} MB the page is '${await state()}'`);
  if (!/not enough memory/i.test(text) || !/needs about \d+ MB/.test(text)) await fail('no clear message about the memory');
} else if (mode === 'small') {
  await waitForScene('title', 60);
  await stillScenes('small-');
  await waitForScene('main', 10);
  await momentShot('main', 'small-main');
  await press();
  await waitForScene('end', 10);
  await momentShot('end', 'small-end');
  await press();
  await waitForState('ended', 10);
} else if (mode === 'walk') {
  // While the tables are built the page answers and its bar moves on.
  const positions = new Set();
  for (const end = Date.now() + 60000; Date.now() < end; await sleep(20)) {
    const [now, width] = await page.evaluate(() => [document.body.dataset.state, document.getElementById('fill').style.width]);
    if (now !== 'building') break;
    positions.add(width);
  }
  log(`building the tables: the page answered and showed the bar at ${positions.size} positions`);
  if (positions.size < 3) await fail('the progress bar does not move while the tables are built');
  await waitForScene('title', 60);
  const s = await stats();
  log(`start click to title: ${((s.first - s.started) / 1000).toFixed(2)} s`);
  await stillScenes('');
  await waitForScene('main', 10);
  await sleep(1000);
  const quiet = await stats();
  await sleep(6000);  // no screenshots meanwhile
  const measured = pace(quiet, await stats(), 'main scene');
  await level(quiet.now, (await stats()).now, 'main scene');
  const first = await momentShot('main', 'main1');
  await sleep(1000);
  const second = await momentShot('main', 'main2');
  if (!(second > first)) await fail(`the main scene does not move (passes ${first}, ${second})`);
  if (measured.cost > 2) log(`note: a present took ${measured.cost.toFixed(2)} ms on average (target 2 ms)`);
  await press();
  await waitForScene('end', 10);
  await momentShot('end', 'end');
  if (!check('end', 'end')) await fail('end screen text and ribbons');
  log(`memory: the heap grew to ${(await page.evaluate(() => Module.HEAPU8.length) / 2 ** 20).toFixed(0)} MiB`);
  await press();
  await waitForState('ended', 10);
  const status = await page.evaluate(() => document.body.dataset.status);
  if (status !== '0') await fail(`exit status ${status}`);
  const title = await page.evaluate(() => document.querySelector('title').textContent);
  if (title !== 'Tapehiss Meets Modernity') await fail(`page title '${title}' at the end`);
  log(`the page reports the end: "${await page.evaluate(() => document.getElementById('message').textContent)}", ` +
      `exit status 0 (${((Date.now() - t0) / 1000).toFixed(0)} s)`);
} else {
  // Unattended: the scenes are read from screenshots until the main scene,
  // which is then left alone for 50 s to measure it, then again to the end.
  const seen = [];
  const note = async (scene) => {
    if (!seen.length || seen[seen.length - 1][0] !== scene) seen.push([scene, (await stats()).now]);
  };
  await waitForScene('title', 60);
  await note('title');
  for (const scene of ['credits', 'main']) {
    await waitForScene(scene, 15);
    await note(scene);
  }
  const a = await stats();
  await sleep(50000);
  const b = await stats();
  // The bound is checked only when the machine is said to be quiet: beside
  // other work the page's thread is late for its frames.
  const unattended = pace(a, b, 'main scene, unattended');
  if (process.env.TAPEHISS_QUIET_MACHINE === '1' && Math.abs(unattended.off) > 2)
    await fail('the main scene is off its pace by more than 2 % on a quiet machine');
  const main = await level(a.now, b.now, 'main scene, unattended');
  if (main.median < -40) await fail('the tune is not heard in the main scene');
  await waitForScene('end', 40);
  await note('end');
  await waitForState('ended', 60);
  await note('ended');
  const status = await page.evaluate(() => document.body.dataset.status);
  if (status !== '0') await fail(`exit status ${status}`);
  const lengths = seen.slice(0, -1).map(([scene, at], i) => `${scene} ${((seen[i + 1][1] - at) / 1000).toFixed(1)} s`);
  log(`unattended run: ${lengths.join(', ')}, then the page says the show has ended (exit status 0)`);
  const end = seen.find(([scene]) => scene === 'end')[1];
  const fade = await level(end + 29000, seen[seen.length - 1][1], 'end screen, its last seconds');
  const before = await level(end + 20000, end + 28000, 'end screen before the fade');
  if (!(fade.quietest < before.median - 12)) await fail('the tune does not fade out at the end');
}
await browser.close();
server.close();
fs.rmSync(profile, { recursive: true, force: true });
log(`PASS (${mode}) in ${((Date.now() - t0) / 1000).toFixed(0)} s`);
