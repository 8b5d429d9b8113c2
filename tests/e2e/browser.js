// browser.js ENV_FILE: the end-to-end browser test. Headless Chromium (Debian's
// /usr/bin/chromium, driven by playwright-core, a fresh profile) signs on
// through the login form as a person would, reads a live value, changes a
// number, a text with "ü" and "ß" and a selection, ticks a macro and sends the
// form; the trial runtime's call log must then hold exactly those writes (the
// text as ISO-8859-1 bytes). Sending the form again unchanged must write
// nothing. A second browser on the same page then changes the set point that
// the first has just changed: its send writes nothing and names the row. Then
// it follows a navigation link to the page that brings itself up to date
// every 5 seconds, and the runtime's values change behind it: they appear in
// place (cells, fields, HTML blocks) without a navigation, the scroll position
// kept; a field being typed in keeps its text, name and focus; sends after
// in-place updates write exactly what was changed; a hidden page makes no
// requests and catches up at once when shown; a browser without fetch, another
// heading, a new stamp after a renumbering and a removed session each make it
// navigate. Then it signs on again and off, and the administration
// interface's work-file page sends it on. Screenshots of the login page, of a
// site page and of a value before and after it changed go to the build tree's
// e2e artifacts folder.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const assert = require('assert');
const { execFileSync } = require('child_process');
const { chromium } = require('playwright-core');

function readEnv(file) {
  const env = {};
  for (const line of fs.readFileSync(file, 'latin1').split('\n')) {
    const m = /^([A-Z0-9_]+)=(.*)$/.exec(line);
    if (m) env[m[1]] = m[2];
  }
  return env;
}

const envFile = process.argv[2];
const env = readEnv(envFile);
Object.assign(env, readEnv(path.join(env.E2E_STATE, 'ports')));
const server = env.BASE_URL + 'TelvarinServer.ccc';
const callLog = path.join(env.E2E_STATE, 'calls.log');

// Calls logged after a byte offset, as Latin-1 strings (one char per byte).
function logSize() { return fs.statSync(callLog).size; }
function callsSince(offset) {
  const bytes = fs.readFileSync(callLog).subarray(offset);
  return bytes.toString('latin1').split('\n').filter((l) => l !== '');
}
function writesSince(offset) {
  return callsSince(offset).filter((l) => /^(setvarbyidx|startmacroidx)\t/.test(l));
}
function readsSince(offset) {
  return callsSince(offset).filter((l) => /^getvar/.test(l));
}

// One XML-RPC call to the trial runtime, string parameters only.
async function runtimeCall(method, ...params) {
  const body = '<?xml version="1.0"?><methodCall><methodName>' + method +
      '</methodName><params>' +
      params.map((p) => '<param><value><string>' + p + '</string></value></param>').join('') +
      '</params></methodCall>';
  const res = await fetch('http://127.0.0.1:' + env.RUNTIME_PORT + '/RPC2', {
    method: 'POST', headers: { 'Content-Type': 'text/xml' }, body,
  });
  return res.text();
}

// A fresh browser (own profile, so own cookies and cache); close() ends it
// and removes its profile folder.
async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'telvarin-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = context.pages()[0] || await context.newPage();
  page.setDefaultTimeout(30000);
  return { profile, context, page };
}

async function close(browser) {
  await browser.context.close();
  fs.rmSync(browser.profile, { recursive: true, force: true });
}

// Signs on through the login form; the start page Wohnen follows.
async function signOn(page) {
  await page.goto(server);
  assert.strictEqual(await page.title(), 'Telvarin-Server Anmeldung');
  await page.fill('input[name="User"]', 'demo');
  await page.fill('input[name="Passw"]', 'telvarin');
  await Promise.all([page.waitForNavigation(), page.click('input[name="Signon"]')]);
  assert.strictEqual(await page.title(), 'Wohnen');
}

// Headless Chromium keeps every page visible (a second page brought to front,
// another tab activated or the window minimised leave document.hidden false,
// and the DevTools protocol has no visibility command), so the page's document
// is told it is hidden or shown, with the event a browser sends. The event
// comes after the evaluation has returned, since it may start a navigation.
function setHidden(page, hidden) {
  return page.evaluate((h) => {
    Object.defineProperty(document, 'hidden', { configurable: true, get: () => h });
    Object.defineProperty(document, 'visibilityState', { configurable: true,
                                                         get: () => (h ? 'hidden' : 'visible') });
    setTimeout(() => document.dispatchEvent(new Event('visibilitychange')), 0);
  }, hidden);
}

// True while the page has not been replaced since markPage.
function markPage(page) { return page.evaluate(() => { window.telvarinMark = 1; }); }
function pageKept(page) { return page.evaluate(() => window.telvarinMark === 1); }

// The row of an object table whose label cell holds the text.
function row(page, label) {
  return page.locator('#TabObj tr', { has: page.locator('td.objcs', { hasText: label }) });
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// Polls test until it gives true, for at most ms; fails naming what it waited for.
async function until(what, ms, test) {
  const end = Date.now() + ms;
  while (!(await test())) {
    if (Date.now() > end) throw new Error('not within ' + ms + ' ms: ' + what);
    await sleep(200);
  }
}

// What an object row shows: the value cell's text and its field's shown
// value, name and focus.
function shown(page, label) {
  return page.evaluate((l) => {
    for (const tr of document.querySelectorAll('#TabObj tr')) {
      if (!tr.cells[0].textContent.includes(l)) continue;
      const field = tr.querySelector('input, select');
      return { cell: tr.cells[1].textContent, value: field.value, name: field.name,
               focused: field === document.activeElement };
    }
    return null;
  }, label);
}

// The text of the HTML block that names the set points.
function setPointsBlock(page) {
  return page.evaluate(() => [...document.querySelectorAll('p')]
    .map((p) => p.textContent).find((t) => t.startsWith('Sollwerte')));
}

// Reads the runtime's project anew from text: the runtime touches its AF
// file, so the next page request compiles the site.
async function reloadProject(text) {
  const project = path.join(env.E2E_STATE, 'project.txt');
  const af = path.join(env.E2E_STATE, 'project.af');
  fs.writeFileSync(project, text, 'latin1');
  const old = new Date(Date.now() - 3600 * 1000);
  fs.utimesSync(af, old, old);
  process.kill(Number(env.RUNTIME_PID), 'SIGHUP');
  await until('the trial runtime reloads', 5000,
              () => fs.statSync(af).mtimeMs > old.getTime() + 1000);
}

// The page "Aussen" brings itself up to date every 5 seconds; the stories of
// a wall panel on it while the runtime's values change. The last one removes
// the session's file.
async function liveStories(page) {
  const tick = 5000;
  let navigations = 0;
  const requests = [];
  page.on('framenavigated', (f) => { if (f === page.mainFrame()) navigations += 1; });
  page.on('request', (r) => requests.push(r));
  const own = server + '?SP=TELVARINSERVER&sitename=Aussen&sid=' +
              await page.inputValue('input[name="sid"]');
  const projectFile = path.join(env.E2E_STATE, 'project.txt');
  const project = fs.readFileSync(projectFile, 'latin1');
  try {
    // What holds the fallback navigation, asked of the page's own script on
    // elements added to its form. One evaluation: no tick can come between.
    const holds = await page.evaluate(() => {
      const form = document.forms.FORM1;
      const add = (html) => {
        form.insertAdjacentHTML('beforeend', html);
        return form.lastElementChild;
      };
      const waits = () => rfWaits() === 1;
      const seen = { fresh: waits() };
      const choice = add('<select size=1><option>Aus</option><option>Ein</option></select>');
      seen.selectionNoneMarked = waits();   // shows its first choice: unchanged
      choice.selectedIndex = 1;
      seen.selectionChanged = waits();
      choice.selectedIndex = 0;
      seen.selectionBack = waits();
      const box = add('<input type=checkbox name=x9 value=ON>');
      box.checked = true;
      seen.ticked = waits();
      box.checked = false;
      const text = form.querySelector('input[type=text]');
      text.value = '30';
      seen.typedNotFocused = waits();
      form.reset();
      seen.afterReset = waits();
      form.querySelector('input[type=reset]').focus();
      seen.resetButtonFocused = waits();
      text.focus();
      seen.fieldFocused = waits();
      text.blur();
      choice.remove();
      box.remove();
      return seen;
    });
    assert.deepStrictEqual(holds, {
      fresh: false, selectionNoneMarked: false, selectionChanged: true, selectionBack: false,
      ticked: true, typedNotFocused: true, afterReset: false, resetButtonFocused: false,
      fieldFocused: true,
    });

    // Values change in the runtime: within two ticks they are in their cells,
    // in the untouched input, selection and text (with the names that carry
    // them) and in the HTML block; no navigation, the scroll position kept,
    // one fetch of the page's own address per tick. The README's pictures are
    // taken before and after.
    await page.setViewportSize({ width: 760, height: 720 });
    const top = await page.locator('#TabObj').boundingBox();
    const bottom = await page.locator('p:has-text("Sollwerte")').boundingBox();
    const clip = { x: 0, y: top.y - 8, width: 760, height: bottom.y + bottom.height + 8 - top.y };
    await page.screenshot({ path: path.join(env.E2E_ARTIFACTS, 'live-before.png'), clip });
    await page.setViewportSize({ width: 760, height: 300 });
    await page.evaluate(() => window.scrollTo(0, 150));
    const scrolled = await page.evaluate(() => window.scrollY);
    assert.ok(scrolled > 0, 'the page does not scroll');
    await markPage(page);
    let navs = navigations;
    let req = requests.length;
    const since = Date.now();
    await runtimeCall('setvarbyname', 'SOLL_WOHNEN=17');
    await runtimeCall('setvarbyname', 'LICHT_FLUR=Ein');
    await runtimeCall('setvarbyname', 'MODUS=Urlaub');
    await runtimeCall('setvarbyname', 'SOLL_KUECHE=19,5');   // the last write: then all are due
    await until('the new values', 2 * tick + 1000,
                async () => (await setPointsBlock(page)).includes('K\u00fcche 19,5 \u00b0C'));
    assert.deepStrictEqual(await shown(page, 'Solltemperatur'),
                           { cell: '17', value: '17', name: 'N10q17', focused: false });
    assert.deepStrictEqual(await shown(page, 'Licht Flur'),
                           { cell: 'Ein', value: 'Ein', name: 'U3qEin', focused: false });
    const mode = await shown(page, 'Betriebsart');
    assert.deepStrictEqual([mode.cell, mode.value], ['Urlaub', 'Urlaub']);
    assert.match(await setPointsBlock(page), /^Sollwerte: Wohnzimmer 17 \u00b0C/);
    assert.ok(await pageKept(page), 'the page was replaced');
    assert.strictEqual(navigations, navs);
    assert.strictEqual(await page.evaluate(() => window.scrollY), scrolled);
    const fetched = requests.slice(req)
      .map((r) => r.resourceType() + ' ' + r.method() + ' ' + r.url());
    assert.ok(fetched.length <= Math.floor((Date.now() - since) / tick) + 1, fetched.join('\n'));
    for (const f of fetched) assert.strictEqual(f, 'fetch GET ' + own);
    await page.setViewportSize({ width: 760, height: 720 });
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: path.join(env.E2E_ARTIFACTS, 'live-after.png'), clip });

    // A set point being typed keeps its text, its name and the focus while its
    // own value cell, the selection below it and the block go on changing.
    const typed = row(page, 'Solltemperatur').locator('input[type=text]');
    await typed.fill('23,5');
    await runtimeCall('setvarbyname', 'LICHT_FLUR=Aus');
    await runtimeCall('setvarbyname', 'SOLL_WOHNEN=18');
    await until('the set point\'s cell', 2 * tick + 1000,
                async () => (await shown(page, 'Solltemperatur')).cell === '18');
    assert.deepStrictEqual(await shown(page, 'Solltemperatur'),
                           { cell: '18', value: '23,5', name: 'N10q17', focused: true });
    assert.deepStrictEqual(await shown(page, 'Licht Flur'),
                           { cell: 'Aus', value: 'Aus', name: 'U3qAus', focused: false });
    assert.match(await setPointsBlock(page), /^Sollwerte: Wohnzimmer 18 \u00b0C/);
    assert.ok(await pageKept(page), 'the page was replaced while typing');
    assert.strictEqual(navigations, navs);

    // Sent: the runtime changed the set point since the reader saw it (17), so
    // nothing is written and the row is named; the notice is not part of the
    // page at its own address, so the next tick navigates, as the reload did.
    let offset = logSize();
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.deepStrictEqual(writesSince(offset), []);
    assert.strictEqual(await page.textContent('p.objcs'),
                       'Nicht \u00fcbernommen (inzwischen ge\u00e4ndert): ' +
                       'Solltemperatur Wohnzimmer (\u00b0C)');
    await page.waitForNavigation({ timeout: tick + 3000 });
    assert.strictEqual(await page.locator('p.objcs').count(), 0);

    // After in-place updates, the form sent unchanged writes nothing and
    // refuses nothing; with one field changed it writes exactly that field.
    await markPage(page);
    await runtimeCall('setvarbyname', 'LICHT_FLUR=Ein');
    await runtimeCall('setvarbyname', 'MODUS=Abend');
    await runtimeCall('setvarbyname', 'SOLL_WOHNEN=19');
    await until('the set point', 2 * tick + 1000,
                async () => (await shown(page, 'Solltemperatur')).value === '19');
    assert.strictEqual((await shown(page, 'Betriebsart')).value, 'Abend');
    assert.ok(await pageKept(page), 'the page was replaced');
    offset = logSize();
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.deepStrictEqual(writesSince(offset), []);
    assert.strictEqual(await page.locator('p.objcs').count(), 0);
    await runtimeCall('setvarbyname', 'MODUS=Nacht');
    await until('the mode', 2 * tick + 1000,
                async () => (await shown(page, 'Betriebsart')).value === 'Nacht');
    await typed.fill('20,5');
    offset = logSize();
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.deepStrictEqual(writesSince(offset), ['setvarbyidx\t10=20,5']);
    assert.strictEqual(await page.locator('p.objcs').count(), 0);

    // Hidden over two ticks: no request, no read. Shown half a tick after the
    // second: the value changed meanwhile comes at once, in place.
    await page.waitForResponse((r) => r.request().resourceType() === 'fetch',
                               { timeout: tick + 3000 });
    await markPage(page);
    navs = navigations;
    await setHidden(page, true);
    await runtimeCall('setvarbyname', 'SOLL_WOHNEN=16');
    offset = logSize();
    req = requests.length;
    await sleep(2 * tick + 500);
    assert.deepStrictEqual(callsSince(offset), []);
    assert.strictEqual(requests.length, req);
    await setHidden(page, false);
    await until('the value at once when shown', 3000,
                async () => (await shown(page, 'Solltemperatur')).cell === '16');
    assert.ok(await pageKept(page), 'the page was replaced');
    assert.strictEqual(navigations, navs);

    // A browser without fetch navigates at each tick, as before.
    await page.evaluate(() => { window.fetch = undefined; });
    await page.waitForNavigation({ timeout: tick + 3000 });

    // The page file gets another heading (no compile: the same stamp): the
    // next tick finds another page and navigates to it.
    const pageFile = path.join(env.E2E_SITE_DIR, 'TELVARINSERVER_Aussen.SHT');
    fs.writeFileSync(pageFile, fs.readFileSync(pageFile, 'latin1')
      .replace('SHEAD=Au&szlig;en', 'SHEAD=Drau&szlig;en'), 'latin1');
    await page.waitForNavigation({ timeout: tick + 3000 });
    assert.strictEqual(await page.textContent('h1'), 'Drau\u00dfen');

    // The project is renumbered (a light on another page moves from index 4
    // to 9): the next fetch compiles the site and finds the same rows with
    // another stamp, and the page navigates, once; then it updates in place.
    navs = navigations;
    const stamp = await page.getAttribute('form', 'action');
    await reloadProject(project.replace('VAR 4 LICHT_BAD', 'VAR 9 LICHT_BAD'));
    await page.waitForNavigation({ timeout: tick + 3000 });
    assert.notStrictEqual(await page.getAttribute('form', 'action'), stamp);
    await markPage(page);
    await runtimeCall('setvarbyname', 'SOLL_WOHNEN=15');
    await until('the set point after the renumbering', 2 * tick + 1000,
                async () => (await shown(page, 'Solltemperatur')).value === '15');
    assert.ok(await pageKept(page), 'the page was replaced after the renumbering');
    assert.strictEqual(navigations, navs + 1);

    // The session's file is removed: the next fetch gets the login page, and
    // the page goes there.
    for (const f of fs.readdirSync(env.E2E_SITE_DIR)) {
      if (f.endsWith('.SID')) fs.rmSync(path.join(env.E2E_SITE_DIR, f));
    }
    await page.waitForNavigation({ timeout: tick + 3000 });
    assert.strictEqual(await page.title(), 'Telvarin-Server Anmeldung');
  } finally {
    fs.writeFileSync(projectFile, project, 'latin1');   // the next test's runtime reads it
  }
}

async function main() {
  execFileSync('bash', [path.join(env.E2E_SOURCE, 'tests/e2e/prepare.sh'), envFile],
               { stdio: 'inherit' });
  fs.mkdirSync(env.E2E_ARTIFACTS, { recursive: true });
  const first = await launch();
  let second = null;
  try {
    const page = first.page;

    // Sign on through the login form.
    await page.goto(server);
    assert.strictEqual(await page.title(), 'Telvarin-Server Anmeldung');
    await page.screenshot({ path: path.join(env.E2E_ARTIFACTS, 'login.png'), fullPage: true });
    await signOn(page);
    assert.strictEqual(await page.textContent('h1'), 'Wohnzimmer');

    // A live value: set in the runtime behind the page's back, then shown.
    await runtimeCall('setvarbyname', 'SOLL_WOHNEN=19,5');
    await page.reload();
    const setPoint = row(page, 'Solltemperatur');
    assert.strictEqual((await setPoint.locator('td.valcs').first().textContent()).trim(), '19,5');
    assert.strictEqual(await setPoint.locator('input[type=text]').inputValue(), '19,5');
    const outside = (await row(page, 'Au\u00dfentemperatur').locator('td.valcs').first().textContent()).trim();
    assert.match(outside, /^-?\d+(,\d+)?$/, 'outside temperature shown: ' + outside);

    // Change a number, a text with umlauts, a selection; tick a macro; send.
    await setPoint.locator('input[type=text]').fill('22,5');
    await row(page, 'Betriebsart').locator('input[type=text]').fill('Gr\u00fc\u00dfe aus S\u00fcd');
    await row(page, 'Licht Wohnzimmer').locator('select').selectOption('Ein');
    await page.check('#TabMacro input[name="x2"]');
    let offset = logSize();
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.strictEqual(await page.title(), 'Wohnen');
    assert.deepStrictEqual(writesSince(offset), [
      'setvarbyidx\t1="Ein"',
      'setvarbyidx\t10=22,5',
      'setvarbyidx\t20="Gr\u00fc\u00dfe aus S\u00fcd"',   // Latin-1 bytes 0xFC 0xDF 0xFC
      'startmacroidx\t2',
    ]);
    // The page shows the new values.
    assert.strictEqual(await setPoint.locator('input[type=text]').inputValue(), '22,5');
    assert.strictEqual(await row(page, 'Betriebsart').locator('input[type=text]').inputValue(),
                       'Gr\u00fc\u00dfe aus S\u00fcd');
    assert.strictEqual(await row(page, 'Licht Wohnzimmer').locator('select').inputValue(), 'Ein');
    assert.strictEqual(await page.isChecked('#TabMacro input[name="x2"]'), false);

    // The same form again, unchanged: nothing is written.
    offset = logSize();
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.strictEqual(await page.title(), 'Wohnen');
    assert.deepStrictEqual(writesSince(offset), []);

    // Two people on the same page change the same set point: the first send is
    // written; the second is refused with the notice and shows the new value.
    second = await launch();
    await signOn(second.page);
    await setPoint.locator('input[type=text]').fill('23');
    const otherSetPoint = row(second.page, 'Solltemperatur');
    await otherSetPoint.locator('input[type=text]').fill('24');
    offset = logSize();
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.deepStrictEqual(writesSince(offset), ['setvarbyidx\t10=23']);
    offset = logSize();
    await Promise.all([second.page.waitForNavigation(),
                       second.page.click('input[name="OKButton"]')]);
    assert.deepStrictEqual(writesSince(offset), []);
    assert.strictEqual(await second.page.textContent('p.objcs'),
                       'Nicht \u00fcbernommen (inzwischen ge\u00e4ndert): Solltemperatur (\u00b0C)');
    assert.strictEqual(await otherSetPoint.locator('input[type=text]').inputValue(), '23');
    await close(second);
    second = null;

    // Follow a navigation link (top navigation) to the page that keeps itself
    // up to date; its stories end with the session's file removed.
    await Promise.all([page.waitForNavigation(),
                       page.click('p.navics >> nth=0 >> a:has-text("Au\u00dfen")')]);
    assert.strictEqual(await page.title(), 'Aussen');
    assert.strictEqual(await page.textContent('h1'), 'Au\u00dfen');
    await page.screenshot({ path: path.join(env.E2E_ARTIFACTS, 'page.png'), fullPage: true });
    await liveStories(page);

    // Sign off; the session's links lead to the login page afterwards.
    await signOn(page);
    const kitchen = await page.getAttribute('p.navics >> nth=0 >> a:has-text("K\u00fcche")', 'href');
    await Promise.all([page.waitForNavigation(),
                       page.click('p.navics >> nth=0 >> a:has-text("Abmelden")')]);
    assert.match(await page.textContent('body'), /Abmeldung durchgef\u00fchrt/);
    await page.goto(new URL(kitchen, server).href);
    assert.strictEqual(await page.title(), 'Telvarin-Server Anmeldung');

    // The administration interface's work-file page: its one script runs under
    // the page's policy (allowed by its hash) and sends the browser on; quotes
    // in the directory stay inside the script's strings.
    let dialogs = 0;
    page.on('dialog', (d) => { dialogs += 1; d.dismiss(); });
    await page.goto(env.BASE_URL + "TelvarinInterface.ccc?WORKFILES&del&/a'+alert(1)+'/x.txt");
    await page.waitForURL(/servmain\.ccc\?HTM=Workfiles\.cls&path=/);
    assert.match(decodeURIComponent(page.url()), /path=\/a'\+alert\(1\)\+'$/);
    assert.strictEqual(dialogs, 0);
  } finally {
    if (second) await close(second);
    await close(first);
  }
  console.log('browser test passed; screenshots in ' + env.E2E_ARTIFACTS);
}

main().catch((err) => {
  console.error(err);
  process.exit(1);
});
