// The page in a real browser: Debian's chromium, headless, driven by
// puppeteer-core, opens the built page from disk and is used as a person
// would, with the keyboard and the mouse. Each check's verdict,
// explanation and downloaded output file are compared with the native
// tools'. Saves screenshots into ARTIFACTS, and prints the wide workload's
// check time in the page beside the native tool's.
//
// node browser_test.js SITE FDKEEP FDKEEP_EXPLAIN INPUTS_PROGRAM SOURCE_DIR
//                      ARTIFACTS
// CHROMIUM names the browser (default /usr/bin/chromium).
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { after, before, test } = require("node:test");
const puppeteer = require("puppeteer-core");

const [site, fdkeep, fdkeepExplain, inputsProgram, sourceDir, artifacts] =
    process.argv.slice(2).map((arg) => path.resolve(arg));
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "fdkeep-browser-"));
const inputs = path.join(scratch, "inputs");
const requests = [];
let browser;
let page;

before(async () => {
  fs.mkdirSync(inputs);
  assert.equal(spawnSync(inputsProgram, [inputs]).status, 0);
  // A browser that cannot start fails the test.
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    pipe: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run",
           "--disable-background-networking", "--disable-component-update",
           "--disable-sync", "--disable-dev-shm-usage"],
  });
  page = await browser.newPage();
  page.on("request", (request) => requests.push(request.url()));
  page.on("pageerror", (error) => requests.push("page error: " + error));
  await page.setViewport({ width: 1000, height: 900 });
  await page.goto("file://" + path.join(site, "index.html"));
  await checked(0);  // the example that the page checks when it opens
});

after(async () => {
  if (browser) await browser.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

// How many checks the page has ended.
async function checks() {
  return Number(await page.$eval("body", (body) => body.dataset.checks || 0));
}

// Waits until the page has ended more than count checks.
async function checked(count) {
  await page.waitForFunction(
      (n) => Number(document.body.dataset.checks || 0) > n,
      { timeout: 60000 }, count);
}

// Does action, which starts a check, and waits until the check has ended.
async function checking(action) {
  const count = await checks();
  await action();
  await checked(count);
}

// Replaces the text area's content by typing text, and checks it with
// Ctrl+Enter.
async function typeAndCheck(text) {
  if (await page.$eval("#file-note", (note) => !note.hidden))
    await page.click("#close-file");  // an opened file is not edited
  await page.click("#input");
  await page.keyboard.down("Control");
  await page.keyboard.press("a");
  await page.keyboard.up("Control");
  await page.keyboard.press("Delete");
  await page.keyboard.type(text);
  await checking(async () => {
    await page.keyboard.down("Control");
    await page.keyboard.press("Enter");
    await page.keyboard.up("Control");
  });
}

async function open(file) {
  await checking(() => page.$("#file").then((c) => c.uploadFile(file)));
}

// The native tools on bytes, as a file called name: {status, stderr,
// output, text, json}; json only when asked.
function native(name, bytes, json = true) {
  const folder = fs.mkdtempSync(path.join(scratch, "native-"));
  fs.writeFileSync(path.join(folder, name), bytes);
  const run = (program, ...args) =>
      spawnSync(program, args, { cwd: folder, maxBuffer: 1 << 30 });
  const tool = run(fdkeep, name, "out");
  return {
    status: tool.status,
    stderr: tool.stderr.toString(),
    output: tool.status === 0 ? fs.readFileSync(path.join(folder, "out"))
                              : null,
    text: run(fdkeepExplain, name).stdout.toString(),
    json: json && tool.status === 0 &&
          JSON.parse(run(fdkeepExplain, "--json", name).stdout),
  };
}

// Clicks the download link and returns the file's name and bytes.
async function download() {
  const folder = fs.mkdtempSync(path.join(scratch, "download-"));
  const session = await page.createCDPSession();
  await session.send("Browser.setDownloadBehavior",
                     { behavior: "allow", downloadPath: folder });
  await page.click("#download");
  for (let waited = 0; waited < 20000; waited += 50) {
    const done = fs.readdirSync(folder).filter((f) => !/\.crdownload$/.test(f));
    if (done.length) return { name: done[0],
                              bytes: fs.readFileSync(path.join(folder, done[0])) };
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error("no download");
}

// What the page shows after a check.
function shown() {
  return page.evaluate(() => {
    const text = (id) => document.getElementById(id).textContent;
    const blocks = [...document.querySelectorAll("#explanation pre")];
    return {
      verdict: text("verdict-line"),
      meaning: text("verdict-meaning"),
      explanation: blocks.map((b) => b.textContent).join("\n") + "\n\n" +
                   text("summary") + "\n",
      cited: [...document.querySelectorAll("#explanation a.line")]
          .map((a) => Number(a.dataset.line)),
      downloadShown: !document.getElementById("download-line").hidden,
      checkMs: Number(document.getElementById("timing").dataset.checkMs),
    };
  });
}

// Checks what the page shows, and the file it downloads, against the native
// tools on the same bytes called name.
async function expectLikeNative(name, bytes) {
  const expected = native(name, bytes);
  assert.equal(expected.status, 0);
  const seen = await shown();
  const verdictLine = new TextDecoder("iso-8859-2").decode(
      expected.output.subarray(expected.output.lastIndexOf(10, -2) + 1, -1));
  assert.equal(seen.verdict, verdictLine);
  assert.equal(seen.explanation, expected.text);
  const cited = expected.json.results.flatMap((r) => [
    r.line, ...(r.schema ? [r.schema.line] : []),
    ...(r.steps || []).map((s) => s.line)]);
  assert.deepEqual(seen.cited, cited);
  const file = await download();
  assert.equal(file.name, name.replace(/\.txt$/, "") + ".out");
  assert.ok(file.bytes.equals(expected.output), "downloaded output file");
  return seen;
}

const worked = "street,zip\nzip,city\n\ncity,street->zip\nzip->city\n";

test("the worked example, typed: lost, every line linked back", async () => {
  await typeAndCheck(worked);
  const seen = await expectLikeNative("input.txt", worked);
  assert.equal(seen.verdict, "nem függőségörző");
  await page.screenshot({ path: path.join(artifacts, "fdkeep-web.png"),
                          fullPage: true });
  // The keyboard reaches the link to line 2, and it selects that line.
  await page.focus("#explanation li:nth-child(2) a.line:nth-of-type(2)");
  await page.keyboard.press("Enter");
  const selected = await page.evaluate(() => {
    const input = document.activeElement;
    return input.value.slice(input.selectionStart, input.selectionEnd);
  });
  assert.equal(selected, "zip,city");
});

test("a preserved input, typed, with derivations", async () => {
  const text = fs.readFileSync(path.join(sourceDir, "examples",
                                         "order-chain.txt"), "latin1");
  await typeAndCheck(text);
  const seen = await expectLikeNative("input.txt", text);
  assert.equal(seen.verdict, "függőségörző");
});

test("a rejected line: its number and fdkeep's message", async () => {
  const text = "A,B\n\nA->B\nB\n";
  await typeAndCheck(text);
  const expected = native("input.txt", text);
  assert.equal(expected.status, 1);
  const seen = await shown();
  assert.equal(seen.verdict, "No verdict");
  assert.ok(seen.meaning.includes(expected.stderr.trim()), seen.meaning);
  assert.ok(seen.meaning.includes("line 4"), seen.meaning);
  assert.equal(seen.downloadShown, false);
});

test("an example, one click away", async () => {
  await checking(() => page.click("#examples button:nth-child(1)"));
  const file = await download();
  const expected = fs.readFileSync(
      path.join(sourceDir, "examples", "course-schedule.out"));
  assert.ok(file.bytes.equals(expected));
});

test("an opened file with ISO-8859-2 names goes to the engine as bytes",
     async () => {
  // ISO-8859-2 bytes: é is E9, ő is F5, á is E1.
  const bytes = Buffer.from("utca,irsz\nirsz,v\xe1ros\nv\xe1ros,f\xf5\n\n" +
                            "v\xe1ros,utca->irsz\nirsz->v\xe1ros,f\xf5\n",
                            "latin1");
  const file = path.join(scratch, "város.txt");
  fs.writeFileSync(file, bytes);
  await open(file);
  await expectLikeNative("város.txt", bytes);
});

test("a 10 MB file keeps the page responsive", async () => {
  await page.evaluate(() => {
    window.longestPause = 0;
    let last = performance.now();
    window.pauses = setInterval(() => {
      const now = performance.now();
      window.longestPause = Math.max(window.longestPause, now - last);
      last = now;
    }, 10);
  });
  await open(path.join(inputs, "big.txt"));
  const pause = await page.evaluate(() => {
    clearInterval(window.pauses);
    return window.longestPause;
  });
  const bytes = fs.readFileSync(path.join(inputs, "big.txt"));
  const expected = native("big.txt", bytes, false);
  const seen = await shown();
  assert.equal(seen.verdict, "nem függőségörző");
  assert.ok((await download()).bytes.equals(expected.output));
  console.log(`10 MB input: checked in ${seen.checkMs.toFixed(0)} ms, ` +
              `longest pause of the page ${pause.toFixed(0)} ms`);
  assert.ok(pause < 1000, `the page paused for ${pause} ms`);
  // The explanation comes a page at a time, and only the lost dependencies
  // when asked.
  const items = () => page.$$eval("#explanation li", (all) => all.length);
  assert.equal(await items(), 500);
  await page.click("#more");
  assert.equal(await items(), 1000);
  await page.click("#only-lost");
  const classes = await page.$$eval("#explanation li", (items) =>
      items.map((item) => item.className));
  const lost = expected.text.match(/^ {2}LOST/gm).length;
  assert.equal(classes.length, Math.min(lost, 500));
  assert.ok(classes.every((c) => c === "lost"));
  await page.click("#only-lost");
});

test("the wide workload: time in the page beside the native tool", async () => {
  const file = path.join(inputs, "wide.txt");
  await open(file);
  const runs = 7;
  const inPage = [];
  const nativeMs = [];
  for (let i = 0; i < runs; ++i) {
    await checking(() => page.click("#check"));
    inPage.push((await shown()).checkMs);
    const started = process.hrtime.bigint();
    spawnSync(fdkeep, [file, path.join(scratch, "wide.out")]);
    nativeMs.push(Number(process.hrtime.bigint() - started) / 1e6);
  }
  const median = (xs) => xs.slice().sort((a, b) => a - b)[xs.length >> 1];
  const ratio = median(inPage) / median(nativeMs);
  console.log(`wide workload (${fs.statSync(file).size} bytes), median of ` +
              `${runs}: in the page ${median(inPage).toFixed(1)} ms, native ` +
              `${median(nativeMs).toFixed(1)} ms, ratio ${ratio.toFixed(2)}`);
  assert.ok(ratio <= 3, `the page took ${ratio.toFixed(2)} x the native time`);
});

test("phone width, dark: nothing wider than the screen", async () => {
  await page.emulateMediaFeatures([{ name: "prefers-color-scheme",
                                     value: "dark" }]);
  await page.setViewport({ width: 360, height: 800 });
  await typeAndCheck(worked);
  const overflow = await page.evaluate(
      () => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `${overflow} px wider than the screen`);
  await page.screenshot({ path: path.join(artifacts, "fdkeep-web-phone.png"),
                          fullPage: true });
});

test("every control is labelled, and nothing is fetched from elsewhere",
     async () => {
  const unlabelled = await page.evaluate(() =>
      [...document.querySelectorAll("input, textarea, button")]
          .filter((c) => !(c.labels && c.labels.length) &&
                         !c.textContent.trim())
          .map((c) => c.outerHTML));
  assert.deepEqual(unlabelled, []);
  const foreign = requests.filter((url) => !/^(file|blob|data):/.test(url));
  assert.deepEqual(foreign, []);
});
