// The worker that runs fdkeep's engine off the page's main thread. The build
// puts this file after the engine's loader (createFdkeep), inside one
// function that the page starts as a worker from a Blob.
//
// The page sends {id, name, bytes, hungarian}: the input's name (used in
// messages, as a file name is on the command line), its bytes, a
// Uint8Array, and whether the explanation is wanted in Hungarian. The
// worker answers twice, in this order:
//   {id, step: "verdict", outcome: "done", output, ms}: output is the output
//     file's bytes (an ArrayBuffer), ms the engine's time;
//   {id, step: "explanation", text, blocks, lost, ms}: text is the text
//     explanation in UTF-8 (an ArrayBuffer); blocks (a Uint32Array) holds
//     where each dependency's block starts and, last, where the summary
//     starts (with the empty line before it, if any); lost (a Uint8Array)
//     is 1 for each lost dependency; citation says how the text cites an
//     input line (see formsOf).
// or once, for a dependency line without "->":
//   {id, step: "verdict", outcome: "rejected", message}: fdkeep's message.
// With json: true in the request, text holds the JSON explanation instead,
// without blocks or lost.
//
// When memory runs out or the engine stops with an error it answers
// {id, step: "failed", message}, and the page starts a new worker. Once the
// engine has started it says {step: "ready", ms, catalogue}, catalogue being
// the text of the Hungarian catalogue (po/hu.po) that the page's own texts
// come from; if it cannot start, {step: "failed", message}.

const kDone = 0;
const kRejected = 1;
const kLineFeed = 10;
const kBlank = 32;
const encoder = new TextEncoder();

// Calls fdkeep_check or fdkeep_explain (call, with more arguments after the
// name) on bytes called name, and copies the reply out of the engine's
// memory: {outcome, bytes}.
function callEngine(engine, call, bytes, name, ...more) {
  const called = encoder.encode(name);
  const input = engine._malloc(bytes.length + 1);
  const label = engine._malloc(called.length + 1);
  let reply = 0;
  if (input && label) {
    engine.HEAPU8.set(bytes, input);
    engine.HEAPU8.set(called, label);
    reply = call(input, bytes.length, label, called.length, ...more);
  }
  engine._free(input);
  engine._free(label);
  const at = engine._fdkeep_reply_bytes(reply);
  const answer = {
    outcome: engine._fdkeep_outcome(reply),
    bytes: engine.HEAPU8.slice(at, at + engine._fdkeep_reply_size(reply)),
  };
  engine._fdkeep_release(reply);
  return answer;
}

// How the explanation writes, in each language, what the page looks for in
// it: how a lost dependency's block goes on (the start of its second line up
// to the first set, "  LOST: the decomposition derives from " in English),
// and how it cites a line: {before, after, schema}, "line N" being before +
// N + after, and schema what stands before the citation of the schema that
// holds both sides of a dependency. Found once per language by explaining
// two small inputs, so that the page reads every language alike.
const formsByLanguage = new Map();

function formsOf(engine, hungarian) {
  hungarian = Boolean(hungarian);
  if (formsByLanguage.has(hungarian)) return formsByLanguage.get(hungarian);
  const explain = (text) => new TextDecoder().decode(
      callEngine(engine, engine._fdkeep_explain, encoder.encode(text),
                 "input.txt", 0, hungarian ? 1 : 0).bytes).split("\n");
  const [cited, lostLine] = explain("A\nB\n\nA->B\n");  // line 4, lost
  const set = lostLine.indexOf("{");
  const head = cited.slice(0, cited.length - ": A->B".length);
  const at = head.lastIndexOf("4");
  const before = head.slice(0, at);
  const after = head.slice(at + 1);
  const [, kept] = explain("A,B\n\nA->B\n");  // both sides in line 1
  const schemaCited = before + "1" + after + ": A,B";
  const forms = {
    lost: encoder.encode(set >= 0 ? lostLine.slice(0, set) : lostLine),
    citation: {
      before, after,
      schema: kept.endsWith(schemaCited)
          ? kept.slice(0, kept.length - schemaCited.length) : null,
    },
  };
  formsByLanguage.set(hungarian, forms);
  return forms;
}

// Finds the blocks of a text explanation, whatever its language: the
// dependencies' blocks come first, each a line at the margin and indented
// lines after it, and no empty line among them; from the first empty line
// on (the repair, then the summary), or else from the last line, is the
// summary. A block whose second line starts with lostMark is a lost
// dependency's.
function blocksOf(text, lostMark) {
  const starts = [];
  const lost = [];
  const startsWith = (at, mark) => mark.every((b, i) => text[at + i] === b);
  const last = text.lastIndexOf(kLineFeed, text.length - 2) + 1;
  let at = 0;
  while (at < last && text[at] !== kLineFeed) {
    const next = text.indexOf(kLineFeed, at) + 1 || text.length;
    if (text[at] !== kBlank) {
      starts.push(at);
      lost.push(startsWith(next, lostMark) ? 1 : 0);
    }
    at = next;
  }
  starts.push(at);
  return { blocks: Uint32Array.from(starts), lost: Uint8Array.from(lost) };
}

function failed(id, message) {
  self.postMessage({ id, step: "failed", message });
}

function answer(engine, { id, name, bytes, json, hungarian }) {
  let started = performance.now();
  const check = callEngine(engine, engine._fdkeep_check, bytes, name);
  if (check.outcome === kRejected) {
    const message = new TextDecoder().decode(check.bytes);
    return self.postMessage({ id, step: "verdict", outcome: "rejected",
                              message });
  }
  if (check.outcome !== kDone) return failed(id, "out of memory");
  const output = check.bytes.buffer;
  self.postMessage({ id, step: "verdict", outcome: "done", output,
                     ms: performance.now() - started }, [output]);

  started = performance.now();
  const explained = callEngine(engine, engine._fdkeep_explain, bytes, name,
                               json ? 1 : 0, hungarian ? 1 : 0);
  if (explained.outcome !== kDone) return failed(id, "out of memory");
  const text = explained.bytes.buffer;
  const reply = { id, step: "explanation", text };
  if (!json) {
    const forms = formsOf(engine, hungarian);
    Object.assign(reply, blocksOf(explained.bytes, forms.lost),
                  { citation: forms.citation });
  }
  reply.ms = performance.now() - started;
  self.postMessage(reply, [text]);
}

const starting = performance.now();
const ready = createFdkeep().then((engine) => {
  const reply = engine._fdkeep_catalogue();
  const at = engine._fdkeep_reply_bytes(reply);
  const catalogue = new TextDecoder().decode(
      engine.HEAPU8.subarray(at, at + engine._fdkeep_reply_size(reply)));
  engine._fdkeep_release(reply);
  self.postMessage({ step: "ready", ms: performance.now() - starting,
                     catalogue });
  return engine;
});
ready.catch((error) => {
  self.postMessage({ step: "failed",
                     message: "the engine did not start: " + error });
});

self.onmessage = (event) => {
  ready.then((engine) => answer(engine, event.data))
      .catch((error) => failed(event.data.id, String(error)));
};
