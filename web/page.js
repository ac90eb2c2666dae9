// fdkeep's page: takes an input (typed, a shipped example or an opened
// file), hands its bytes to fdkeep's engine in a worker, and shows the
// verdict, the output file to download and the explanation of every
// dependency. Loaded after examples.js (fdkeepExamples) and engine.js
// (fdkeepWorker).
"use strict";

(() => {
  const kTypedName = "input.txt";  // what messages call a typed input
  // Larger files are checked, not edited: editing a text area of a
  // megabyte is slow. The text area shows their start, short enough to
  // lay out at once.
  const kEditableBytes = 256 << 10;
  const kPreviewBytes = 64 << 10;
  const kPage = 500;               // explained dependencies shown at a time
  const element = (id) => document.getElementById(id);
  const ui = {
    input: element("input"), file: element("file"),
    fileNote: element("file-note"), fileAbout: element("file-about"),
    check: element("check"), stop: element("stop"),
    working: element("working"), status: element("status"),
    result: element("result"), stale: element("stale"),
    verdict: element("verdict"), verdictLine: element("verdict-line"),
    meaning: element("verdict-meaning"), download: element("download"),
    downloadLine: element("download-line"), timing: element("timing"),
    why: element("why"), summary: element("summary"),
    onlyLost: element("only-lost"), explanation: element("explanation"),
    more: element("more"),
  };

  // The page's one state: the input, the engine and the check under way.
  const state = {
    name: kTypedName,  // the input's name, as the command line's file name
    fileBytes: null,   // an opened file's bytes, checked as they are
    previewLines: 0,   // how many of its lines the text area shows
    worker: null,
    broken: false,     // the worker failed and must be replaced
    nextId: 1,
    checks: 0,         // checks ended so far
    running: null,     // {id, name, bytes, started, ticker}
    downloadUrl: null,
    shown: null,       // the explanation on display (see showExplanation)
  };

  // --- The engine ---------------------------------------------------------

  const workerSource = "(" + fdkeepWorker.toString() + ")();";

  function startEngine() {
    const url = URL.createObjectURL(
        new Blob([workerSource], { type: "text/javascript" }));
    const worker = new Worker(url);
    worker.onmessage = (event) => {
      if (event.data.step === "ready") URL.revokeObjectURL(url);
      if (worker === state.worker) received(event.data);
    };
    worker.onerror = (event) => {
      event.preventDefault();
      if (worker === state.worker)
        received({ step: "failed", message: event.message });
    };
    state.worker = worker;
  }

  function restartEngine() {
    state.worker.terminate();
    state.broken = false;
    startEngine();
  }

  function received(message) {
    const running = state.running;
    if (message.step === "ready") {
      // A check sent before the engine was ready starts now.
      if (running) running.started = Math.max(running.started,
                                              performance.now());
      else setStatus("Ready.");
      return;
    }
    if (message.step === "failed") {
      // A worker that failed may be in any state: the next check starts a
      // new one, and a failed check starts one at once.
      state.broken = true;
      if (!running) {
        setStatus("The engine failed: " + message.message + ".");
      } else if (message.id === undefined || message.id === running.id) {
        restartEngine();
        finish("The check failed: " + message.message + ".");
      }
      return;
    }
    if (!running || message.id !== running.id) return;  // a stopped check
    if (message.step === "verdict" && message.outcome === "rejected") {
      showRejected(message.message, running);
      finish("");
    } else if (message.step === "verdict") {
      showVerdict(new Uint8Array(message.output), running);
      running.checkedMs = performance.now() - running.started;
      setStatus("Explaining…");
    } else if (message.step === "explanation") {
      showExplanation(message);
      running.explainedMs = performance.now() - running.started;
      showTiming(running);
      finish("");
    }
  }

  // --- Checking -------------------------------------------------------------

  function inputBytes() {
    return state.fileBytes || new TextEncoder().encode(ui.input.value);
  }

  function check() {
    if (state.running) return;
    if (state.broken) restartEngine();
    const running = { id: state.nextId++, name: state.name,
                      bytes: inputBytes(), started: performance.now() };
    state.running = running;
    state.worker.postMessage({ id: running.id, name: running.name,
                               bytes: running.bytes });
    ui.check.disabled = true;
    ui.stop.hidden = false;
    ui.working.hidden = false;
    for (const section of [ui.result, ui.why])
      section.setAttribute("aria-busy", "true");
    const tick = () => setStatus("Checking… " + seconds(running.started));
    tick();
    running.ticker = setInterval(tick, 100);
  }

  function stop() {
    if (!state.running) return;
    restartEngine();
    finish("Stopped.");
  }

  // Ends the check under way, whatever became of it, and counts it in the
  // page's data-checks attribute, which tells a test driving the page that
  // a check is over.
  function finish(status) {
    clearInterval(state.running.ticker);
    state.running = null;
    document.body.dataset.checks = ++state.checks;
    ui.check.disabled = false;
    ui.stop.hidden = true;
    ui.working.hidden = true;
    for (const section of [ui.result, ui.why])
      section.removeAttribute("aria-busy");
    setStatus(status);
  }

  function setStatus(text) { ui.status.textContent = text; }

  function seconds(since) {
    return ((performance.now() - since) / 1000).toFixed(1) + " s";
  }

  // --- The verdict ----------------------------------------------------------

  // The last line of the output file, the verdict, as fdkeep writes it:
  // "függőségörző" or "nem függőségörző" in ISO-8859-2.
  function verdictOf(output) {
    const end = output.length - 1;  // the verdict's line feed
    const start = output.lastIndexOf(10, end - 1) + 1;
    return new TextDecoder("iso-8859-2").decode(output.subarray(start, end));
  }

  function showVerdict(output, running) {
    const verdict = verdictOf(output);
    const kept = !verdict.startsWith("nem ");
    newResult(kept ? "kept" : "lost");
    ui.verdictLine.textContent = verdict;
    ui.verdictLine.lang = "hu";
    ui.meaning.textContent = kept
        ? "The decomposition preserves every dependency."
        : "The decomposition does not preserve every dependency.";
    const outputName = running.name.replace(/\.txt$/, "") + ".out";
    state.downloadUrl = URL.createObjectURL(
        new Blob([output], { type: "application/octet-stream" }));
    ui.download.href = state.downloadUrl;
    ui.download.download = outputName;
    ui.download.textContent = "Download the output file (" + outputName +
                              ", " + output.length.toLocaleString("en") +
                              " bytes)";
    ui.downloadLine.hidden = false;
  }

  // fdkeep's message for a dependency line without "->" is
  // "NAME:LINE: dependency has no "->"".
  function showRejected(message, running) {
    newResult("rejected");
    ui.verdictLine.textContent = "No verdict";
    ui.verdictLine.lang = "en";
    const rest = message.slice(running.name.length + 1);
    const line = Number((/^(\d+): /.exec(rest) || [])[1]);
    ui.meaning.replaceChildren(
        "fdkeep rejects this input and writes no verdict: ",
        line ? lineLink(line, "line " + line) : "a line",
        " is among the dependencies but has no ", code("->"), ". It says:",
        document.createElement("br"), code("fdkeep: " + message));
    ui.downloadLine.hidden = true;
    ui.timing.textContent = "The check took " +
        Math.round(performance.now() - running.started) + " ms.";
  }

  function newResult(kind) {
    if (state.downloadUrl) URL.revokeObjectURL(state.downloadUrl);
    state.downloadUrl = null;
    ui.verdict.className = "verdict " + kind;
    ui.result.hidden = false;
    ui.result.classList.remove("stale");
    ui.stale.hidden = true;
    ui.why.hidden = true;
    ui.why.classList.remove("stale");
    ui.timing.textContent = "";
    ui.timing.removeAttribute("data-check-ms");
  }

  function showTiming(running) {
    ui.timing.dataset.checkMs = running.checkedMs.toFixed(1);
    ui.timing.textContent =
        "The verdict took " + Math.round(running.checkedMs) + " ms, the " +
        "explanation " + Math.round(running.explainedMs) + " ms in all, on " +
        "this machine.";
  }

  function code(text) {
    const c = document.createElement("code");
    c.textContent = text;
    return c;
  }

  // --- The explanation ------------------------------------------------------

  // message: the worker's explanation, the text in UTF-8 cut into blocks.
  function showExplanation(message) {
    const text = new Uint8Array(message.text);
    const blocks = message.blocks;
    const count = blocks.length - 1;
    const decoder = new TextDecoder();
    state.shown = {
      count,
      block: (i) => decoder.decode(text.subarray(blocks[i], blocks[i + 1] - 1)),
      lost: message.lost,
      lostCount: message.lost.reduce((sum, lost) => sum + lost, 0),
      next: 0,
    };
    ui.summary.textContent = decoder.decode(text.subarray(blocks[count]))
                                    .trim();
    ui.why.hidden = false;
    ui.explanation.replaceChildren();
    showMore();
  }

  // Adds the next page of explained dependencies (only the lost ones when
  // asked), and offers the rest behind a button.
  function showMore() {
    const shown = state.shown;
    const onlyLost = ui.onlyLost.checked;
    const items = document.createDocumentFragment();
    let added = 0;
    for (; shown.next < shown.count && added < kPage; ++shown.next) {
      if (onlyLost && !shown.lost[shown.next]) continue;
      items.append(explained(shown.block(shown.next), shown.lost[shown.next]));
      ++added;
    }
    ui.explanation.append(items);
    const total = onlyLost ? shown.lostCount : shown.count;
    const left = total - ui.explanation.childElementCount;
    ui.more.hidden = left <= 0;
    ui.more.textContent = "Show " + Math.min(left, kPage) + " more (" +
                          left.toLocaleString("en") + " not shown)";
  }

  function refilter() {
    if (!state.shown) return;
    state.shown.next = 0;
    ui.explanation.replaceChildren();
    showMore();
  }

  // Where a line of an explained dependency cites an input line: its first
  // line ("line N: " and the dependency's text), a step of a derivation
  // (indented "line N: ") and the schema that holds both sides.
  const kCitation =
      /^( *|  preserved: both sides lie in one schema, )line (\d+): /;

  // One dependency's block of the text explanation, with the input lines
  // that it cites made links to them.
  function explained(block, lost) {
    const item = document.createElement("li");
    item.className = lost ? "lost" : "kept";
    const pre = document.createElement("pre");
    block.split("\n").forEach((text, index) => {
      if (index > 0) pre.append("\n");
      const citation = kCitation.exec(text);
      if (!citation) {
        pre.append(text);
        return;
      }
      const before = citation[1];
      const number = Number(citation[2]);
      pre.append(before, lineLink(number, "line " + number),
                 text.slice(citation[0].length - 2));
    });
    item.append(pre);
    return item;
  }

  function lineLink(line, text) {
    const link = document.createElement("a");
    link.href = "#input";
    link.className = "line";
    link.dataset.line = line;
    link.textContent = text;
    return link;
  }

  // Selects line number (counted from 1) in the text area and scrolls to it.
  function goToLine(number) {
    if (state.fileBytes && number > state.previewLines) {
      setStatus("Line " + number + " is past the part of the file shown.");
      return;
    }
    const text = ui.input.value;
    let start = 0;
    for (let line = 1; line < number; ++line) {
      const feed = text.indexOf("\n", start);
      if (feed < 0) return;
      start = feed + 1;
    }
    const end = text.indexOf("\n", start);
    ui.input.focus();
    ui.input.setSelectionRange(start, end < 0 ? text.length : end);
    const lineHeight = parseFloat(getComputedStyle(ui.input).lineHeight);
    ui.input.scrollTop = Math.max(0, (number - 3) * lineHeight);
    ui.input.scrollIntoView({ block: "nearest" });
  }

  // --- The input ------------------------------------------------------------

  // Takes bytes, called name, as the input. Bytes that the text area would
  // keep exactly (UTF-8 without carriage returns or NUL, not too large) are
  // put there to edit; any others are checked as they are, and the text
  // area shows what it can of them.
  function useBytes(name, bytes) {
    const text = editableText(bytes);
    closeFile();
    state.name = name;
    if (text !== null) {
      ui.input.value = text;
      return;
    }
    state.fileBytes = bytes;
    const preview = previewOf(bytes);
    state.previewLines = preview.lines;
    ui.input.value = preview.text;
    ui.input.readOnly = true;
    ui.fileAbout.textContent = name + ": " + bytes.length.toLocaleString("en") +
        " bytes, checked as they are. " + preview.about;
    ui.fileNote.hidden = false;
  }

  function editableText(bytes) {
    if (bytes.length > kEditableBytes || bytes.includes(13) ||
        bytes.includes(0))
      return null;
    try {
      return new TextDecoder("utf-8", { fatal: true, ignoreBOM: true })
          .decode(bytes);
    } catch (notUtf8) {
      return null;
    }
  }

  // What the text area shows of bytes that it cannot hold exactly: the
  // text, how many lines of the bytes it shows, and a note on why.
  function previewOf(bytes) {
    let part = bytes;
    let lines = Infinity;
    const notes = [];
    if (bytes.length > kPreviewBytes) {
      part = bytes.subarray(0, bytes.lastIndexOf(10, kPreviewBytes) + 1 ||
                                   kPreviewBytes);
      lines = part.reduce((count, byte) => count + (byte === 10), 0);
      notes.push("It is too large to edit here; its start is shown.");
    }
    let text;
    try {
      text = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true })
          .decode(part);
    } catch (notUtf8) {
      text = new TextDecoder("iso-8859-2").decode(part);
      notes.push("It is not UTF-8; it is shown as ISO-8859-2.");
    }
    if (bytes.includes(13))
      notes.push("It holds carriage returns (shown as ␍): with Windows " +
                 "line endings no line is empty, so every line, the " +
                 "dependencies included, is read as a schema.");
    text = text.replace(/\r/g, "␍").replace(/\0/g, "␀");
    return { text, lines, about: notes.join(" ") };
  }

  function closeFile() {
    state.fileBytes = null;
    state.previewLines = 0;
    state.name = kTypedName;
    ui.input.readOnly = false;
    ui.fileNote.hidden = true;
    ui.file.value = "";
  }

  function fromHex(hex) {
    const bytes = new Uint8Array(hex.length / 2);
    for (let i = 0; i < bytes.length; ++i)
      bytes[i] = parseInt(hex.substr(2 * i, 2), 16);
    return bytes;
  }

  function edited() {
    state.name = kTypedName;
    if (!ui.result.hidden) {
      ui.result.classList.add("stale");
      ui.why.classList.add("stale");
      ui.stale.hidden = false;
    }
  }

  // --- Wiring -------------------------------------------------------------

  const examples = element("examples");
  for (const example of fdkeepExamples) {
    const button = document.createElement("button");
    button.type = "button";
    button.textContent = example.name.replace(/\.txt$/, "");
    button.addEventListener("click", () => {
      if (state.running) return;
      useBytes(example.name, fromHex(example.hex));
      check();
    });
    examples.append(button, " ");
  }
  ui.file.addEventListener("change", async () => {
    const file = ui.file.files[0];
    if (!file || state.running) return;
    useBytes(file.name, new Uint8Array(await file.arrayBuffer()));
    check();
  });
  element("close-file").addEventListener("click", () => {
    closeFile();
    ui.input.value = "";
    ui.input.focus();
  });
  ui.input.addEventListener("input", edited);
  ui.input.addEventListener("keydown", (event) => {
    if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      check();
    }
  });
  ui.check.addEventListener("click", check);
  ui.stop.addEventListener("click", stop);
  ui.more.addEventListener("click", showMore);
  ui.onlyLost.addEventListener("change", refilter);
  document.addEventListener("click", (event) => {
    const link = event.target.closest("a.line");
    if (!link) return;
    event.preventDefault();
    goToLine(Number(link.dataset.line));
  });

  setStatus("Starting the engine…");
  startEngine();
  const first = fdkeepExamples.find((e) => e.name === "zip-codes.txt") ||
                fdkeepExamples[0];
  if (first) {
    useBytes(first.name, fromHex(first.hex));
    check();
  }
})();
