// The browser program end to end, in headless Chromium: node tour.mjs URL REFERENCE_PNG OUTDIR
// REFERENCE_PNG is the first frame that vorla-replay draws on Linux; OUTDIR gets screenshots.
// Every wait polls for a condition with a generous timeout: nothing here depends on how fast
// the machine runs.
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const [url, referencePng, outDir] = process.argv.slice(2);
if (!url || !referencePng || !outDir) {
  console.error("usage: node tour.mjs URL REFERENCE_PNG OUTDIR");
  process.exit(2);
}
fs.mkdirSync(outDir, { recursive: true });

const LONG = 120000; // ms: a slow machine under load still gets there
let passed = 0;
let failed = 0;
function check(name, ok, detail = "") {
  if (ok) {
    passed++;
    console.log(`ok      ${name}`);
  } else {
    failed++;
    console.log(`FAILED  ${name}${detail ? ": " + detail : ""}`);
  }
}

// 24-bit bottom-up BMP from a function (x, y) -> [r, g, b].
function bmp(width, height, colour) {
  const stride = Math.ceil((width * 3) / 4) * 4;
  const data = Buffer.alloc(54 + stride * height);
  data.write("BM", 0, "latin1");
  data.writeUInt32LE(data.length, 2);
  data.writeUInt32LE(54, 10);
  data.writeUInt32LE(40, 14);
  data.writeInt32LE(width, 18);
  data.writeInt32LE(height, 22);
  data.writeUInt16LE(1, 26);
  data.writeUInt16LE(24, 28);
  data.writeUInt32LE(stride * height, 34);
  for (let y = 0; y < height; y++) {
    const row = 54 + (height - 1 - y) * stride;
    for (let x = 0; x < width; x++) {
      const [r, g, b] = colour(x, y);
      data[row + 3 * x] = b;
      data[row + 3 * x + 1] = g;
      data[row + 3 * x + 2] = r;
    }
  }
  return data;
}

// 8-bit RLE BMP (compression 1) of the same kind, palette white, black, yellow; the colour
// function gives palette indices. stb_image does not read these: the browser decodes them.
function rle8(width, height, index) {
  const runs = [];
  for (let y = height - 1; y >= 0; y--) {
    let x = 0;
    while (x < width) {
      const i = index(x, y);
      let n = 1;
      while (x + n < width && n < 255 && index(x + n, y) === i) n++;
      runs.push(n, i);
      x += n;
    }
    runs.push(0, 0); // end of line
  }
  runs.push(0, 1); // end of bitmap
  const pixels = Buffer.from(runs);
  const data = Buffer.alloc(54 + 12 + pixels.length);
  data.write("BM", 0, "latin1");
  data.writeUInt32LE(data.length, 2);
  data.writeUInt32LE(54 + 12, 10);
  data.writeUInt32LE(40, 14);
  data.writeInt32LE(width, 18);
  data.writeInt32LE(height, 22);
  data.writeUInt16LE(1, 26);
  data.writeUInt16LE(8, 28);
  data.writeUInt32LE(1, 30);
  data.writeUInt32LE(pixels.length, 34);
  data.writeUInt32LE(3, 46);
  Buffer.from([255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 0]).copy(data, 54); // B, G, R, 0
  pixels.copy(data, 66);
  return data;
}

const userData = fs.mkdtempSync(path.join(os.tmpdir(), "vorla-chromium-"));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  userDataDir: userData,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});

async function poll(page, what, condition, timeout = LONG) {
  const start = Date.now();
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() - start > timeout) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

// Records, in the page, every presentation of the program's canvas: whether it touched the
// field window, and the field's pixels after the first one since the last arm().
async function instrument(page) {
  await page.evaluate(() => {
    const present = vorlaPage.present;
    globalThis.tour = { fieldFrames: 0, panelFrames: 0, armed: false, captured: null };
    vorlaPage.present = function (id, image, x, y, width, height) {
      present.call(this, id, image, x, y, width, height);
      if (y + height > 146 && y < 722) {
        tour.fieldFrames++;
        if (tour.armed) {
          tour.armed = false;
          const canvas = document.querySelector("#desktop canvas");
          tour.captured = Array.from(canvas.getContext("2d").getImageData(128, 146, 768, 576).data);
        }
      } else {
        tour.panelFrames++;
      }
    };
  });
}

const pixelsOf = (page, x, y, w, h) => page.evaluate((x, y, w, h) => {
  const canvas = document.querySelector("#desktop canvas");
  if (!canvas) return null;
  return Array.from(canvas.getContext("2d").getImageData(x, y, w, h).data);
}, x, y, w, h);

// Cells of an RGBA block that are neither white nor black: pressure shown in colour.
function coloured(rgba) {
  let n = 0;
  for (let i = 0; i < rgba.length; i += 4) {
    const [r, g, b] = [rgba[i], rgba[i + 1], rgba[i + 2]];
    if (!(r === 255 && g === 255 && b === 255) && !(r === 0 && g === 0 && b === 0)) n++;
  }
  return n;
}
const isBlack = (rgba, i) => rgba[i] === 0 && rgba[i + 1] === 0 && rgba[i + 2] === 0;

// The largest distance from (cx, cy) of a coloured cell in a captured field frame, left of
// column 880: Esc clears columns up to 895, and the pressure left in column 896 reaches at
// most eight cells into the field in the eight steps of a frame.
function reach(frame, cx, cy) {
  let far = 0;
  for (let y = 0; y < 576; y++) {
    for (let x = 0; x < 880 - 128; x++) {
      const i = 4 * (y * 768 + x);
      const white = frame[i] === 255 && frame[i + 1] === 255 && frame[i + 2] === 255;
      if (!white && !isBlack(frame, i)) far = Math.max(far, Math.hypot(x + 128 - cx, y + 146 - cy));
    }
  }
  return far;
}

async function openPage(query = "") {
  const page = await browser.newPage();
  page.on("pageerror", (e) => console.log("page error:", e.message));
  await page.setViewport({ width: 1100, height: 860 });
  await page.goto(url + query, { waitUntil: "load" });
  await poll(page, "the canvas", () => page.evaluate(() => {
    const c = document.querySelector("#desktop canvas");
    return c && !c.hidden;
  }));
  return page;
}

async function canvasPoint(page, x, y) {
  const box = await page.evaluate(() => {
    const r = document.querySelector("#desktop canvas").getBoundingClientRect();
    return { left: r.left, top: r.top };
  });
  return { x: box.left + x + 0.5, y: box.top + y + 0.5 };
}

async function rightClick(page, x, y) {
  const at = await canvasPoint(page, x, y);
  await page.mouse.move(at.x, at.y);
  await page.mouse.down({ button: "right" });
  await page.mouse.up({ button: "right" });
}

async function shot(page, name) {
  await page.screenshot({ path: path.join(outDir, name + ".png") });
}

// Waits until the program has handled what came before: two more presentations.
async function settled(page) {
  const before = await page.evaluate(() => tour.fieldFrames + tour.panelFrames);
  await poll(page, "repaints", () => page.evaluate((n) => tour.fieldFrames + tour.panelFrames >= n + 2, before));
}

async function firstFieldFrameAfter(page, action) {
  await page.evaluate(() => { tour.captured = null; tour.armed = true; });
  await action();
  return poll(page, "a field frame", () => page.evaluate(() => tour.captured));
}

async function reference() {
  const page = await browser.newPage();
  await page.goto(url);
  const data = fs.readFileSync(referencePng).toString("base64");
  const rgba = await page.evaluate(async (data) => {
    const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: "image/png" }),
                                           { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    canvas.getContext("2d").drawImage(bitmap, 0, 0);
    return { width: bitmap.width, height: bitmap.height,
             data: Array.from(canvas.getContext("2d").getImageData(0, 0, bitmap.width, bitmap.height).data) };
  }, data);
  await page.close();
  return rgba;
}

// The S key asks for an import, which the next repaint starts. With useButton the page sees a
// browser that gives no user gesture to the key (navigator.userActivation says none), so
// only the dialog's button may open the chooser.
async function importFile(page, file, useButton) {
  const chooser = page.waitForFileChooser({ timeout: LONG });
  chooser.catch(() => {}); // awaited by the caller
  if (useButton) {
    await page.evaluate(() => {
      Object.defineProperty(navigator, "userActivation",
                            { configurable: true, get: () => ({ isActive: false, hasBeenActive: true }) });
      tour.chooserClicks = 0;
      document.querySelector("#open-dialog .file").addEventListener("click", () => tour.chooserClicks++);
    });
  }
  await page.keyboard.press("KeyS");
  await page.mouse.move(...Object.values(await canvasPoint(page, 600, 700))); // a repaint
  await poll(page, "the open dialog", () => page.evaluate(() => document.getElementById("open-dialog").open));
  if (useButton) {
    // openFileDialog clicks the input, if it does, before the dialog shows.
    check("without a user gesture the dialog waits for its button",
          (await page.evaluate(() => tour.chooserClicks)) === 0);
    await page.click("#open-dialog .choose");
    await page.evaluate(() => delete navigator.userActivation);
  }
  return chooser;
}

try {
  // ---- the canvas and the panel, the same pixels as on Linux
  const expected = await reference();
  const page = await openPage();
  await instrument(page);
  check("the page is titled Realtime Vorla", (await page.title()) === "Realtime Vorla");
  const size = await page.evaluate(() => {
    const c = document.querySelector("#desktop canvas");
    return [c.width, c.height];
  });
  check("the canvas is 1024 x 768", size[0] === 1024 && size[1] === 768, String(size));
  const first = await pixelsOf(page, 0, 0, 1024, 768);
  let differing = 0;
  let firstDiff = "";
  for (let i = 0; i < first.length; i += 4) {
    if (first[i] !== expected.data[i] || first[i + 1] !== expected.data[i + 1] || first[i + 2] !== expected.data[i + 2]) {
      if (!differing) firstDiff = `at (${(i / 4) % 1024}, ${Math.floor(i / 4 / 1024)})`;
      differing++;
    }
  }
  check("the first frame (panel text included) is pixel for pixel the Linux one",
        expected.width === 1024 && differing === 0, `${differing} pixels differ, first ${firstDiff}`);
  const panelInk = first.filter((v, i) => i % 4 === 0 && v === 0).length;
  check("the panel has text", panelInk > 1000, `${panelInk} black pixels`);
  await shot(page, "01-start");

  // ---- a sine source radiating
  await page.keyboard.press("KeyF");
  await rightClick(page, 500, 400);
  await poll(page, "the sine wave 100 cells out", async () =>
    coloured(await pixelsOf(page, 590, 390, 20, 20)) > 50);
  check("a sine source radiates", true);
  await shot(page, "02-sine");

  // ---- a line tool wall turning black
  await page.keyboard.press("KeyL");
  const from = await canvasPoint(page, 250, 600);
  const to = await canvasPoint(page, 750, 600);
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  await page.mouse.move(to.x, to.y, { steps: 10 });
  await page.mouse.up();
  await poll(page, "the wall in black", async () => {
    const row = await pixelsOf(page, 260, 600, 480, 1);
    for (let i = 0; i < row.length; i += 4) if (!isBlack(row, i)) return false;
    return true;
  });
  check("the line becomes a black wall", true);
  await shot(page, "03-wall");

  // ---- Space pauses and resumes. The free-hand tool draws nothing while the button is up
  // (the line tool redraws its line in every repaint).
  await page.keyboard.press("KeyJ");
  await page.keyboard.press("Space");
  await settled(page);
  const frames = await page.evaluate(() => [tour.fieldFrames, tour.panelFrames]);
  await new Promise((r) => setTimeout(r, 1500));
  const later = await page.evaluate(() => [tour.fieldFrames, tour.panelFrames]);
  check("Space pauses: repaints go on, the field is not redrawn",
        later[0] === frames[0] && later[1] > frames[1], `${frames} then ${later}`);
  await shot(page, "04-paused");
  await page.keyboard.press("Space");
  await poll(page, "the field again", () => page.evaluate((n) => tour.fieldFrames > n, later[0]));
  check("Space resumes", true);

  // ---- the timer: at most 100 repaints a second, as the 10 ms minimum of Win32 allows
  const paceStart = await page.evaluate(() => [tour.fieldFrames, performance.now()]);
  await new Promise((r) => setTimeout(r, 2000));
  const paceEnd = await page.evaluate(() => [tour.fieldFrames, performance.now()]);
  const perSecond = (1000 * (paceEnd[0] - paceStart[0])) / (paceEnd[1] - paceStart[1]);
  check("the field repaints at most 100 times a second", perSecond <= 105, perSecond.toFixed(1));

  // ---- capture: a drag released outside the canvas still ends, so the field runs on
  const inside = await canvasPoint(page, 600, 700);
  const outside = await canvasPoint(page, 600, 790); // below the canvas, on the page
  await page.mouse.move(inside.x, inside.y);
  await page.mouse.down();
  await page.mouse.move(outside.x, outside.y, { steps: 5 });
  await page.mouse.up();
  const released = await page.evaluate(() => tour.fieldFrames);
  await poll(page, "the field after the drag", () => page.evaluate((n) => tour.fieldFrames >= n + 3, released));
  check("a release outside the canvas ends the drag (capture)", true);

  // ---- Esc clears the pressure (and pauses); the wave starts again from the source
  const before = await pixelsOf(page, 128, 146, 768, 576);
  check("before Esc the wave reaches far", coloured(before) > 20000, String(coloured(before)));
  await page.keyboard.press("Escape");
  await settled(page);
  const cleared = await firstFieldFrameAfter(page, () => page.keyboard.press("Space"));
  const far = reach(cleared, 500, 400);
  check("Esc clears the field: the first frame after it shows only the source's own cells",
        far < 24, `colour ${far.toFixed(1)} cells from the source`);
  await shot(page, "05-cleared");

  // ---- Del erases the walls
  await page.keyboard.press("Delete");
  await poll(page, "the wall gone", async () => {
    const row = await pixelsOf(page, 260, 600, 480, 2);
    for (let i = 0; i < row.length; i += 4) if (isBlack(row, i)) return false;
    return true;
  });
  check("Del erases the wall", true);
  await shot(page, "06-erased");

  // ---- an import through the file chooser: walls and the source from a bitmap
  const bitmapPath = path.join(outDir, "import.bmp");
  // 300 x 200: white, a black frame two pixels wide, one yellow pixel at (150, 100).
  fs.writeFileSync(bitmapPath, bmp(300, 200, (x, y) =>
    x === 150 && y === 100 ? [255, 255, 0] : x < 2 || y < 2 || x >= 298 || y >= 198 ? [0, 0, 0] : [255, 255, 255]));
  await page.keyboard.press("Escape"); // a field at rest, paused: the import's effects stand alone
  await settled(page);
  // Chromium opens the chooser at once while the S key still counts as a user gesture; the
  // dialog's button is the way in without one. The first import takes the button.
  const chooser = await importFile(page, bitmapPath, true);
  await shot(page, "07-open-dialog");
  await (await chooser).accept([bitmapPath]);
  await poll(page, "the dialog to close", () => page.evaluate(() => !document.getElementById("open-dialog").open));
  await settled(page);
  const log = await page.evaluate(() => new TextDecoder().decode(Module.FS.readFile("test.txt")));
  check("the import logs the bitmap's size", log === "( 300, 200)\n", JSON.stringify(log));
  const imported = await firstFieldFrameAfter(page, () => page.keyboard.press("Space"));
  const at = (x, y) => 4 * ((y - 146) * 768 + (x - 128));
  let frameBlack = 0;
  for (let x = 128; x < 428; x++) frameBlack += isBlack(imported, at(x, 146)) && isBlack(imported, at(x, 345)) ? 1 : 0;
  check("the bitmap's black frame is a wall", frameBlack === 300, `${frameBlack} of 300 columns`);
  const sourceReach = reach(imported, 128 + 150, 146 + 100);
  const oldSource = reach(imported, 500, 400);
  check("the sine source moved to the bitmap's yellow pixel",
        sourceReach < 24 && oldSource > 100, `${sourceReach.toFixed(1)} from the new, ${oldSource.toFixed(1)} from the old`);
  await poll(page, "the wave inside the frame", async () => coloured(await pixelsOf(page, 128 + 150 + 40, 146 + 100, 10, 10)) > 20);
  await shot(page, "08-imported");

  // A second import, straight from the key's user gesture, of an RLE bitmap: 200 x 100, a
  // black frame, yellow at (50, 50).
  const rlePath = path.join(outDir, "import-rle.bmp");
  fs.writeFileSync(rlePath, rle8(200, 100, (x, y) =>
    x === 50 && y === 50 ? 2 : x < 2 || y < 2 || x >= 198 || y >= 98 ? 1 : 0));
  const again = await importFile(page, rlePath, false);
  const behind = await page.evaluate(() => tour.fieldFrames);
  await poll(page, "the field behind the dialog", () => page.evaluate((n) => tour.fieldFrames >= n + 3, behind));
  check("the field runs on behind the open dialog",
        await page.evaluate(() => document.getElementById("open-dialog").open));
  await (await again).accept([rlePath]);
  await poll(page, "the second import", () => page.evaluate(() =>
    new TextDecoder().decode(Module.FS.readFile("test.txt")) === "( 300, 200)\n( 200, 100)\n"));
  check("a second import opens the chooser from the key and reads an RLE bitmap", true);
  await poll(page, "its frame as a wall", async () => {
    const row = await pixelsOf(page, 128, 146 + 98, 200, 2);
    for (let i = 0; i < row.length; i += 4) if (!isBlack(row, i)) return false;
    return true;
  });
  check("the RLE bitmap's walls are in place", true);
  await shot(page, "09-imported-rle");

  // ---- cancelling ends the program, as on Windows
  const cancelled = await importFile(page, bitmapPath, false);
  await (await cancelled).cancel();
  await poll(page, "the error box", () => page.evaluate(() => document.getElementById("message-box").open));
  const box = await page.evaluate(() => {
    const b = document.getElementById("message-box");
    return [b.querySelector(".caption").textContent, b.querySelector(".text").textContent];
  });
  check("cancelling shows the エラー box", box[0] === "エラー" && box[1] === "エラー", JSON.stringify(box));
  const behindBox = await page.evaluate(() => tour.fieldFrames);
  await poll(page, "the field behind the box", () => page.evaluate((n) => tour.fieldFrames >= n + 3, behindBox));
  check("the field runs on behind the message box",
        await page.evaluate(() => document.getElementById("message-box").open));
  await shot(page, "10-error");
  await page.click("#message-box .buttons button");
  await poll(page, "the end", () => page.evaluate(() => globalThis.vorlaEnded));
  const ended = await page.evaluate(() => [!document.getElementById("ended").hidden,
                                           document.querySelectorAll("#desktop canvas").length,
                                           globalThis.vorlaEnded.code]);
  check("the program ends and the page says so", ended[0] && ended[1] === 0 && ended[2] === 0, String(ended));
  await shot(page, "11-ended");
  await page.click("#restart");
  await poll(page, "a new start", () => page.evaluate(() => {
    const c = document.querySelector("#desktop canvas");
    return c && !c.hidden;
  }));
  check("the page starts it again", true);
  await page.close();

  // ---- the build without wasm SIMD, as browsers without it get
  const portable = await openPage("?build=portable");
  check("the portable build loads", (await portable.evaluate(() => vorlaBuild.program)) === "vorla-portable");
  const portableFirst = await pixelsOf(portable, 0, 0, 1024, 768);
  check("the portable build's first frame is the Linux one",
        portableFirst.every((v, i) => v === expected.data[i]));
  await rightClick(portable, 500, 400);
  await poll(portable, "the pulse", async () => coloured(await pixelsOf(portable, 440, 340, 120, 120)) > 500);
  check("the portable build runs the field", true);
  await shot(portable, "12-portable");
} catch (e) {
  check("the tour ran to its end", false, e.stack || String(e));
} finally {
  await browser.close();
  fs.rmSync(userData, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
