// The printer application's web interface in a real browser (headless Chromium through
// playwright-core): every page loads, every settings form is submitted as a user would,
// the printer's attributes show the change, and the server answers after each step.
//
// node web_interface_test.mjs BASE_URL PRINTER IPP_URI SCREENSHOT_DIR
// Exit status 0 when all passed, 1 with the failures on standard error.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';

// playwright-core is installed under the build folder, not in the source tree.
const { chromium } = createRequire(`${process.env.PLAYWRIGHT_PREFIX}/package.json`)('playwright-core');

const [base, printer, ippUri, shots] = process.argv.slice(2);
const failures = [];
const check = (ok, what) => {
  if (!ok) failures.push(what);
  console.log(`${ok ? 'ok' : 'FAIL'}: ${what}`);
};

// The server answers a plain request, with a page that has its footer.
async function alive(after) {
  try {
    const response = await fetch(`${base}/`, { headers: { 'Accept-Language': 'de' } });
    const text = await response.text();
    check(response.status === 200 && text.includes('vantel-printer-app'), `server alive after ${after}`);
  } catch (error) {
    check(false, `server alive after ${after} (${error.message})`);
  }
}

// One printer attribute as ipptool prints it.
function attribute(name) {
  const test = `{ OPERATION Get-Printer-Attributes
GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri printer-uri $uri
ATTR keyword requested-attributes ${name}
STATUS successful-ok
DISPLAY ${name} }`;
  const dir = mkdtempSync(`${tmpdir()}/vantel-web-ipp.`);
  writeFileSync(`${dir}/get.test`, test);
  const output = execFileSync('ipptool', ['-t', '-v', ippUri, `${dir}/get.test`]).toString();
  rmSync(dir, { recursive: true });
  const line = output.split('\n').find((l) => l.trim().startsWith(`${name} (`));
  return line ? line.slice(line.indexOf(') = ') + 4).trim() : '';
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
});
try {
  const context = await browser.newContext({ locale: 'en-US', viewport: { width: 1100, height: 900 } });
  const page = await context.newPage();
  const brokenImages = [];
  page.on('response', (response) => {
    if (response.request().resourceType() === 'image' && response.status() >= 400) brokenImages.push(response.url());
  });

  // Every page a user reaches from the navigation.
  const pages = [
    ['home', '/'],
    ['add-printer', '/addprinter'],
    ['printer', `/${printer}/`],
    ['media', `/${printer}/media`],
    ['finishing', `/${printer}/finishing`],
    ['printing', `/${printer}/printing`],
    ['jobs', `/${printer}/jobs`],
    ['supplies', `/${printer}/supplies`],
    ['network', '/network'],
    ['security', '/security'],
    ['logs', '/logs'],
  ];
  const suppliesAdvertised = attribute('printer-supply') !== '';
  for (const [name, path] of pages) {
    const response = await page.goto(base + path);
    const status = response ? response.status() : 0;
    if (name === 'supplies' && !suppliesAdvertised) {
      check(status === 404, `${path}: no supplies page while the printer reports no supplies (${status})`);
    } else {
      check(status === 200, `${path} loads (${status})`);
      const footer = await page.locator('.footer').count();
      check(footer > 0, `${path} has the footer`);
      if (shots) await page.screenshot({ path: `${shots}/${name}.png`, fullPage: true });
    }
    await alive(`GET ${path}`);
  }
  check(brokenImages.length === 0, `no broken image (${brokenImages.join(' ')})`);
  const logo = await page.evaluate(async () => {
    const img = document.querySelector('.header img');
    return img ? img.complete && img.naturalWidth > 0 : false;
  });
  check(logo, 'the header logo is drawn');

  // The printing defaults, in the page's own words, then saved.
  await page.goto(`${base}/${printer}/printing`);
  const body = await page.locator('table.form').innerText();
  for (const words of ['Conversion rule', 'Label finding', 'Darkness', 'Print speed', 'Gray input']) {
    check(body.includes(words), `printing defaults name "${words}"`);
  }
  for (const keyword of ['vantel-print-mode:', 'vantel-label-fit:', '%', 'Print Mode']) {
    check(!body.includes(keyword), `printing defaults show no "${keyword}"`);
  }
  const speeds = await page.locator('select[name="print-speed"] option').allInnerTexts();
  check(speeds.length === 5 && !speeds.some((s) => s.includes('Auto')),
        `speed offers 2 to 6 in/s and no "Auto" (${speeds.join(',')})`);
  const darknessLevels = await page.locator('select[name="print-darkness"] option').allInnerTexts();
  check(darknessLevels.length === 16 && darknessLevels[0] === '0' && darknessLevels[15] === '15',
        `darkness offers the levels 0 to 15 (${darknessLevels.join(',')})`);
  await page.selectOption('select[name="print-darkness"]', '12');
  await page.selectOption('select[name="print-speed"]', '2');
  await page.selectOption('select[name="vantel-print-mode"]', 'fine-dither');
  await page.selectOption('select[name="vantel-label-fit"]', 'whole-page');
  await page.check('input[name="print-color-mode"][value="bi-level"]');
  await Promise.all([page.waitForNavigation(), page.click('input[type="submit"]')]);
  check((await page.locator('.banner').innerText()).includes('Changes saved'), 'printing defaults saved');
  if (shots) await page.screenshot({ path: `${shots}/printing-saved.png`, fullPage: true });
  await alive('POST printing defaults');
  check(attribute('printer-darkness-configured') === '80', 'darkness 12 is printer-darkness-configured 80');
  check(attribute('print-speed-default') === '5080', 'speed 2 in/s is print-speed-default 5080');
  check(attribute('vantel-print-mode-default') === 'fine-dither', 'the conversion rule is saved');
  check(attribute('print-darkness-default') === '0', 'print-darkness-default is returned');
  check(attribute('identify-actions-supported') === 'sound', 'identify-actions-supported is sound');
  check(/media-size=\{x-dimension=1129-10160 y-dimension=1129-101600\}/.test(attribute('media-col-database')),
        'media-col-database has the custom-size range');
  check(attribute('vantel-label-fit-default') === 'whole-page', 'label finding is saved');
  check(attribute('print-color-mode-default') === 'bi-level', 'gray input is saved');
  check(await page.locator('select[name="print-darkness"]').inputValue() === '12', 'the page shows darkness 12');

  // A form sent from another site (no session token) changes nothing.
  const forged = await fetch(`${base}/${printer}/printing`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
    body: 'print-darkness=0&session=forged',
  });
  check((await forged.text()).includes('Invalid form submission'), 'a forged form is refused');
  check(attribute('printer-darkness-configured') === '80', 'a forged form leaves the darkness');
  await alive('a forged form');

  // The media: another loaded label, its gap and an offset.
  await page.goto(`${base}/${printer}/media`);
  await page.selectOption('select[name="ready0-size"]', 'oe_w288h144_4x2in');
  await page.fill('input[name="ready0-left-offset"]', '2.0');
  await Promise.all([page.waitForNavigation(), page.click('input[type="submit"]')]);
  if (shots) await page.screenshot({ path: `${shots}/media-saved.png`, fullPage: true });
  await alive('POST media');
  const ready = attribute('media-col-ready');
  check(ready.includes('media-size-name=oe_w288h144_4x2in') && ready.includes('media-left-offset=200'),
        `the loaded label is 4 x 2 in with a 2 mm offset (${ready})`);

  // Media & Finishing: a cutter every 3 labels, the tear-off position and the fine
  // position below zero, upside down; then a value beyond its range, which the browser
  // would not send, sent anyway: nothing changes.
  await page.goto(`${base}/${printer}/finishing`);
  await page.selectOption('select[name="label-mode-configured"]', 'cutter');
  await page.fill('input[name="label-tear-offset-configured"]', '-150');
  await page.fill('input[name="vantel-cut-interval"]', '3');
  await page.fill('input[name="vantel-print-shift"]', '-5');
  await page.selectOption('select[name="vantel-print-direction"]', 'upside-down');
  await Promise.all([page.waitForNavigation(), page.click('input[type="submit"][value="Save Changes"]')]);
  check((await page.locator('.banner').innerText()).includes('Changes saved'), 'media and finishing saved');
  if (shots) await page.screenshot({ path: `${shots}/finishing-saved.png`, fullPage: true });
  await alive('POST media and finishing');
  check(attribute('label-mode-configured') === 'cutter', 'the label mode is cutter');
  check(attribute('label-tear-offset-configured') === '-150', 'the tear-off position is -150');
  check(attribute('vantel-cut-interval-default') === '3', 'the cut interval is 3');
  check(attribute('vantel-print-shift-default') === '-5', 'the fine position is -5');
  check(attribute('vantel-print-direction-default') === 'upside-down', 'the direction is upside down');
  await page.evaluate(() => {
    const form = document.querySelector('input[name="vantel-print-shift"]').form;
    form.noValidate = true;
    document.querySelector('input[name="vantel-print-shift"]').value = '-99';
  });
  await Promise.all([page.waitForNavigation(), page.click('input[type="submit"][value="Save Changes"]')]);
  check((await page.locator('.banner').innerText()).includes('nothing was changed'), 'a shift of -99 is refused');
  check(attribute('vantel-print-shift-default') === '-5', 'the fine position stays -5');
  check(attribute('label-mode-configured') === 'cutter', 'the label mode stays cutter');
  await alive('a refused media and finishing form');

  // Back to the factory settings through the same form, as a shop would.
  await page.goto(`${base}/${printer}/printing`);
  await page.selectOption('select[name="print-darkness"]', '7');
  await page.selectOption('select[name="print-speed"]', '4');
  await page.selectOption('select[name="vantel-print-mode"]', 'bold-threshold');
  await page.check('input[name="print-color-mode"][value="monochrome"]');
  await Promise.all([page.waitForNavigation(), page.click('input[type="submit"]')]);
  check(attribute('printer-darkness-configured') === '46', 'darkness 7 is printer-darkness-configured 46');
  if (shots) {
    await page.goto(`${base}/${printer}/`);
    await page.screenshot({ path: `${shots}/printer.png`, fullPage: true });
  }
  await alive('the last form');

  // The test label from the printer's page (web_interface_test.sh reads what printed).
  await page.goto(`${base}/${printer}/`);
  await Promise.all([page.waitForNavigation(), page.click('input[type="submit"][value="Print Test Page"]')]);
  check((await page.content()).includes('Test page printed.'), 'the test label is sent');
  await alive('Print Test Page');
} finally {
  await browser.close();
}

if (failures.length) {
  console.error(`${failures.length} failed:\n  ${failures.join('\n  ')}`);
  process.exit(1);
}
