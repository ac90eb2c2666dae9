// Bytes and texts for fdkeep's page, with no state of their own: the
// entries of the catalogue the texts come from, whether bytes are UTF-8,
// names decoded as ISO-8859-2, and the examples' bytes. Loaded before
// page.js, which uses them as fdkeepText.
"use strict";

const fdkeepText = (() => {
  // The entries of a catalogue in the PO format, as a Map from msgid to
  // msgstr, C escapes resolved and continued lines joined; without the
  // header, fuzzy entries and entries not translated.
  function readCatalogue(po) {
    const entries = new Map();
    let entry = null;  // {id, str, fuzzy}, and which string a "..." continues
    const unquote = (quoted) => quoted.slice(1, -1).replace(
        /\\(.)/g, (_, c) => ({ n: "\n", t: "\t", r: "\r" })[c] || c);
    const end = () => {
      if (entry && entry.id && entry.str && !entry.fuzzy)
        entries.set(entry.id, entry.str);
      entry = null;
    };
    let fuzzy = false;
    for (const line of po.split(/\r?\n/)) {
      let m;
      if (line.startsWith("#") && entry && entry.current) end();
      if (line.startsWith("#,") && /\bfuzzy\b/.test(line)) fuzzy = true;
      if ((m = /^msgid (".*")\s*$/.exec(line))) {
        if (entry) end();
        entry = { id: unquote(m[1]), str: "", fuzzy, current: "id" };
        fuzzy = false;
      } else if ((m = /^msgstr (".*")\s*$/.exec(line)) && entry) {
        entry.str = unquote(m[1]);
        entry.current = "str";
      } else if ((m = /^(".*")\s*$/.exec(line)) && entry) {
        entry[entry.current] += unquote(m[1]);
      } else if (line.trim() === "") {
        end();
        fuzzy = false;
      }
    }
    end();
    return entries;
  }

  const utf8Encoder = new TextEncoder();
  const latin2Decoder = new TextDecoder("iso-8859-2");

  // The bytes of a quotation's body holding \xHH escapes, decoded as
  // ISO-8859-2, when they read plainly; otherwise null.
  function latin2Name(body) {
    if (!body.includes("\\x") || !/^(?:[^\\]|\\x[0-9a-f]{2})*$/.test(body))
      return null;
    const bytes = [];
    for (const piece of body.split(/(\\x[0-9a-f]{2})/)) {
      if (piece.startsWith("\\x")) bytes.push(parseInt(piece.slice(2), 16));
      else for (const byte of utf8Encoder.encode(piece)) bytes.push(byte);
    }
    const name = latin2Decoder.decode(Uint8Array.from(bytes));
    // As the explanation itself: no blank at either end, nothing invisible,
    // no quote, backslash or brace.
    const plain = name.length > 0 && !/^ | $/.test(name) &&
        !/[\x00-\x1f\x7f-\xa0\xad\u200b-\u200f\u2028\u2029\u2060\ufeff"\\{}]/
            .test(name);
    return plain ? name : null;
  }

  function isUtf8(bytes) {
    try {
      new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(bytes);
      return true;
    } catch (notUtf8) {
      return false;
    }
  }

  function fromHex(hex) {
    const bytes = new Uint8Array(hex.length / 2);
    for (let i = 0; i < bytes.length; ++i)
      bytes[i] = parseInt(hex.substr(2 * i, 2), 16);
    return bytes;
  }

  // What the text area shows of bytes that it cannot hold exactly: the
  // text, how many lines start in it, and notes on why, each a function
  // that says it through message. Whether the bytes are UTF-8 (utf8) is
  // decided from all of them; of more than limit bytes, the start is shown,
  // never cut inside a character.
  function previewOf(bytes, utf8, limit, message) {
    let part = bytes;
    let lines = Infinity;
    const notes = [];
    if (bytes.length > limit) {
      let end = bytes.lastIndexOf(10, limit) + 1;
      if (end === 0) {  // a first line longer than the start shown
        end = limit;
        while (utf8 && (bytes[end] & 0xC0) === 0x80) --end;
      }
      part = bytes.subarray(0, end);
      // The lines that start within the part: the first, and each after a
      // line feed that is not the part's last byte.
      lines = 1 + part.subarray(0, end - 1)
                      .reduce((count, byte) => count + (byte === 10), 0);
      notes.push(() => message(
          "It is too large to edit here; its start is shown."));
    }
    let text;
    if (utf8) {
      text = new TextDecoder("utf-8", { ignoreBOM: true }).decode(part);
    } else {
      text = latin2Decoder.decode(part);
      notes.push(() => message("It is not UTF-8; it is shown as ISO-8859-2, " +
                               "and so are its names in the explanation."));
    }
    if (bytes.includes(13))
      notes.push(() => message(
          "It holds carriage returns (shown as ␍): with Windows line " +
          "endings no line is empty, so every line, the dependencies " +
          "included, is read as a schema."));
    text = text.replace(/\r/g, "␍").replace(/\0/g, "␀");
    return { text, lines, notes };
  }

  return { readCatalogue, latin2Name, isUtf8, previewOf, fromHex };
})();
