// The browser's running repaint: node bench.mjs URL (the site's root). Prints the page's
// figures as JSON; timings are for reading, never asserted.
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const url = process.argv[2] || "http://127.0.0.1:8000/";
const userData = fs.mkdtempSync(path.join(os.tmpdir(), "vorla-chromium-"));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  userDataDir: userData,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
try {
  const page = await browser.newPage();
  await page.goto(new URL("bench.html", url).href, { waitUntil: "load" });
  await page.waitForFunction(() => globalThis.vorlaBenchResult || globalThis.vorlaEnded?.error,
                             { timeout: 600000, polling: 200 });
  const result = await page.evaluate(() => globalThis.vorlaBenchResult || globalThis.vorlaEnded);
  result.browser = await browser.version();
  console.log(JSON.stringify(result, null, 1));
} finally {
  await browser.close();
  fs.rmSync(userData, { recursive: true, force: true });
}
