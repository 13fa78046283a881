// The clubs console in headless Chromium, against a fresh zun-clubs-host per test. Every test
// waits for what a person sees on the page; every request the page makes is checked to go to
// the host, and any script error fails the test.
//
// ZC_HOST_PROGRAM names the host program (default: the default preset's build), ZC_HOST_LAUNCHER
// a program that runs it (Wine's loader for the Windows build), CHROMIUM the browser (default
// /usr/bin/chromium), ZC_CONSOLE_SCREENSHOT where the screenshot goes.
import { afterEach, beforeEach, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const hostProgram = process.env.ZC_HOST_PROGRAM
  ?? path.join(root, 'build/default/host/serving/zun-clubs-host');
const hostLauncher = process.env.ZC_HOST_LAUNCHER || '';
// Wine turns SIGINT into Ctrl-C for a Windows program but ends it at once on SIGTERM.
const stopSignal = hostLauncher ? 'SIGINT' : 'SIGTERM';
const screenshotPath = process.env.ZC_CONSOLE_SCREENSHOT
  ?? path.join(root, 'build/default/console-screenshot.png');
const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// Starts the host on a free port and resolves with its base URL once it prints where it listens.
// The host keeps what it printed, for stopHost.
function startHost() {
  const args = ['--port', '0', '--quiet'];
  const child = hostLauncher
    ? spawn(hostLauncher, [hostProgram, ...args], { stdio: ['ignore', 'pipe', 'pipe'] })
    : spawn(hostProgram, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  const started = { child, printed: '', errors: '' };
  child.stderr.on('data', (chunk) => { started.errors += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  started.exited = exited;
  return new Promise((resolve, reject) => {
    exited.then(({ code }) => reject(new Error(`the host exited with ${code}: ${started.errors}`)));
    child.stdout.on('data', (chunk) => {
      started.printed += chunk;
      const base = /listening on (http:\/\/127\.0\.0\.1:\d+)/.exec(started.printed);
      const console = /console: +(http:\S+)/.exec(started.printed);
      if (base && console) resolve(Object.assign(started, { base: base[1], consoleUrl: console[1] }));
    });
  });
}

// Asks the host to stop and waits for it (killing it after 20 s); how it ended.
async function stopHost(started) {
  started.child.kill(stopSignal);
  let timer;
  const late = new Promise((resolve) => {
    timer = setTimeout(() => { started.child.kill('SIGKILL'); resolve(null); }, 20000);
  });
  const ended = await Promise.race([started.exited, late]);
  clearTimeout(timer);
  await started.exited;
  return ended;
}

// Wine reports a crash of the Windows program with these, then may exit with status 0.
const CRASH_REPORT = /wine: Unhandled|wine client error:/;

let userDataDir;
let host;
let context;
let page;
let offsite;  // requests that did not go to the host
let problems; // script errors and console errors

// A fresh browser with a fresh profile per test, so that no test sees another's cache or storage.
beforeEach(async () => {
  host = undefined;
  host = await startHost();
  offsite = [];
  problems = [];
  userDataDir = mkdtempSync(path.join(tmpdir(), 'zc-console-chromium-'));
  context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: CHROMIUM_ARGS,
    viewport: { width: 1280, height: 1000 },
  });
  const origin = new URL(host.base).origin;
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (new URL(url).origin === origin || url.startsWith('blob:') || url.startsWith('data:')) {
      return route.continue();
    }
    offsite.push(url);
    return route.abort();
  });
  page = context.pages()[0] ?? await context.newPage();
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    // A refused call is part of what the page shows; the browser also logs it, which is no fault.
    if (message.type() === 'error' && !/the server responded with a status of/.test(message.text())) {
      problems.push(`console error: ${message.text()}`);
    }
  });
  // A browser opening the host's root is led to the console.
  await page.goto(`${host.base}/`);
  assert.equal(page.url(), host.consoleUrl);
  await page.locator('#stream-state', { hasText: 'connected' }).waitFor();
});

afterEach(async () => {
  await context?.close();
  const ended = host ? await stopHost(host) : { code: 0, signal: null };
  // Nothing of the host may keep the test process alive once the tests are done.
  host?.child.stdout.destroy();
  host?.child.stderr.destroy();
  host?.child.unref();
  rmSync(userDataDir, { recursive: true, force: true });
  assert.deepEqual(offsite, [], 'every request goes to the host');
  assert.deepEqual(problems, [], 'no script error');
  assert.doesNotMatch(`${host?.printed}${host?.errors}`, CRASH_REPORT, 'the host did not crash');
  assert.deepEqual(ended, { code: 0, signal: null }, `the host stopped cleanly: ${host?.errors}`);
});

const clubButton = (name) => page.locator('#club-list button', { hasText: name });
const memberRow = (name) => page.locator('#active-members tr', { hasText: name });

// Chooses the first option of a select whose text contains `text`, once it is there.
async function choose(select, text) {
  const option = page.locator(`${select} option`, { hasText: text }).first();
  await option.waitFor({ state: 'attached' });
  await page.selectOption(select, await option.getAttribute('value'));
}

async function actAsOther(player, club, target, action, text = '') {
  await choose('#other-who', player);
  if (club) await choose('#other-club', club);
  if (target) await choose('#other-target', target);
  if (text) await page.fill('#other-text', text);
  await page.click(`#other-form button[value="${action}"]`);
  await page.locator('#other-form output.ok', { hasText: `${player}: ${action}` }).waitFor();
}

// Fills one field of a form, submits it and gives the refusal shown next to it.
async function refusedSubmit(form, field, value) {
  await page.fill(field, value);
  await page.click(`${form} button`);
  const refusal = page.locator(`${form} output.refused`);
  await refusal.waitFor();
  return refusal.textContent();
}

test('the seeded clubs, members and invitation show, and the page is kept as a screenshot', async () => {
  await clubButton('Night Owls').waitFor();
  await assert.doesNotReject(page.locator('#club-list', { hasText: 'OWNER' }).waitFor());
  await page.locator('#invite-list li', { hasText: 'Lantern Keepers' }).waitFor();
  await page.locator('#club-title', { hasText: 'Night Owls' }).waitFor();
  await memberRow('Corvina').waitFor();
  await page.locator('#invited-members', { hasText: 'Bram' }).waitFor();
  const names = await page.locator('#active-members tr td:nth-child(2)').allTextContents();
  assert.ok(names.length >= 2, `members: ${names}`);
  assert.match(names[0], /\(you\)/, 'the owner is listed first');
  mkdirSync(path.dirname(screenshotPath), { recursive: true });
  await page.screenshot({ path: screenshotPath, fullPage: true });
});

test('a club created from the keyboard shows without a reload', async () => {
  await clubButton('Night Owls').waitFor();
  await page.evaluate(() => { window.notReloaded = true; });
  await page.focus('#create-name');
  await page.keyboard.type('Ember Guild');
  await page.keyboard.press('Enter');
  await clubButton('Ember Guild').waitFor();
  await page.locator('#create-club output.ok').waitFor();
  await page.locator('#club-title', { hasText: 'Ember Guild' }).waitFor();
  await memberRow('(you)').locator('td', { hasText: 'OWNER' }).waitFor();
  assert.equal(await page.evaluate(() => window.notReloaded), true);
});

test('another player\'s invitation arrives with its toast and can be accepted', async () => {
  await clubButton('Night Owls').waitFor();
  await actAsOther('Bram', 'Tidewatch', null, 'invite');
  const invitation = page.locator('#invite-list li', { hasText: 'Tidewatch' });
  await invitation.waitFor();
  await page.locator('#invite-list li', { hasText: 'from Bram' }).waitFor();
  const toast = page.locator('#toast-list li.toast', { hasText: 'Tidewatch' });
  await toast.waitFor();
  assert.match(await toast.textContent(), /club_invite.*Bram/);
  assert.match(await page.locator('#toast-list li.toast').first().textContent(), /Tidewatch/,
    'the newest toast comes first');
  await invitation.getByRole('button', { name: 'Accept' }).click();
  await clubButton('Tidewatch').waitFor();
  await invitation.waitFor({ state: 'detached' });
  await clubButton('Tidewatch').click();
  await memberRow('(you)').locator('td', { hasText: 'MEMBER' }).waitFor();
});

test('a kept world comes back after a reset, and a bad snapshot name shows the host\'s reason', async (t) => {
  const snapshots = await fetch(`${host.base}/zun-clubs-host/v1/world/snapshots`);
  if (snapshots.status === 404) {
    t.skip('this host holds no world (GET /zun-clubs-host/v1/world/snapshots answers 404)');
    return;
  }
  await clubButton('Night Owls').waitFor();
  await page.fill('#create-name', 'Ember Guild');
  await page.keyboard.press('Enter');
  await clubButton('Ember Guild').waitFor();
  await page.fill('#snapshot-name', 'with-ember');
  await page.click('#snapshot-form button[type="submit"]');
  await page.locator('#snapshot-result.ok', { hasText: '201 kept as with-ember' }).waitFor();
  await page.locator('#snapshot-list option', { hasText: /^with-ember \(\d+ bytes\)$/ }).waitFor({ state: 'attached' });

  const posted = await fetch(`${host.base}/player-notifications/v1/notifications`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ titleKey: 'clubs_toast', detailKey: 'left_over', type: 'club', data: {} }),
  });
  assert.equal(posted.status, 200);
  const leftOver = page.locator('#toast-list li.toast', { hasText: 'left_over' });
  await leftOver.waitFor();

  await page.click('#world-reset');
  await page.locator('#snapshot-result.ok',
    { hasText: '200 reset to the starting world; fault rules and toasts cleared' }).waitFor();
  await clubButton('Ember Guild').waitFor({ state: 'detached' });
  await clubButton('Night Owls').waitFor();
  await leftOver.waitFor({ state: 'detached' });

  await page.click('#snapshot-restore');
  await page.locator('#snapshot-result.ok', { hasText: '200 restored with-ember' }).waitFor();
  await clubButton('Ember Guild').waitFor();

  await page.fill('#snapshot-name', 'my world');
  await page.click('#snapshot-form button[type="submit"]');
  await page.locator('#snapshot-result.refused', {
    hasText: '400 a snapshot name is 1 to 64 letters, digits, \'-\', \'_\' or \'.\' (and not "." or ".."); "my%20world" is not one',
  }).waitFor();
});

test('the rule form offers the services the host reads, as its API document lists them', async () => {
  const api = await (await fetch(`${host.base}/zun-clubs-host/v1/openapi.json`)).json();
  const services = api.components.schemas.FaultRule.properties.service.enum;
  assert.ok(services.includes('player-notifications'), services.join());
  await page.locator(`#fault-service option:nth-child(${services.length})`).waitFor({ state: 'attached' });
  const offered = await page.locator('#fault-service option').allTextContents();
  assert.deepEqual(offered, services);
});

test('a fault rule makes setting the MOTD fail, and the page shows status and errorCode', async (t) => {
  const faults = await fetch(`${host.base}/zun-clubs-host/v1/faults`);
  if (faults.status === 404) {
    t.skip('this host has no fault rules (GET /zun-clubs-host/v1/faults answers 404)');
    return;
  }
  await page.locator('#faults-missing').waitFor({ state: 'hidden' });
  await page.selectOption('#fault-service', 'clubs');
  await page.selectOption('#fault-method', 'PUT');
  await page.fill('#fault-path', '/v1/clubs/*/motd');
  await page.fill('#fault-status', '403');
  await page.fill('#fault-code', 'CLUB_PERMISSION_DENIED');
  await page.click('#fault-form button[type="submit"]');
  await page.locator('#fault-list li', { hasText: '/v1/clubs/*/motd' }).waitFor();
  await clubButton('Night Owls').click();
  assert.match(await refusedSubmit('#set-motd', '#motd-text', 'Refused today'),
    /^403 CLUB_PERMISSION_DENIED/);
  await page.locator('#club-motd', { hasText: 'Refused today' }).waitFor({ state: 'detached' });
});

test('a whole scenario: create, invite, join, promote, hand over ownership, leave', async () => {
  await clubButton('Night Owls').waitFor();
  await page.fill('#create-name', 'Harbor Lights');
  await page.click('#create-club button');
  await page.locator('#club-title', { hasText: 'Harbor Lights' }).waitFor();
  await choose('#invite-who', 'Dace');
  await page.click('#invite-form button[value="invite"]');
  await page.locator('#invited-members', { hasText: 'Dace' }).waitFor();

  await actAsOther('Dace', 'Harbor Lights', null, 'accept');
  await memberRow('Dace').waitFor();
  await memberRow('Dace').getByRole('button', { name: 'Promote Dace' }).click();
  await memberRow('Dace').locator('td', { hasText: 'OFFICER' }).waitFor();
  await memberRow('Dace').getByRole('button', { name: 'Transfer ownership Dace' }).click();
  await memberRow('Dace').locator('td', { hasText: 'OWNER' }).waitFor();
  await page.locator('#club-role', { hasText: 'OFFICER' }).waitFor();

  await page.click('#leave-club');
  await clubButton('Harbor Lights').waitFor({ state: 'detached' });
});

test('a refused action shows its status and errorCode next to it, and keeps it', async () => {
  await clubButton('Night Owls').waitFor();
  assert.match(await refusedSubmit('#create-club', '#create-name', 'night owls'),
    /^409 CLUB_NAME_TAKEN/);

  await memberRow('Corvina').getByRole('button', { name: 'Demote Corvina' }).click();
  const rowRefusal = memberRow('Corvina').locator('output.refused');
  await rowRefusal.waitFor();
  const shown = await rowRefusal.textContent();
  assert.match(shown, /^\d{3} [A-Z_]+/);
  // A change of the club rebuilds its rows; the refusal stays next to its action.
  await page.fill('#motd-text', 'Rows are rebuilt');
  await page.click('#set-motd button');
  await page.locator('#club-motd', { hasText: 'Rows are rebuilt' }).waitFor();
  assert.equal(await memberRow('Corvina').locator('output.refused').textContent(), shown);
});

test('the service clock shows and is frozen, set and advanced, and follows changes made elsewhere', async () => {
  const now = page.locator('#clock-now');
  const result = page.locator('#clock-result');
  await now.filter({ hasText: '2023-11-14T22:13:20.012Z · 1700000000012 ms · running' }).waitFor();

  await page.click('#clock-freeze');
  await now.filter({ hasText: '1700000000012 ms · frozen' }).waitFor();
  await page.locator('#clock-freeze', { hasText: 'Unfreeze' }).waitFor();
  assert.equal(await result.textContent(), '200 frozen');

  await page.fill('#clock-set-now', '2024-05-01T12:00:00Z');
  await page.click('#clock-set button');
  await now.filter({ hasText: '2024-05-01T12:00:00.000Z · 1714564800000 ms · frozen' }).waitFor();
  await page.click('#clock-advance button[value="3600000"]');
  await now.filter({ hasText: '2024-05-01T13:00:00.000Z · 1714568400000 ms · frozen' }).waitFor();

  // Back before a stamp the service gave is refused, and the reading stays.
  await page.fill('#clock-set-now', '1700000000000');
  await page.click('#clock-set button');
  await page.locator('#clock-result.refused').waitFor();
  assert.equal(await result.textContent(), '409 "now" 1700000000000 is before 1700000000012, '
    + 'the newest time stamp the service holds; the clock may not go back past a stamp it gave');
  assert.match(await now.textContent(), /1714568400000 ms · frozen/);

  // A move made by a test script reaches the page through the event stream.
  await page.evaluate(() => fetch('/zun-clubs-host/v1/clock/advance', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{"ms":1000}',
  }));
  await now.filter({ hasText: '1714568401000 ms · frozen' }).waitFor();

  // Running again, a club change takes the next millisecond, and the page follows it.
  await page.click('#clock-freeze');
  await now.filter({ hasText: '1714568401000 ms · running' }).waitFor();
  await clubButton('Night Owls').click();
  await page.fill('#motd-text', 'Stamped');
  await page.click('#set-motd button');
  await page.locator('#club-motd', { hasText: 'Stamped' }).waitFor();
  await now.filter({ hasText: '2024-05-01T13:00:01.001Z · 1714568401001 ms · running' }).waitFor();
});

test('the Requests panel follows the plugin\'s calls live and shows a call\'s bodies on a click', async () => {
  await clubButton('Night Owls').click();
  await page.locator('#request-list li', { hasText: 'login GET /zun-login/v1/session' }).first().waitFor();
  await page.fill('#motd-text', 'Journal night');
  await page.click('#set-motd button');
  const put = page.locator('#request-list li', { hasText: 'clubs PUT /v1/clubs/club-1/motd → 200' });
  await put.waitFor();
  assert.match(await put.textContent(), /by request PATCH \/zun-clubs\/v1\/clubs\/club-1\/motd/);
  await put.locator('summary').click();
  await put.locator('pre.request-body', { hasText: 'Journal night' }).waitFor();
  await put.locator('pre.answer-body').waitFor();

  await page.fill('#request-filter', 'clubs PUT');
  await page.locator('#request-list li', { hasText: 'login GET' }).first().waitFor({ state: 'hidden' });
  await page.fill('#request-filter', '');
  await page.click('#clear-requests');
  await page.locator('#request-list li', { hasText: 'No calls yet.' }).waitFor();
  await put.waitFor({ state: 'detached' });
});

test('a scenario started from the page shows each step passing, and its effect arrives', async () => {
  await clubButton('Night Owls').waitFor();
  await page.fill('#scenario-text', [
    'name: invite then promote',
    'steps:',
    '  - atMs: 0',
    '    actAs: {player: 1001, method: POST, path: /v1/clubs/club-1/invites, body: {inviteeSummonerId: 2005}}',
    '  - afterMs: 0',
    '    actAs: {player: 1001, method: POST, path: /v1/clubs/club-1/promote/1004}',
  ].join('\n'));
  await page.click('#scenario-start');
  const run = page.locator('#scenario-list li[data-state="passed"]', { hasText: 'invite then promote' });
  await run.waitFor();
  assert.equal(await run.locator('li.step[data-state="passed"]').count(), 2);
  await page.locator('#invited-members', { hasText: 'Dace' }).waitFor();
  await memberRow('Corvina').locator('td', { hasText: 'OFFICER' }).waitFor();
});

test('a scenario stopped from the page skips its later steps; a bad one shows why', async () => {
  await clubButton('Night Owls').waitFor();
  await page.fill('#scenario-text',
    '{"name":"much later","steps":[{"atMs":3600000,"logout":true}]}');
  await page.click('#scenario-start');
  await page.getByRole('button', { name: 'Stop scenario 1' }).click();
  const stopped = page.locator('#scenario-list li[data-state="stopped"]', { hasText: 'much later' });
  await stopped.locator('li.step[data-state="skipped"]').waitFor();

  await page.fill('#scenario-text', '{"steps":[{"atMs":0,"login":true,"colour":"red"}]}');
  await page.click('#scenario-start');
  await page.locator('#scenario-result.refused',
    { hasText: '400 steps[0].colour: is not a field of a step' }).waitFor();
});
