// The baselines of bench_chromium, on the same page and the same browser
// binary: (a) Playwright filling each of the page's text inputs with its own
// locator.fill(), (b) one page.evaluate that sets every value and raises
// input and change. Prints "playwright-fill MS" and "one-evaluate MS" (the
// median of the runs) on standard output.
//
//   node baselines.mjs URL RUNS
import { chromium } from 'playwright-core';

const [url, runsText] = process.argv.slice(2);
const runs = Number(runsText || 5);
const browser = await chromium.launch({
  executablePath: '/usr/lib/chromium/chromium',
  headless: true,
  args: ['--disable-dev-shm-usage', ...(process.getuid() === 0 ? ['--no-sandbox'] : [])],
});
const median = xs => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];
try {
  const page = await browser.newPage();
  const fills = [], evaluates = [];
  for (let run = 0; run < runs; run++) {
    await page.goto(url);
    const inputs = page.locator('input[type=text]');
    const count = await inputs.count();
    let started = performance.now();
    for (let i = 0; i < count; i++) await inputs.nth(i).fill('value ' + run + ' ' + i);
    fills.push(performance.now() - started);

    await page.goto(url);
    started = performance.now();
    await page.evaluate(run => {
      const inputs = document.querySelectorAll('input[type=text]');
      inputs.forEach((input, i) => {
        input.value = 'value ' + run + ' ' + i;
        input.dispatchEvent(new Event('input', {bubbles: true}));
        input.dispatchEvent(new Event('change', {bubbles: true}));
      });
    }, run);
    evaluates.push(performance.now() - started);
  }
  console.log('playwright-fill ' + median(fills).toFixed(3));
  console.log('one-evaluate ' + median(evaluates).toFixed(3));
} finally {
  await browser.close();
}
