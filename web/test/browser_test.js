// The page in real browsers: Debian's chromium (through CDP) and
// firefox-esr (through WebDriver BiDi), headless, driven by puppeteer-core,
// open the built page from disk, and each is used as a person would, with
// the keyboard and the mouse. Each check's verdict, explanation and
// downloaded output file are compared with the native tools'; axe-core
// looks at every state of the page in both colour schemes. Saves
// screenshots into ARTIFACTS, and prints the wide workload's check time in
// the page beside the native tool's.
//
// node browser_test.js SITE FDKEEP FDKEEP_EXPLAIN INPUTS_PROGRAM SOURCE_DIR
//                      ARTIFACTS
// CHROMIUM and FIREFOX name the browsers (default /usr/bin/chromium,
// /usr/bin/firefox-esr).
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { after, before, describe, test } = require("node:test");
const puppeteer = require("puppeteer-core");

const [site, fdkeep, fdkeepExplain, inputsProgram, sourceDir, artifacts] =
    process.argv.slice(2).map((arg) => path.resolve(arg));
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "fdkeep-browser-"));
const inputs = path.join(scratch, "inputs");
const axeSource = fs.readFileSync(require.resolve("axe-core/axe.min.js"),
                                  "utf8");
let requests;
let browser;
let page;
let how;  // how the browser under test is started and set up: browsers

// How each browser is started, how it is told where downloads go, and how
// the page's dark colour scheme is turned on (dark) or off.
const browsers = {
  chromium: {
    launch: () => puppeteer.launch({
      executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
      headless: true,
      pipe: true,
      args: ["--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--disable-dev-shm-usage"],
    }),
    allowDownloads: async (folder) => {
      const session = await page.createCDPSession();
      await session.send("Browser.setDownloadBehavior",
                         { behavior: "allow", downloadPath: folder });
    },
    setScheme: (dark) => page.emulateMediaFeatures(
        [{ name: "prefers-color-scheme", value: dark ? "dark" : "light" }]),
    preferHungarian: async () => {
      const session = await page.createCDPSession();
      await session.send("Network.setUserAgentOverride",
                         { userAgent: await browser.userAgent(),
                           acceptLanguage: "hu-HU,hu,en" });
    },
  },
  firefox: {
    launch: () => puppeteer.launch({
      browser: "firefox",
      executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr",
      headless: true,
    }),
    allowDownloads: (folder) => browser.connection.send(
        "browser.setDownloadBehavior",
        { downloadBehavior: { type: "allowed", destinationFolder: folder } }),
    // BiDi cannot emulate the preference: the page's rules for a dark
    // preference are made to apply to all or to none, and the browser's own
    // controls take the same scheme.
    setScheme: (dark) => page.evaluate((dark) => {
      window.schemeRules = window.schemeRules ||
          [...document.styleSheets].flatMap((sheet) => [...sheet.cssRules])
              .filter((rule) => rule.media && /prefers-color-scheme: dark/
                                                  .test(rule.media.mediaText));
      for (const rule of window.schemeRules)
        rule.media.mediaText = dark ? "all" : "not all";
      document.documentElement.style.colorScheme = dark ? "dark" : "light";
    }, dark),
    preferHungarian: () => browser.connection.send(
        "emulation.setLocaleOverride",
        { locale: "hu-HU", userContexts: ["default"] }),
  },
};

before(() => {
  fs.mkdirSync(inputs);
  assert.equal(spawnSync(inputsProgram, [inputs]).status, 0);
});

after(() => fs.rmSync(scratch, { recursive: true, force: true }));

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

// Does action, which starts a check, and waits until the check has ended;
// ends checks end, when action stops one under way first.
async function checking(action, ends = 1) {
  const count = await checks();
  await action();
  await checked(count + ends - 1);
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

async function open(file, ends = 1) {
  await checking(() => page.$("#file").then((c) => c.uploadFile(file)), ends);
}

// The native tools on bytes, as a file called name: {status, stderr,
// output, text, json}; json only when asked; the explanation in Hungarian
// when asked.
function native(name, bytes, json = true, hungarian = false) {
  const folder = fs.mkdtempSync(path.join(scratch, "native-"));
  fs.writeFileSync(path.join(folder, name), bytes);
  const env = { ...process.env, LC_ALL: "", LC_MESSAGES: "",
                LANG: hungarian ? "hu_HU.UTF-8" : "C.UTF-8" };
  const run = (program, ...args) =>
      spawnSync(program, args, { cwd: folder, env, maxBuffer: 1 << 30 });
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
  await how.allowDownloads(folder);
  await page.click("#download");
  // Done when no partial file is left and the file's size has held still
  // between two looks: a browser may write the final name before the end.
  let size = -1;
  for (let waited = 0; waited < 20000; waited += 50) {
    const files = fs.readdirSync(folder);
    const done = files.filter((f) => !/\.(crdownload|part)$/.test(f));
    if (done.length && done.length === files.length) {
      const now = fs.statSync(path.join(folder, done[0])).size;
      if (now > 0 && now === size)
        return { name: done[0],
                 bytes: fs.readFileSync(path.join(folder, done[0])) };
      size = now;
    }
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
      status: text("status"),
    };
  });
}

// Checks what the page shows, and the file it downloads, against the native
// tools on the same bytes called name (explaining in Hungarian when asked).
async function expectLikeNative(name, bytes, hungarian = false) {
  const expected = native(name, bytes, true, hungarian);
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


// What the page shows of a result: "none", "marked" (said in words to be of
// an earlier input) or "current"; and whether a check is under way.
function resultShown() {
  return page.evaluate(() => {
    const visible = (id) => {
      const element = document.getElementById(id);
      return Boolean(element) && !element.hidden;
    };
    return {
      result: !visible("result") && !visible("why") ? "none"
          : visible("stale") && (!visible("why") || visible("why-stale"))
          ? "marked" : "current",
      running: visible("stop"),
      status: document.getElementById("status").textContent,
    };
  });
}

// Starts a check of file that stays under way until the page stops it: the
// engine is never given this one check, so a test of what happens during a
// check does not race the engine, however fast it reads the file.
async function startOpening(file) {
  await page.evaluate(() => {
    const post = Worker.prototype.postMessage;
    Worker.prototype.postMessage = function () {
      Worker.prototype.postMessage = post;  // holds back one message only
    };
  });
  await page.$("#file").then((control) => control.uploadFile(file));
  await page.waitForFunction(
      () => !document.getElementById("stop").hidden, { timeout: 20000 });
}

// axe-core finds no violation in the page as it is, in either scheme.
async function accessible(what) {
  if (await page.evaluate(() => typeof axe) === "undefined")
    await page.evaluate(axeSource);
  for (const dark of [false, true]) {
    await how.setScheme(dark);
    const violations = await page.evaluate(async () =>
        (await axe.run(document, { resultTypes: ["violations"] }))
            .violations.map((v) => v.id + " (" + v.impact + "): " +
                v.nodes.map((node) => node.target.join(" ")).join(", ")));
    assert.deepEqual(violations, [],
                     `${what}, ${dark ? "dark" : "light"} scheme`);
  }
  await how.setScheme(false);
}

const worked = "street,zip\nzip,city\n\ncity,street->zip\nzip->city\n";

// Clicks the language switch's button for lang ("en" or "hu"); the result
// beside the input is checked again in it.
async function choose(lang) {
  assert.ok(await page.$(`[data-language="${lang}"]`), "no language switch");
  await checking(() => page.click(`[data-language="${lang}"]`));
  assert.equal(await page.evaluate(() => document.documentElement.lang), lang);
}

// The language of the page and of its parts, and a heading's text.
function languages() {
  return page.evaluate(() => {
    const of = (selector) => {
      const element = document.querySelector(selector);
      return element && element.closest("[lang]").lang;
    };
    return {
      page: document.documentElement.lang,
      verdict: of("#verdict-line"),
      explanation: of("#explanation"),
      english: of("[data-language=en]"),
      magyar: of("[data-language=hu]"),
      heading: document.getElementById("input-heading").textContent,
    };
  });
}

// Every text of the page, hidden or not, and every label and title, that is
// in the page's language: what a screen reader reads in it. The input, the
// examples' names and the explanation from the engine are left out.
function pageTexts() {
  return page.evaluate(() => {
    const lang = document.documentElement.lang;
    const texts = [document.title];
    const walker = document.createTreeWalker(document.body,
                                             NodeFilter.SHOW_TEXT);
    for (let node; (node = walker.nextNode());) {
      const parent = node.parentElement;
      if (parent.closest("#input, #examples, #explanation, #summary") ||
          parent.closest("[lang]").lang !== lang || !node.data.trim())
        continue;
      texts.push(node.data.trim());
    }
    for (const labelled of document.querySelectorAll("[aria-label], [title]"))
      if (labelled.closest("[lang]").lang === lang)
        texts.push(labelled.getAttribute("aria-label") || labelled.title);
    return texts;
  });
}

for (const [name, its] of Object.entries(browsers)) describe(name, () => {
  before(async () => {
    requests = [];
    how = its;
    // A browser that cannot start fails the test.
    browser = await how.launch();
    page = await browser.newPage();
    page.on("request", (request) => requests.push(request.url()));
    page.on("pageerror", (error) => requests.push("page error: " + error));
    await page.setViewport({ width: 1000, height: 900 });
    await page.goto("file://" + path.join(site, "index.html"));
    await checked(0);  // the example that the page checks when it opens
  });

  after(async () => {
    if (browser) await browser.close();
    browser = null;
  });

  test("the worked example, typed: lost, every line linked back", async () => {
    await accessible("the example checked on opening");
    await typeAndCheck(worked);
    const seen = await expectLikeNative("input.txt", worked);
    assert.equal(seen.verdict, "nem függőségörző");
    await page.screenshot({ path: path.join(artifacts, `fdkeep-web-${name}.png`),
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

  test("a changed input: the result says in words that it is older",
       async () => {
    await page.type("#input", "x");
    await accessible("a result of the input before");
    assert.equal((await resultShown()).result, "marked");
  });

  test("a preserved input, typed, with derivations", async () => {
    const text = fs.readFileSync(path.join(sourceDir, "examples",
                                           "order-chain.txt"), "latin1");
    await typeAndCheck(text);
    const seen = await expectLikeNative("input.txt", text);
    assert.equal(seen.verdict, "függőségörző");
  });

  test("a rejected line: its number, and the input called the input",
       async () => {
    const text = "A,B\n\nA->B\nB\n";
    await typeAndCheck(text);
    const expected = native("input.txt", text);
    assert.equal(expected.status, 1);
    const seen = await shown();
    assert.equal(seen.verdict, "No verdict");
    assert.match(seen.meaning, /^fdkeep rejects the input .*line 4 .*->/);
    assert.ok(!seen.meaning.includes("input.txt"), seen.meaning);
    assert.equal(seen.downloadShown, false);
    await accessible("a rejected input");
  });

  test("an example, one click away", async () => {
    await checking(() => page.click("#examples button:nth-child(1)"));
    const file = await download();
    const expected = fs.readFileSync(
        path.join(sourceDir, "examples", "course-schedule.out"));
    assert.ok(file.bytes.equals(expected));
  });

  test("an opened file with ISO-8859-2 names: its bytes to the engine, " +
       "its names shown alike everywhere, its name kept", async () => {
    // ISO-8859-2 bytes: é is E9, ő is F5, á is E1.
    const bytes = Buffer.from("utca,irsz\nirsz,v\xe1ros\nv\xe1ros,f\xf5\n\n" +
                              "v\xe1ros,utca->irsz\nirsz->v\xe1ros,f\xf5\n",
                              "latin1");
    const file = path.join(scratch, "város.txt");
    fs.writeFileSync(file, bytes);
    await open(file);
    const seen = await page.evaluate(() => ({
      input: document.getElementById("input").value,
      explanation: document.getElementById("explanation").textContent,
      files: document.getElementById("file").files.length,
      source: (document.querySelector(".input-label + p") || {}).textContent,
    }));
    assert.ok(seen.input.includes("irsz->város,fő"), seen.input);
    assert.ok(seen.explanation.includes("missing: {fő}"), seen.explanation);
    assert.equal(seen.files, 1);
    assert.ok(seen.source.includes("város.txt"), seen.source);
    await accessible("a file that is not UTF-8");
    // Each name put back as the exact bytes that its title holds, the
    // explanation is the native one.
    await page.evaluate(() => {
      for (const name of document.querySelectorAll("#explanation .name"))
        name.textContent = name.title;
    });
    await expectLikeNative("város.txt", bytes);
  });

  test("a check shows no earlier verdict, and Stop says so until the next " +
       "action", async () => {
    const big = path.join(inputs, "big.txt");
    await startOpening(big);
    assert.deepEqual(await resultShown(),
                     { result: "none", running: true, status: "Checking…" });
    await checking(() => page.click("#stop"));
    await new Promise((resolve) => setTimeout(resolve, 300));
    assert.deepEqual(await resultShown(),
                     { result: "none", running: false, status: "Stopped." });
    await accessible("a stopped check");
    await checking(async () => {
      await page.click("#check");
      await accessible("a check under way");
    });
  });

  test("a file or an example given during a check is taken", async () => {
    // Another name: a file control that is given the same file again may
    // not say so.
    const again = path.join(scratch, "big-again.txt");
    fs.copyFileSync(path.join(inputs, "big.txt"), again);
    await startOpening(again);
    await checking(() => page.click("#examples button:nth-child(4)"), 2);
    assert.equal((await shown()).verdict, "nem függőségörző");  // zip-codes
    assert.ok((await download()).bytes.equals(fs.readFileSync(
        path.join(sourceDir, "examples", "zip-codes.out"))));
    await startOpening(path.join(inputs, "big.txt"));
    const order = path.join(sourceDir, "examples", "order-chain.txt");
    await open(order, 2);
    await expectLikeNative("order-chain.txt", fs.readFileSync(order));
    // Typing is a change too: the check of the input before stops.
    await startOpening(path.join(inputs, "big.txt"));
    await checking(() => page.click("#close-file"));
    assert.deepEqual(await resultShown(), { result: "none", running: false,
        status: "Stopped: the input changed." });
  });

  test("a valid UTF-8 file is taken as UTF-8, whatever its line lengths",
       async () => {
    // A first line of 350,002 bytes: the start shown ends inside an "á".
    const text = "áá,".repeat(70000) + "b\nb,c\n\náá->b\nb->c\n";
    const file = path.join(scratch, "long-line.txt");
    fs.writeFileSync(file, text);
    assert.equal(fs.statSync(file).size, 350020);
    await open(file);
    await expectLikeNative("long-line.txt", Buffer.from(text));
    const about = await page.$eval("#file-about", (p) => p.textContent);
    assert.ok(!about.includes("not UTF-8"), about);
    await page.click("#explanation a.line[data-line='1']");
    const after = await page.evaluate(() => {
      const input = document.getElementById("input");
      return { start: input.value.slice(0, 6), selected: input.selectionStart,
               status: document.getElementById("status").textContent };
    });
    assert.equal(after.start, "áá,áá,");
    assert.equal(after.selected, 0);
    assert.ok(!after.status.includes("past"), after.status);
  });

  test("pasted text with Windows line ends: the page says what it checks",
       async () => {
    await typeAndCheck("");
    // Copied from text on a page, pasted with the keyboard.
    await page.evaluate(() => {
      const copied = document.createElement("pre");
      copied.textContent = "A,B\r\n\r\nA->B\r\n";
      document.body.prepend(copied);
      window.scrollTo(0, 0);
    });
    await page.click("body > pre");
    await page.evaluate(() => {
      const copied = document.querySelector("body > pre");
      const range = document.createRange();
      range.selectNodeContents(copied);
      getSelection().removeAllRanges();
      getSelection().addRange(range);
    });
    const withControl = async (key) => {
      await page.keyboard.down("Control");
      await page.keyboard.press(key);
      await page.keyboard.up("Control");
    };
    await withControl("c");
    await page.$eval("body > pre", (copied) => copied.remove());

    await page.click("#input");
    await withControl("v");
    const seen = await page.$eval("#input", (input) => ({
      value: input.value,
      noteShown: [...document.querySelectorAll(".note")].some((note) =>
          !note.hidden && /line\s+ends/.test(note.textContent)),
    }));
    assert.match(seen.value, /^A,B\n\nA->B\n?$/);
    assert.ok(seen.noteShown);
    await accessible("pasted Windows line ends");
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
    console.log(`${name}: 10 MB input: checked in ${seen.checkMs.toFixed(0)} ` +
                `ms, longest pause of the page ${pause.toFixed(0)} ms`);
    assert.ok(pause < 1000, `the page paused for ${pause} ms`);
    // The explanation comes a page at a time, and only the lost
    // dependencies when asked.
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

  test("the wide workload: time in the page beside the native tool",
       async () => {
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
    console.log(`${name}: wide workload (${fs.statSync(file).size} bytes), ` +
                `median of ${runs}: in the page ${median(inPage).toFixed(1)} ` +
                `ms, native ${median(nativeMs).toFixed(1)} ms, ratio ` +
                `${ratio.toFixed(2)}`);
    assert.ok(ratio <= 3,
              `the page took ${ratio.toFixed(2)} x the native time`);
  });

  test("phone width: nothing wider than the screen, the verdict brought " +
       "into view and announced", async () => {
    await page.setViewport({ width: 360, height: 800 });
    await typeAndCheck(worked);
    const seen = await page.evaluate(() => {
      const verdict = document.getElementById("verdict-line")
                              .getBoundingClientRect();
      return {
        overflow: document.documentElement.scrollWidth - window.innerWidth,
        inView: verdict.top >= 0 && verdict.bottom <= window.innerHeight,
        status: document.getElementById("status").textContent,
      };
    });
    assert.ok(seen.overflow <= 0, `${seen.overflow} px wider than the screen`);
    assert.ok(seen.inView, "the verdict is out of view");
    assert.match(seen.status, /nem függőségörző/);
    await accessible("phone width");
    await how.setScheme(true);
    await page.screenshot({
        path: path.join(artifacts, `fdkeep-web-${name}-phone.png`),
        fullPage: true });
    await how.setScheme(false);
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

  test("English and Magyar: the switch goes both ways, is remembered, " +
       "and every text and the explanation follow it", async () => {
    await page.setViewport({ width: 1000, height: 900 });
    await typeAndCheck(worked);
    await choose("hu");
    await expectLikeNative("input.txt", worked, true);
    assert.deepEqual(await languages(), {
      page: "hu", verdict: "hu", explanation: "hu", english: "en",
      magyar: "hu", heading: "Bemenet" });
    // No English left outside what is marked English.
    const english = /\b(the|and|of|is|has|not|this|by|with)\b/i;
    assert.deepEqual((await pageTexts()).filter((t) => english.test(t)), []);
    await accessible("the page in Hungarian");
    await page.screenshot({
        path: path.join(artifacts, `fdkeep-web-${name}-hu.png`),
        fullPage: true });
    // fdkeep's own message stays English, and is marked so.
    const rejected = path.join(scratch, "rossz.txt");
    fs.writeFileSync(rejected, "A,B\n\nA->B\nB\n");
    await open(rejected);
    assert.equal(await page.$eval("#verdict-meaning code[lang=en]",
                                  (c) => c.textContent),
                 "fdkeep: rossz.txt:4: dependency has no \"->\"");
    assert.deepEqual((await pageTexts()).filter((t) => english.test(t)), []);
    await accessible("a rejected file, in Hungarian");

    await page.reload();
    await checked(0);
    assert.equal((await languages()).heading, "Bemenet");
    await choose("en");
    assert.deepEqual(await languages(), {
      page: "en", verdict: "hu", explanation: "en", english: "en",
      magyar: "hu", heading: "Input" });
    const zip = fs.readFileSync(path.join(sourceDir, "examples",
                                          "zip-codes.txt"));
    await expectLikeNative("zip-codes.txt", zip);
    // A result of the input before stays so marked, in its own language.
    await page.type("#input", "x");
    await page.click("[data-language=hu]");
    assert.equal((await resultShown()).result, "marked");
    assert.equal((await languages()).explanation, "en");
    await page.click("[data-language=en]");
    await page.reload();
    await checked(0);
    assert.equal((await languages()).page, "en");
  });

  test("a browser preferring Hungarian opens the page in Hungarian",
       async () => {
    await page.evaluate(() => localStorage.clear());
    await how.preferHungarian();
    await page.reload();
    await checked(0);
    assert.equal((await languages()).page, "hu");
    await expectLikeNative("zip-codes.txt", fs.readFileSync(
        path.join(sourceDir, "examples", "zip-codes.txt")), true);
  });
});
