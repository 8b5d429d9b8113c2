// browser.js ENV_FILE: the end-to-end browser test. Headless Chromium (Debian's
// /usr/bin/chromium, driven by playwright-core, a fresh profile) signs on
// through the login form as a person would, reads a live value, changes a
// number, a text with "ü" and "ß" and a selection, ticks a macro and sends the
// form; the trial runtime's call log must then hold exactly those writes (the
// text as ISO-8859-1 bytes). Sending the form again unchanged must write
// nothing. Then it follows a navigation link to the page that reloads itself
// every 5 seconds: the reload goes on while nobody uses the page, waits while
// a set point is being typed (no page reads in the call log, the text stays)
// and while the page is hidden, resumes once the form is sent, and comes at
// once when the page is shown again. Then it signs off, and the administration
// interface's work-file page sends it on. Screenshots of the
// login page and of a site page go to the build tree's e2e artifacts folder.
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

async function main() {
  execFileSync('bash', [path.join(env.E2E_SOURCE, 'tests/e2e/prepare.sh'), envFile],
               { stdio: 'inherit' });
  fs.mkdirSync(env.E2E_ARTIFACTS, { recursive: true });
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'telvarin-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = context.pages()[0] || await context.newPage();
    page.setDefaultTimeout(30000);

    // Sign on through the login form.
    await page.goto(server);
    assert.strictEqual(await page.title(), 'Telvarin-Server Anmeldung');
    await page.screenshot({ path: path.join(env.E2E_ARTIFACTS, 'login.png'), fullPage: true });
    await page.fill('input[name="User"]', 'demo');
    await page.fill('input[name="Passw"]', 'telvarin');
    await Promise.all([page.waitForNavigation(), page.click('input[name="Signon"]')]);
    assert.strictEqual(await page.title(), 'Wohnen');
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

    // Follow a navigation link (top navigation) to the page with auto refresh.
    await Promise.all([page.waitForNavigation(),
                       page.click('p.navics >> nth=0 >> a:has-text("Au\u00dfen")')]);
    assert.strictEqual(await page.title(), 'Aussen');
    assert.strictEqual(await page.textContent('h1'), 'Au\u00dfen');
    await page.screenshot({ path: path.join(env.E2E_ARTIFACTS, 'page.png'), fullPage: true });

    // Nobody uses the page: it reloads within its 5 seconds and reads the runtime.
    const reload = (ms) => page.waitForNavigation({ timeout: ms });
    offset = logSize();
    await reload(8000);
    assert.notDeepStrictEqual(readsSince(offset), []);

    // What holds the reload, asked of the page's own script on elements added
    // to its form. One evaluation: no tick can come between the steps.
    const holds = await page.evaluate(() => {
      const form = document.forms.FORM1;
      const add = (html) => {
        form.insertAdjacentHTML('beforeend', html);
        return form.lastElementChild;
      };
      const seen = { fresh: refreshWaits() };
      const choice = add('<select size=1><option>Aus</option><option>Ein</option></select>');
      seen.selectionNoneMarked = refreshWaits();   // shows its first choice: unchanged
      choice.selectedIndex = 1;
      seen.selectionChanged = refreshWaits();
      choice.selectedIndex = 0;
      seen.selectionBack = refreshWaits();
      const tick = add('<input type=checkbox name=x9 value=ON>');
      tick.checked = true;
      seen.ticked = refreshWaits();
      tick.checked = false;
      const text = form.querySelector('input[type=text]');
      text.value = '30';
      seen.typedNotFocused = refreshWaits();
      form.reset();
      seen.afterReset = refreshWaits();
      form.querySelector('input[type=reset]').focus();
      seen.resetButtonFocused = refreshWaits();
      text.focus();
      seen.fieldFocused = refreshWaits();
      text.blur();
      choice.remove();
      tick.remove();
      return seen;
    });
    assert.deepStrictEqual(holds, {
      fresh: false, selectionNoneMarked: false, selectionChanged: true, selectionBack: false,
      ticked: true, typedNotFocused: true, afterReset: false, resetButtonFocused: false,
      fieldFocused: true,
    });

    // A set point being typed: 12 seconds without a reload or a page read.
    const typed = row(page, 'Solltemperatur').locator('input[type=text]');
    await markPage(page);
    offset = logSize();
    await typed.fill('23,5');
    await page.waitForTimeout(12000);
    assert.ok(await pageKept(page), 'the page was reloaded while typing');
    assert.strictEqual(await typed.inputValue(), '23,5');
    assert.deepStrictEqual(callsSince(offset), []);

    // Sent: the value is written, and the reload goes on.
    await Promise.all([page.waitForNavigation(), page.click('input[name="OKButton"]')]);
    assert.deepStrictEqual(writesSince(offset), ['setvarbyidx\t10=23,5']);
    assert.strictEqual(await typed.inputValue(), '23,5');
    offset = logSize();
    await reload(8000);
    assert.notDeepStrictEqual(readsSince(offset), []);

    // Hidden over two ticks: no reload, no read. Shown half an interval after
    // the second tick: the reload comes at once, well before the third.
    await markPage(page);
    await setHidden(page, true);
    offset = logSize();
    await page.waitForTimeout(10500);
    assert.ok(await pageKept(page), 'the page was reloaded while hidden');
    assert.deepStrictEqual(callsSince(offset), []);
    await Promise.all([reload(3000), setHidden(page, false)]);
    assert.notDeepStrictEqual(readsSince(offset), []);

    // The focus in the set point holds the reload while the test signs off.
    await typed.focus();

    // Sign off; the session's links lead to the login page afterwards.
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
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log('browser test passed; screenshots in ' + env.E2E_ARTIFACTS);
}

main().catch((err) => {
  console.error(err);
  process.exit(1);
});
