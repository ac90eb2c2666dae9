// Writing down why: the explanation of a preservation test, dependency by
// dependency, as text for people or as JSON for programs.
//
// Names and line texts are bytes. Text shows them by the rule of
// quoting.h: as they are when nothing in them could be mistaken, otherwise
// in double quotes with escapes. In JSON, bytes that are valid UTF-8 are a
// string; any other bytes are an object {"hex": "..."} with two lower-case
// hex digits per byte.
//
// A derivation shows only steps that the right side needs: dropping any one
// and replaying the rest in order no longer reaches it (within the bounds of
// derived.h; once its work is spent, derivations are shown as the engine
// traced them, marked "as traced"). Each step shows all
// that it adds to the derived set when the steps shown are replayed in
// order: the names of its schema that the closure of the derived set's part
// inside the schema reaches. A lost dependency shows a schema that would
// keep it with no name that could be left out (repair.h), and after all
// dependencies one list of schemas that, added together, keep every lost
// dependency: in JSON, the top-level field "repair".
#ifndef FDKEEP_EXPLAIN_H_
#define FDKEEP_EXPLAIN_H_

#include <functional>
#include <string>
#include <string_view>

#include "messages.h"
#include "preservation.h"
#include "quoting.h"
#include "reading.h"

enum class explanation_format { text, json };

// Explains every dependency of in, the input called name, and hands the
// explanation in format, piece by piece, to write: for each dependency, in
// map order, how it is preserved or what it lacks, then a summary with the
// verdict in UTF-8. Text is in the language of say; JSON is the same in
// every language. Returns true when every dependency is preserved, as
// fdkeep's verdict does. What write throws passes through.
bool write_explanation(const input& in, std::string_view name,
                       explanation_format format,
                       const std::function<void(std::string_view)>& write,
                       const messages& say);

#endif  // FDKEEP_EXPLAIN_H_
