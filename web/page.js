// fdkeep's page: takes an input (typed, a shipped example or an opened
// file), hands its bytes to fdkeep's engine in a worker, and shows the
// verdict, the output file to download and the explanation of every
// dependency, in English or Hungarian. Loaded after examples.js
// (fdkeepExamples), engine.js (fdkeepWorker) and text.js (fdkeepText).
"use strict";

(() => {
  // The engine's name for a typed input; the page calls it "the input".
  const kTypedName = "input.txt";
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
    elapsed: element("elapsed"), source: element("source"),
    pasteNote: element("paste-note"),
    result: element("result"), stale: element("stale"),
    whyStale: element("why-stale"),
    verdict: element("verdict"), verdictLine: element("verdict-line"),
    meaning: element("verdict-meaning"), download: element("download"),
    downloadLine: element("download-line"), timing: element("timing"),
    why: element("why"), summary: element("summary"),
    onlyLost: element("only-lost"), explanation: element("explanation"),
    more: element("more"),
  };

  // The page's texts are written in English; the Hungarian ones come from
  // the catalogue that the engine holds, po/hu.po. An element marked
  // data-message holds an English text, in which each child element stands
  // as {1}, {2}, ... in order. Texts that the code writes are message()
  // calls on English literals. Both are found by a test that checks each
  // against the catalogue.
  const kLanguageKey = "fdkeep-language";
  const language = {
    chosen: chosenLanguage(),  // "en" or "hu"
    catalogue: null,           // Map: English -> Hungarian, once it has come
    marked: [...document.querySelectorAll("[data-message]")].map(markedText),
    shown: new Map(),          // element -> make(): see show()
  };

  // The page's one state: the input, the engine and the check under way.
  const state = {
    name: kTypedName,  // the input's name, as the command line's file name
    typed: true,       // typed or changed here, not a file or an example
    fileBytes: null,   // an opened file's bytes, checked as they are
    latin2: false,     // they are not UTF-8, and shown as ISO-8859-2
    previewLines: 0,   // how many of its lines the text area shows
    worker: null,
    started: false,    // the first engine has said it is ready
    broken: false,     // the worker failed and must be replaced
    reading: 0,        // counts the files opened, to take only the last
    nextId: 1,
    checks: 0,         // checks ended so far
    running: null,     // {id, name, bytes, started, ticker}
    downloadUrl: null,
    shown: null,       // the explanation on display (see showExplanation)
  };

  // --- Language -------------------------------------------------------------

  // The reader's choice, if remembered; otherwise the first of the browser's
  // languages that is English or Hungarian; otherwise English.
  function chosenLanguage() {
    try {
      const remembered = localStorage.getItem(kLanguageKey);
      if (remembered === "en" || remembered === "hu") return remembered;
    } catch (unavailable) {
      // Storage may be turned off; the browser's languages decide.
    }
    for (const tag of navigator.languages || [navigator.language || ""]) {
      const primary = String(tag).toLowerCase().split("-")[0];
      if (primary === "en" || primary === "hu") return primary;
    }
    return "en";
  }

  // The language that the page's texts are shown in: Hungarian only once
  // the catalogue has come from the engine.
  function pageLanguage() {
    return language.chosen === "hu" && language.catalogue ? "hu" : "en";
  }

  // english in the page's language, with {1}, {2}, ... replaced by values,
  // texts or nodes. Every text that the code shows goes through here as a
  // literal. Returns a text when the values are all texts, and otherwise a
  // list of texts and nodes.
  function message(english, ...values) {
    const text = pageLanguage() === "hu" &&
                 language.catalogue.get(english) || english;
    const parts = text.split(/\{(\d+)\}/);
    for (let i = 1; i < parts.length; i += 2) {
      const value = values[Number(parts[i]) - 1];
      parts[i] = value === undefined ? "{" + parts[i] + "}"
          : value instanceof Node ? value : String(value);
    }
    return parts.every((part) => typeof part === "string")
        ? parts.join("") : parts.filter((part) => part !== "");
  }

  // An element marked data-message: its English text and its children.
  function markedText(element) {
    const children = [];
    let english = "";
    for (const node of element.childNodes) {
      if (node.nodeType === Node.ELEMENT_NODE) {
        children.push(node);
        english += "{" + children.length + "}";
      } else if (node.nodeType === Node.TEXT_NODE) {
        english += node.data;
      }
    }
    english = english.replace(/[ \t\n]+/g, " ").trim();
    return { element, english, children };
  }

  function put(element, content) {
    element.replaceChildren(...[content].flat(Infinity));
  }

  // Shows what make() returns (a message) in element, and makes it again
  // whenever the language changes.
  function show(element, make) {
    language.shown.set(element, make);
    put(element, make());
  }

  // A part of a text that is in a language of its own, such as the verdict,
  // which is always Hungarian.
  function inLanguage(lang, text) {
    const span = document.createElement("span");
    span.lang = lang;
    span.textContent = text;
    return span;
  }

  function amount(n) {
    return n.toLocaleString(pageLanguage());
  }

  // Shows every text of the page in its language.
  function render() {
    const lang = pageLanguage();
    document.documentElement.lang = lang;
    for (const { element, english, children } of language.marked)
      put(element, message(english, ...children));
    for (const [element, make] of language.shown) put(element, make());
    ui.working.setAttribute("aria-label", message("working"));
    for (const button of document.querySelectorAll("[data-language]"))
      button.setAttribute("aria-pressed",
                          String(button.dataset.language === language.chosen));
  }

  // The reader chose a language: it is remembered, the page's texts change
  // and the explanation is asked for again in it. A check under way starts
  // again; a result of the input beside it is checked again. A result of
  // an earlier input, which says so, keeps the language it was made in.
  function choose(chosen) {
    if (chosen === language.chosen) return;
    language.chosen = chosen;
    try {
      localStorage.setItem(kLanguageKey, chosen);
    } catch (unavailable) {
      // Not remembered, then.
    }
    render();
    const current = !ui.result.hidden && ui.stale.hidden;
    if (state.running) {
      stop(() => "");
      check({ scroll: false });
    } else if (current) {
      check({ scroll: false });
    }
  }

  // --- The engine ---------------------------------------------------------

  const workerSource = "(" + fdkeepWorker.toString() + ")();";

  function startEngine() {
    const url = URL.createObjectURL(
        new Blob([workerSource], { type: "text/javascript" }));
    const worker = new Worker(url);
    worker.onmessage = (event) => {
      if (event.data.step === "ready") URL.revokeObjectURL(url);
      if (event.data.catalogue && !language.catalogue) {
        language.catalogue = fdkeepText.readCatalogue(event.data.catalogue);
        render();
        showPage();
      }
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

  function received(reply) {
    const running = state.running;
    if (reply.step === "ready") {
      // A check sent before the engine was ready starts now. An engine
      // started again after Stop or a failure leaves the status alone.
      if (running) running.started = Math.max(running.started,
                                              performance.now());
      else if (!state.started) setStatus(() => message("Ready."));
      state.started = true;
      return;
    }
    if (reply.step === "failed") {
      // A worker that failed may be in any state: the next check starts a
      // new one, and a failed check starts one at once. The worker's reason
      // is English.
      state.broken = true;
      const reason = () => reply.message === "out of memory"
          ? message("out of memory") : inLanguage("en", reply.message);
      if (!running) {
        setStatus(() => message("The engine failed: {1}.", reason()));
      } else if (reply.id === undefined || reply.id === running.id) {
        restartEngine();
        finish(() => message("The check failed: {1}.", reason()));
      }
      return;
    }
    if (!running || reply.id !== running.id) return;  // a stopped check
    if (reply.step === "verdict" && reply.outcome === "rejected") {
      finish(showRejected(reply.message, running));
      bringIntoView(running);
    } else if (reply.step === "verdict") {
      running.said = showVerdict(new Uint8Array(reply.output), running);
      running.checkedMs = performance.now() - running.started;
      setStatus(() => [running.said(), " ", message("Explaining…")]);
      bringIntoView(running);
    } else if (reply.step === "explanation") {
      showExplanation(reply, running);
      running.explainedMs = performance.now() - running.started;
      showTiming(running);
      finish(running.said);
    }
  }

  // --- Checking -------------------------------------------------------------

  function inputBytes() {
    return state.fileBytes || new TextEncoder().encode(ui.input.value);
  }

  // Checks the input as it is now, and brings the verdict into view unless
  // told not to. The result of an earlier input is taken away first: what
  // the page shows always belongs to the input beside it. The explanation
  // is asked for in the language chosen.
  function check({ scroll = true } = {}) {
    if (state.running) return;
    if (state.broken) restartEngine();
    clearResult();
    const lang = language.chosen;
    const running = { id: state.nextId++, name: state.name,
                      typed: state.typed, latin2: state.latin2, lang,
                      bytes: inputBytes(), started: performance.now(),
                      scroll: scroll && state.checks > 0 };
    state.running = running;
    state.worker.postMessage({ id: running.id, name: running.name,
                               bytes: running.bytes,
                               hungarian: lang === "hu" });
    ui.check.disabled = true;
    ui.stop.hidden = false;
    ui.working.hidden = false;
    setStatus(() => message("Checking…"));
    const tick = () => {
      ui.elapsed.textContent = seconds(running.started);
    };
    tick();
    running.ticker = setInterval(tick, 100);
  }

  // Ends the check under way, if any, with status() as its last word.
  function stop(status = () => message("Stopped.")) {
    if (!state.running) return;
    restartEngine();
    finish(status);
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
    ui.elapsed.textContent = "";
    setStatus(status);
  }

  // The status line says what make() returns, in the page's language.
  function setStatus(make) { show(ui.status, make); }

  function seconds(since) {
    return ((performance.now() - since) / 1000).toLocaleString(
        pageLanguage(), { minimumFractionDigits: 1,
                          maximumFractionDigits: 1 }) + " s";
  }

  // --- The verdict ----------------------------------------------------------

  // The last line of the output file, the verdict, as fdkeep writes it:
  // "függőségörző" or "nem függőségörző" in ISO-8859-2.
  function verdictOf(output) {
    const end = output.length - 1;  // the verdict's line feed
    const start = output.lastIndexOf(10, end - 1) + 1;
    return new TextDecoder("iso-8859-2").decode(output.subarray(start, end));
  }

  // Shows the verdict in output, and returns a function that says it in
  // words for the status. The verdict itself is Hungarian in every
  // language.
  function showVerdict(output, running) {
    const verdict = verdictOf(output);
    const kept = !verdict.startsWith("nem ");
    newResult(kept ? "kept" : "lost");
    show(ui.verdictLine, () => verdict);
    ui.verdictLine.lang = "hu";
    const meaning = () => kept
        ? message("The decomposition preserves every dependency.")
        : message("The decomposition does not preserve every dependency.");
    show(ui.meaning, meaning);
    const outputName = running.name.replace(/\.txt$/, "") + ".out";
    state.downloadUrl = URL.createObjectURL(
        new Blob([output], { type: "application/octet-stream" }));
    ui.download.href = state.downloadUrl;
    ui.download.download = outputName;
    show(ui.download, () => message(
        "Download the output file ({1}, {2} bytes)", outputName,
        amount(output.length)));
    ui.downloadLine.hidden = false;
    return () => message("Verdict: {1}. {2}", inLanguage("hu", verdict),
                         meaning());
  }

  // fdkeep's message for a dependency line without "->" is
  // "NAME:LINE: dependency has no "->"", always in English. A typed input
  // has no file name, so fdkeep's words are quoted only for a file. Returns
  // a function that says it for the status.
  function showRejected(said, running) {
    newResult("rejected");
    show(ui.verdictLine, () => message("No verdict"));
    ui.verdictLine.removeAttribute("lang");
    const rest = said.slice(running.name.length + 1);
    const line = Number((/^(\d+): /.exec(rest) || [])[1]);
    const where = () => line ? lineLink(line, message("line {1}", line))
                             : inLanguage("en", said);
    show(ui.meaning, () => running.typed
        ? message("fdkeep rejects the input and writes no verdict: {1} is " +
                  "among the dependencies but has no {2}.", where(),
                  code("->"))
        : [message("fdkeep rejects {1} and writes no verdict: {2} is among " +
                   "the dependencies but has no {3}.", running.name, where(),
                   code("->")),
           " ", message("It says:"), document.createElement("br"),
           code("fdkeep: " + said, "en")]);
    ui.downloadLine.hidden = true;
    const ms = Math.round(performance.now() - running.started);
    show(ui.timing, () => message("The check took {1} ms.", amount(ms)));
    return () => line ? message("No verdict: line {1} has no \"->\".", line)
                      : message("No verdict");
  }

  function newResult(kind) {
    clearResult();
    ui.verdict.className = "verdict " + kind;
    ui.result.hidden = false;
  }

  // Takes the shown result away, with its output file.
  function clearResult() {
    if (state.downloadUrl) URL.revokeObjectURL(state.downloadUrl);
    state.downloadUrl = null;
    state.shown = null;
    ui.result.hidden = true;
    ui.why.hidden = true;
    markStale(false);
    ui.explanation.replaceChildren();
    show(ui.timing, () => "");
    ui.timing.removeAttribute("data-check-ms");
  }

  // Says, in words, whether the result shown belongs to an earlier input.
  function markStale(stale) {
    ui.result.classList.toggle("stale", stale);
    ui.why.classList.toggle("stale", stale);
    ui.stale.hidden = !stale;
    ui.whyStale.hidden = !stale;
  }

  // After a check that the reader started, the verdict is scrolled into
  // view, whatever the width; the status line has already announced it.
  function bringIntoView(running) {
    if (running.scroll) ui.result.scrollIntoView({ block: "nearest" });
  }

  function showTiming(running) {
    const { checkedMs, explainedMs } = running;
    ui.timing.dataset.checkMs = checkedMs.toFixed(1);
    show(ui.timing, () => message(
        "The verdict took {1} ms, the explanation {2} ms in all, on this " +
        "machine.", amount(Math.round(checkedMs)),
        amount(Math.round(explainedMs))));
  }

  // Code, in lang when given (fdkeep's own messages are English).
  function code(text, lang) {
    const c = document.createElement("code");
    c.textContent = text;
    if (lang) c.lang = lang;
    return c;
  }

  // --- The explanation ------------------------------------------------------

  // reply: the worker's explanation, the text in UTF-8 cut into blocks, in
  // the language that the check asked for.
  function showExplanation(reply, running) {
    const text = new Uint8Array(reply.text);
    const blocks = reply.blocks;
    const count = blocks.length - 1;
    const decoder = new TextDecoder();
    state.shown = {
      count,
      block: (i) => decoder.decode(text.subarray(blocks[i], blocks[i + 1] - 1)),
      lost: reply.lost,
      lostCount: reply.lost.reduce((sum, lost) => sum + lost, 0),
      citation: citationOf(reply.citation),
      latin2: running.latin2,
      next: 0,
    };
    ui.summary.textContent = decoder.decode(text.subarray(blocks[count]))
                                    .trim();
    ui.summary.lang = running.lang;
    ui.explanation.lang = running.lang;
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
      items.append(explained(shown.block(shown.next), shown.lost[shown.next],
                             shown.latin2, shown.citation));
      ++added;
    }
    ui.explanation.append(items);
    const total = onlyLost ? shown.lostCount : shown.count;
    const left = total - ui.explanation.childElementCount;
    ui.more.hidden = left <= 0;
    show(ui.more, () => message("Show {1} more ({2} not shown)",
                                amount(Math.min(left, kPage)), amount(left)));
  }

  function refilter() {
    if (!state.shown) return;
    state.shown.next = 0;
    ui.explanation.replaceChildren();
    showMore();
  }

  // Where a line of an explained dependency cites an input line, in the
  // explanation's language (form, from the worker): its first line ("line
  // N: " and the dependency's text), a step of a derivation (indented "line
  // N: ") and the schema that holds both sides. Matches the line's start up
  // to the citation, the line number, and what follows it up to ": ".
  function citationOf(form) {
    const literal = (text) => text.replace(/[.*+?^${}()|[\]\\]/g, "\\$&");
    const starts = [" *"];
    if (form.schema !== null) starts.push(literal(form.schema));
    return new RegExp("^(" + starts.join("|") + ")(" + literal(form.before) +
                      "(\\d+)" + literal(form.after) + "): ");
  }

  // One dependency's block of the text explanation, with the input lines
  // that it cites (see citationOf) made links to them. With latin2, names
  // are shown as the input area shows a file that is not UTF-8 (see
  // withNames).
  function explained(block, lost, latin2, citation) {
    const item = document.createElement("li");
    item.className = lost ? "lost" : "kept";
    const pre = document.createElement("pre");
    const text = latin2 ? (part) => withNames(pre, part)
                        : (part) => pre.append(part);
    block.split("\n").forEach((line, index) => {
      if (index > 0) pre.append("\n");
      const cited = citation.exec(line);
      if (!cited) {
        text(line);
        return;
      }
      pre.append(cited[1], lineLink(Number(cited[3]), cited[2]));
      text(line.slice(cited[0].length - 2));
    });
    item.append(pre);
    return item;
  }

  // The explanation quotes a name (or a cited line) whose bytes are not
  // UTF-8, writing each such byte as \xHH. Appends text to parent with each
  // such quotation decoded as ISO-8859-2, as the input area shows the file;
  // the quotation itself, the exact bytes, stays in its title. A quotation
  // that would decode to something invisible or ambiguous stays as it is.
  function withNames(parent, text) {
    let at = 0;
    for (const quoted of text.matchAll(/"((?:[^"\\]|\\.)*)"/g)) {
      const name = fdkeepText.latin2Name(quoted[1]);
      if (name === null) continue;
      const span = document.createElement("span");
      span.className = "name";
      span.title = quoted[0];
      span.textContent = name;
      parent.append(text.slice(at, quoted.index), span);
      at = quoted.index + quoted[0].length;
    }
    parent.append(text.slice(at));
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
      setStatus(() => message("Line {1} is past the part of the file shown.",
                              number));
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

  // Takes bytes, called name (kind: "file" or "example"), as the input.
  // Bytes that the text area would keep exactly (UTF-8 without carriage
  // returns or NUL, not too large) are put there to edit; any others are
  // checked as they are, and the text area shows what it can of them.
  function useBytes(name, bytes, kind) {
    closeFile();
    if (kind !== "file") ui.file.value = "";
    state.name = name;
    state.typed = false;
    const utf8 = fdkeepText.isUtf8(bytes);
    show(ui.source, () => kind === "file"
        ? message("The file {1}, {2} bytes.", name, amount(bytes.length))
        : message("The example {1}, {2} bytes.", name, amount(bytes.length)));
    if (utf8 && bytes.length <= kEditableBytes && !bytes.includes(13) &&
        !bytes.includes(0)) {
      ui.input.value = new TextDecoder().decode(bytes);
      return;
    }
    state.fileBytes = bytes;
    state.latin2 = !utf8;
    const preview = fdkeepText.previewOf(bytes, utf8, kPreviewBytes, message);
    state.previewLines = preview.lines;
    ui.input.value = preview.text;
    ui.input.readOnly = true;
    show(ui.fileAbout, () => [
      message("{1}: {2} bytes, checked as they are.", name,
              amount(bytes.length)),
      preview.notes.map((note) => [" ", note()])]);
    ui.fileNote.hidden = false;
  }

  // Leaves the input to be typed: no file is checked as it is.
  function closeFile() {
    state.fileBytes = null;
    state.latin2 = false;
    state.previewLines = 0;
    state.name = kTypedName;
    state.typed = true;
    ui.input.readOnly = false;
    ui.fileNote.hidden = true;
    ui.pasteNote.hidden = true;
  }

  // The input has changed: it is typed now. A check under way is of the
  // input before, and stops; a paste or a drop is a new input, and is
  // checked at once. A result shown says that it is of the input before.
  function edited(event) {
    if (!state.typed) {
      state.name = kTypedName;
      state.typed = true;
      const before = language.shown.get(ui.source);
      show(ui.source, () => [before(), " ", message("Changed here.")]);
    }
    const newInput = /^insertFrom(Paste|Drop)/.test(event.inputType || "");
    if (state.running) {
      stop(newInput ? () => "" : () => message("Stopped: the input changed."));
      if (newInput) check();
      return;
    }
    if (!ui.result.hidden) markStale(true);
  }

  // The text area keeps line feeds only: say so when pasted text had
  // carriage returns, which a file keeps.
  function pasted(event) {
    const text = event.clipboardData ? event.clipboardData.getData("text")
                                     : "";
    ui.pasteNote.hidden = !text.includes("\r");
  }

  // Stops a check under way, and takes a new input from a file or an
  // example.
  function takeBytes(name, bytes, kind) {
    stop(() => "");
    useBytes(name, bytes, kind);
    check();
  }

  // --- Wiring -------------------------------------------------------------

  const examples = element("examples");
  for (const example of fdkeepExamples) {
    const button = document.createElement("button");
    button.type = "button";
    button.textContent = example.name.replace(/\.txt$/, "");
    button.addEventListener("click", () => {
      takeBytes(example.name, fdkeepText.fromHex(example.hex), "example");
    });
    examples.append(button, " ");
  }
  ui.file.addEventListener("change", async () => {
    const file = ui.file.files[0];
    if (!file) return;
    const reading = ++state.reading;
    stop(() => message("Reading {1}…", file.name));
    const bytes = new Uint8Array(await file.arrayBuffer());
    if (reading === state.reading) takeBytes(file.name, bytes, "file");
  });
  element("close-file").addEventListener("click", () => {
    stop(() => message("Stopped: the input changed."));
    closeFile();
    ui.file.value = "";
    show(ui.source, () => message("Typed here."));
    ui.input.value = "";
    if (!ui.result.hidden) markStale(true);
    ui.input.focus();
  });
  ui.input.addEventListener("input", edited);
  ui.input.addEventListener("paste", pasted);
  ui.input.addEventListener("keydown", (event) => {
    if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      check();
    }
  });
  ui.check.addEventListener("click", () => check());
  ui.stop.addEventListener("click", () => stop());
  ui.more.addEventListener("click", showMore);
  ui.onlyLost.addEventListener("change", refilter);
  for (const button of document.querySelectorAll("[data-language]"))
    button.addEventListener("click", () => choose(button.dataset.language));
  document.addEventListener("click", (event) => {
    const link = event.target.closest("a.line");
    if (!link) return;
    event.preventDefault();
    goToLine(Number(link.dataset.line));
  });

  // A reader of Hungarian sees no English while the catalogue comes: the
  // page waits for it, a second at most (an engine that fails to start
  // leaves the page English).
  function showPage() { document.documentElement.classList.remove("waiting"); }
  if (language.chosen === "hu") {
    document.documentElement.classList.add("waiting");
    setTimeout(showPage, 1000);
  }
  render();
  setStatus(() => message("Starting the engine…"));
  startEngine();
  const first = fdkeepExamples.find((e) => e.name === "zip-codes.txt") ||
                fdkeepExamples[0];
  if (first) takeBytes(first.name, fdkeepText.fromHex(first.hex), "example");
})();
