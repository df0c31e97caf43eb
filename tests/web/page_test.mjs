// The show's web page in headless Chromium: the page is served from
// localhost, loaded, and judged by screenshots of what it shows.
//   node page_test.mjs WEB_DIR OUT_DIR
// When Chromium or playwright-core is missing: one line naming it, then
// status 77 (skipped), or 1 (failed) under CI (CI=true).
import { createServer } from "node:http";
import { existsSync, mkdirSync, readFileSync, statSync, writeFileSync } from "node:fs";
import { extname, join, normalize } from "node:path";
import { decodePng } from "./png.mjs";

const [webDir, outDir] = process.argv.slice(2);
const chromium = process.env.CHROMIUM || "/usr/bin/chromium";
function missing(what) {
  console.log(`missing: ${what}`);
  process.exit(process.env.CI === "true" ? 1 : 77);
}
if (!existsSync(chromium)) missing(`Chromium at ${chromium} (tools/dev.sh test installs it)`);
let playwright;
try {
  playwright = await import("playwright-core");
} catch {
  missing("playwright-core (npm ci --prefix tests/web)");
}
mkdirSync(outDir, { recursive: true });

// ---- A static server for the page, on a free loopback port.
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };
const server = createServer((request, response) => {
  const path = normalize(decodeURIComponent(new URL(request.url, "http://x").pathname)).replace(/^(\.\.[/\\])+/, "");
  const file = join(webDir, path === "/" ? "index.html" : path);
  if (!existsSync(file) || !statSync(file).isFile()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { "Content-Type": types[extname(file)] || "application/octet-stream" });
  response.end(readFileSync(file));
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const origin = `http://127.0.0.1:${server.address().port}`;

// ---- Checks.
let failures = 0;
function check(ok, what) {
  console.log(`${ok ? "ok" : "FAILED"}: ${what}`);
  if (!ok) ++failures;
}

// Screen point of the 1024 x 768 show to page point, through the canvas's box.
const toPage = (box, x, y) => ({ x: box.x + ((x + 0.5) * box.width) / 1024, y: box.y + ((y + 0.5) * box.height) / 768 });

// Pixels of a screenshot inside a rectangle of show coordinates that pass a test.
function countPixels(shot, box, rect, test) {
  const a = toPage(box, rect.left, rect.top), b = toPage(box, rect.right, rect.bottom);
  let n = 0;
  for (let y = Math.round(a.y); y < Math.round(b.y); ++y) {
    for (let x = Math.round(a.x); x < Math.round(b.x); ++x) {
      const i = (y * shot.width + x) * 4;
      if (test(shot.rgba[i], shot.rgba[i + 1], shot.rgba[i + 2])) ++n;
    }
  }
  return n;
}
// The strip's pale cyan (0x62F8F8), also where scaling blends it with the
// black behind the text: the same proportions, less bright.
const textColour = (r, g, b) => g >= 100 && Math.abs(b - g) <= g / 12 + 4 && Math.abs(r - (g * 0x62) / 0xf8) <= g / 12 + 6;
const lit = (r, g, b) => r + g + b > 150;

const stats = (page) => page.evaluate(() => (window.Module && Module.showStats) || { frames: 0 });
async function waitForFrames(page, frames, timeoutMs) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const s = await stats(page);
    if (s.frames >= frames || Date.now() > end) return s;
    await page.waitForTimeout(50);
  }
}
async function screenshot(page, name) {
  const png = await page.screenshot();
  writeFileSync(join(outDir, name), png);
  return decodePng(png);
}

const browser = await playwright.chromium.launch({
  executablePath: chromium,
  headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync"],
});
try {
  // A wide page: the 4:3 picture sits in the middle with bars either side.
  const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
  const messages = [];
  page.on("console", (m) => messages.push(m.text()));
  page.on("pageerror", (e) => messages.push(`page error: ${e.message}`));

  await page.goto(`${origin}/?seed=7`);
  const first = await waitForFrames(page, 1, 10000);
  check(first.frames >= 1, `the first frame comes, at ${first.firstFrameAt?.toFixed(0)} ms after the page was asked for`);
  const filter = await page.evaluate(() => Module.trailFilter);
  check(filter === "sse2", `the page runs the trail filter's SIMD pass (${filter})`);
  const box = await page.locator("#screen").boundingBox();
  check(Math.abs(box.width / box.height - 4 / 3) < 0.01 && Math.abs(box.height - 720) < 1 &&
        Math.abs(box.x - 160) < 1, `the picture fills the page's height at 4:3 (${box.width} x ${box.height} at ${box.x})`);

  await waitForFrames(page, 15, 5000);
  let shot = await screenshot(page, "web-start.png");
  const banner = countPixels(shot, box, { left: 1, top: 5, right: 177, bottom: 21 }, textColour);
  check(banner > 200, `the banner in the strip, in its colour (${banner} pixels)`);
  const centre = countPixels(shot, box, { left: 412, top: 308, right: 612, bottom: 508 }, lit);
  check(centre > 500, `the grand burst at the centre (${centre} lit pixels)`);

  // Whether the page's last key press was taken from the browser.
  await page.evaluate(() => addEventListener("keydown", (e) => { window.lastKeyTaken = e.defaultPrevented; }));
  const lastKeyTaken = () => page.evaluate(() => window.lastKeyTaken);

  // H: the status line, a second later, reaches far past the banner.
  await page.keyboard.press("h");
  check(await lastKeyTaken(), "the show takes its keys from the browser");
  await page.waitForTimeout(1600);
  shot = await screenshot(page, "web-status.png");
  const status = countPixels(shot, box, { left: 300, top: 5, right: 700, bottom: 21 }, textColour);
  check(status > 300, `the status line after H (${status} pixels of text beyond the banner)`);

  // R stops the emitters and empties the pool; once the picture has faded,
  // clicks alone light it: a fan burst left, a scatter burst right.
  const framesAtReset = (await stats(page)).frames;
  await page.keyboard.press("r");
  await waitForFrames(page, framesAtReset + 45, 15000);
  const left = { left: 156, top: 460, right: 356, bottom: 660 };
  const right = { left: 668, top: 460, right: 868, bottom: 660 };
  shot = await screenshot(page, "web-before-clicks.png");
  const before = [countPixels(shot, box, left, lit), countPixels(shot, box, right, lit)];
  let at = toPage(box, 256, 560);
  await page.mouse.click(at.x, at.y);
  at = toPage(box, 768, 560);
  await page.mouse.click(at.x, at.y, { button: "right" });
  await page.waitForTimeout(400);
  shot = await screenshot(page, "web-clicks.png");
  const after = [countPixels(shot, box, left, lit), countPixels(shot, box, right, lit)];
  check(after[0] > 400 && after[0] > 4 * before[0], `a burst at the left click (${before[0]} -> ${after[0]} lit pixels)`);
  check(after[1] > 400 && after[1] > 4 * before[1], `a burst at the right click (${before[1]} -> ${after[1]} lit pixels)`);
  const away = countPixels(shot, box, { left: 412, top: 100, right: 612, bottom: 300 }, lit);
  check(away < after[0] / 4, `nothing much away from the clicks (${away} lit pixels)`);

  // Esc: the show ends, and the last picture stays.
  await page.keyboard.press("Escape");
  await page.waitForTimeout(300);
  const ended = await stats(page);
  await page.waitForTimeout(300);
  const later = await stats(page);
  check(ended.ended && later.frames === ended.frames, `Esc ends the show (${ended.frames} frames, then no more)`);
  await page.keyboard.press("h");
  check(!(await lastKeyTaken()), "after Esc the browser has its keys back");
  shot = await screenshot(page, "web-ended.png");
  check(countPixels(shot, box, left, lit) > 100, "the last picture stays after Esc");
  check(messages.length === 0, `nothing in the console (${JSON.stringify(messages)})`);

  const step = ended.stepMs / ended.frames;
  // ---- A seed that is no number: one message, and the show runs on the clock.
  const bad = await browser.newPage({ viewport: { width: 800, height: 600 } });
  const badMessages = [];
  bad.on("console", (m) => badMessages.push(m.text()));
  await bad.goto(`${origin}/?seed=abc`);
  const badStats = await waitForFrames(bad, 5, 10000);
  await bad.waitForTimeout(200);
  check(badStats.frames >= 5, "?seed=abc: the show runs");
  check(badMessages.length === 1 && /seed/.test(badMessages[0]), `?seed=abc: one console message (${JSON.stringify(badMessages)})`);
  await bad.close();  // its show would share the processor with the next page's

  // ---- A browser without WebAssembly SIMD: the page loads the plain build,
  // which shows the same start.
  const plain = await browser.newPage({ viewport: { width: 1280, height: 720 } });
  const plainMessages = [], loaded = [];
  plain.on("console", (m) => plainMessages.push(m.text()));
  plain.on("pageerror", (e) => plainMessages.push(`page error: ${e.message}`));
  plain.on("request", (r) => loaded.push(new URL(r.url()).pathname));
  await plain.addInitScript(() => { WebAssembly.validate = () => false; });
  await plain.goto(`${origin}/?seed=7`);
  await waitForFrames(plain, 15, 10000);
  shot = await screenshot(plain, "web-plain-start.png");
  const plainCentre = countPixels(shot, box, { left: 412, top: 308, right: 612, bottom: 508 }, lit);
  const plainFilter = await plain.evaluate(() => Module.trailFilter);
  check(loaded.includes("/starvane-plain.wasm") && !loaded.includes("/starvane.wasm") && plainFilter === "portable",
        `without SIMD the page loads the plain build (${loaded.filter((p) => p.endsWith(".wasm"))}, ${plainFilter})`);
  check(plainCentre > 500, `without SIMD: the grand burst at the centre (${plainCentre} lit pixels)`);
  const plainStats = await waitForFrames(plain, 120, 10000);
  check(plainMessages.length === 0, `without SIMD: nothing in the console (${JSON.stringify(plainMessages)})`);

  const wasm = statSync(join(webDir, "starvane.wasm")).size;
  const plainWasm = statSync(join(webDir, "starvane-plain.wasm")).size;
  const figures = `wasm ${wasm} bytes; first frame at ${first.firstFrameAt.toFixed(0)} ms; ` +
    `frame step ${step.toFixed(2)} ms on average over ${ended.frames} frames; ` +
    `plain: wasm ${plainWasm} bytes, frame step ${(plainStats.stepMs / plainStats.frames).toFixed(2)} ms ` +
    `over ${plainStats.frames} frames`;
  console.log(`figures: ${figures}`);
  writeFileSync(join(outDir, "figures.txt"), figures + "\n");
} finally {
  await browser.close();
  server.close();
}
console.log(`${failures === 0 ? "passed" : "failed"}`);
process.exit(failures === 0 ? 0 : 1);
