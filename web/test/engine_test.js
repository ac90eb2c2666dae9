// The page's engine, compiled to WebAssembly and run through its worker
// code under Node, against the native tools: the same output file, the same
// text and JSON explanations and the same message for a rejected line, on
// the shipped examples, the fuzz corpus, the hostile shapes at small sizes,
// the wide workload and seeded random inputs; and the Hungarian explanation
// against fdkeep-explain's under a Hungarian locale.
//
// node engine_test.js SITE FDKEEP FDKEEP_EXPLAIN INPUTS_PROGRAM SOURCE_DIR
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const test = require("node:test");

const [site, fdkeep, fdkeepExplain, inputsProgram, sourceDir] =
    process.argv.slice(2);

// Starts engine.js's worker with a stand-in for a worker's global scope.
// Returns ask(request): a promise of the worker's replies to it.
function startWorker() {
  const waiting = new Map();
  const self = {
    location: { href: "file:///engine.js" },
    postMessage(reply) {
      const entry = waiting.get(reply.id);
      if (!entry) return;
      entry.replies.push(reply);
      const last = reply.step === "explanation" || reply.step === "failed" ||
                   reply.outcome === "rejected";
      if (last) entry.resolve(entry.replies);
    },
  };
  const source = fs.readFileSync(path.join(site, "engine.js"), "utf8");
  new Function("self", source + "\nfdkeepWorker();")(self);
  let nextId = 1;
  return (request) => new Promise((resolve) => {
    const id = nextId++;
    waiting.set(id, { replies: [], resolve });
    self.onmessage({ data: { id, ...request } });
  });
}
const ask = startWorker();

// What the native tools make of the file at file.
function native(file, json) {
  const out = path.join(os.tmpdir(), `fdkeep-web-${process.pid}.out`);
  const run = spawnSync(fdkeep, [file, out]);
  const explain = (...args) =>
      spawnSync(fdkeepExplain, args, { maxBuffer: 1 << 30 }).stdout;
  const result = { status: run.status, stderr: run.stderr.toString(),
                   output: run.status === 0 ? fs.readFileSync(out) : null };
  fs.rmSync(out, { force: true });
  result.text = explain(file);
  if (json) result.json = explain("--json", file);
  return result;
}

// The engine's replies for the file at file, checked against the tools'.
async function expectSame(file, json = true) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const expected = native(file, json);
  const [verdict, explanation] = await ask({ name: file, bytes });
  if (expected.status !== 0) {
    assert.equal(verdict.outcome, "rejected", file);
    assert.equal("fdkeep: " + verdict.message + "\n", expected.stderr, file);
    return;
  }
  assert.equal(verdict.outcome, "done", file);
  assert.ok(Buffer.from(verdict.output).equals(expected.output),
            file + ": output file");
  const text = Buffer.from(explanation.text);
  assert.ok(text.equals(expected.text), file + ": text explanation");
  const lost = (text.toString().match(/^ {2}LOST/gm) || []).length;
  assert.equal(explanation.lost.reduce((a, b) => a + b, 0), lost, file);
  assert.equal(explanation.blocks.length - 1,
               (text.toString().match(/^line /gm) || []).length, file);
  if (!json) return;
  const [, asJson] = await ask({ name: file, bytes, json: true });
  assert.ok(Buffer.from(asJson.text).equals(expected.json),
            file + ": JSON explanation");
}

// The Hungarian explanation of the file at file: the text that
// fdkeep-explain writes under a Hungarian locale, cut into the same blocks
// and with the same lost dependencies as the English one.
async function expectSameInHungarian(file) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const [verdict, hungarian] = await ask({ name: file, bytes,
                                           hungarian: true });
  if (verdict.outcome !== "done") return;
  const [, english] = await ask({ name: file, bytes });
  const expected = spawnSync(fdkeepExplain, [file], {
    env: { ...process.env, LC_ALL: "", LC_MESSAGES: "", LANG: "hu_HU.UTF-8" },
    maxBuffer: 1 << 30,
  }).stdout;
  assert.ok(Buffer.from(hungarian.text).equals(expected),
            file + ": Hungarian text explanation");
  assert.deepEqual(hungarian.blocks.length, english.blocks.length, file);
  assert.deepEqual(hungarian.lost, english.lost, file);
}

function filesIn(folder, pattern = /./) {
  return fs.readdirSync(folder).filter((f) => pattern.test(f)).sort()
           .map((f) => path.join(folder, f));
}

// A seeded generator of small inputs that mix what trips a reader: names
// shared between schemas, chains, the empty name, names in no schema,
// repeated left sides, blanks, quotes and bytes that are not UTF-8, a
// carriage return, a rejected line, no empty line.
function randomInput(seed) {
  let x = seed * 2654435761 % 4294967296 || 1;
  const pick = (n) => {
    x ^= x << 13; x >>>= 0; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
    return x % n;
  };
  const names = ["A", "B", "C", "D", "E", "", " A", "x y", "\"q\"", "{b}",
                 "\\", "\xf5", "\xfc\xe9", "\xc3", "\u00e9", "Z\r", "ö"];
  const pool = names.slice(0, 4 + pick(names.length - 3));
  const list = () => Array.from({ length: 1 + pick(3) },
                                () => pool[pick(pool.length)]).join(",");
  const lines = [];
  for (let n = 1 + pick(5); n > 0; --n) lines.push(list());
  if (pick(10) > 0) lines.push("");
  const dependencies = [];
  for (let n = pick(7); n > 0; --n) {
    if (pick(6) === 0 && dependencies.length)
      dependencies.push(dependencies[pick(dependencies.length)]);
    else dependencies.push(list() + "->" + list());
  }
  if (pick(15) === 0) dependencies.push(list());  // no "->": rejected
  const text = lines.concat(dependencies).join("\n") + (pick(8) ? "\n" : "");
  return Buffer.from(text, "latin1");  // one byte per character below 256
}

test("the shipped examples", async () => {
  for (const file of filesIn(path.join(sourceDir, "examples"), /\.txt$/))
    await expectSame(file);
});

test("in Hungarian: the shipped examples and the fuzz corpus", async () => {
  for (const file of [
    ...filesIn(path.join(sourceDir, "examples"), /\.txt$/),
    ...filesIn(path.join(sourceDir, "tests", "corpus"))]) {
    await expectSameInHungarian(file);
  }
});

test("the fuzz corpus", async () => {
  for (const file of filesIn(path.join(sourceDir, "tests", "corpus")))
    await expectSame(file);
});

test("generated inputs: hostile shapes, the wide workload, 10 MB", async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "fdkeep-web-"));
  try {
    assert.equal(spawnSync(inputsProgram, [folder]).status, 0);
    for (const file of filesIn(folder, /^shape-/)) await expectSame(file);
    await expectSame(path.join(folder, "wide.txt"));
    await expectSame(path.join(folder, "big.txt"), false);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});

test("seeded random inputs", async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), "fdkeep-web-"));
  try {
    for (let seed = 1; seed <= 400; ++seed) {
      const file = path.join(folder, `random-${seed}.txt`);
      fs.writeFileSync(file, randomInput(seed));
      await expectSame(file);
    }
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
});
