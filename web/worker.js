// The worker that runs fdkeep's engine off the page's main thread. The build
// puts this file after the engine's loader (createFdkeep), inside one
// function that the page starts as a worker from a Blob.
//
// The page sends {id, name, bytes}: the input's name (used in messages, as
// a file name is on the command line) and its bytes, a Uint8Array. The
// worker answers twice, in this order:
//   {id, step: "verdict", outcome: "done", output, ms}: output is the output
//     file's bytes (an ArrayBuffer), ms the engine's time;
//   {id, step: "explanation", text, blocks, lost, ms}: text is the text
//     explanation in UTF-8 (an ArrayBuffer); blocks (a Uint32Array) holds
//     where each dependency's block starts and, last, where the summary
//     starts (with the empty line before it, if any); lost (a Uint8Array)
//     is 1 for each lost dependency.
// or once, for a dependency line without "->":
//   {id, step: "verdict", outcome: "rejected", message}: fdkeep's message.
// With json: true in the request, text holds the JSON explanation instead,
// without blocks or lost.
//
// When memory runs out or the engine stops with an error it answers
// {id, step: "failed", message}, and the page starts a new worker. Once the
// engine has started it says {step: "ready", ms}; if it cannot start,
// {step: "failed", message}.

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

// Finds the blocks of a text explanation: a block starts with a line
// "line N: ..." at the margin and goes on with indented lines; the second
// line of a lost dependency's block begins "  LOST". Any other line at the
// margin, or an empty one, starts the summary.
function blocksOf(text) {
  const starts = [];
  const lost = [];
  const startsWith = (at, mark) => mark.every((b, i) => text[at + i] === b);
  const blockMark = encoder.encode("line ");
  const lostMark = encoder.encode("  LOST");
  let at = 0;
  while (at < text.length) {
    const next = text.indexOf(kLineFeed, at) + 1 || text.length;
    if (startsWith(at, blockMark)) {
      starts.push(at);
      lost.push(startsWith(next, lostMark) ? 1 : 0);
    } else if (text[at] !== kBlank) {
      break;
    }
    at = next;
  }
  starts.push(at);
  return { blocks: Uint32Array.from(starts), lost: Uint8Array.from(lost) };
}

function failed(id, message) {
  self.postMessage({ id, step: "failed", message });
}

function answer(engine, { id, name, bytes, json }) {
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
                               json ? 1 : 0, 0);
  if (explained.outcome !== kDone) return failed(id, "out of memory");
  const text = explained.bytes.buffer;
  const reply = { id, step: "explanation", text };
  if (!json) Object.assign(reply, blocksOf(explained.bytes));
  reply.ms = performance.now() - started;
  self.postMessage(reply, [text]);
}

const starting = performance.now();
const ready = createFdkeep().then((engine) => {
  self.postMessage({ step: "ready", ms: performance.now() - starting });
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
