// fdkeep: decides whether a decomposition of a relation schema preserves a set
// of functional dependencies.
//
// A run reads an input file that lists the schemas of the decomposition, one
// attribute list per line, then an empty line, then one dependency per line
// ("left->right"). It writes every input line to the output file, then one
// empty line, then the verdict.
#ifndef FDKEEP_MAIN_H_
#define FDKEEP_MAIN_H_

#include <string>
#include <string_view>

#include "model.h"
#include "schema.h"

// The closure of start under dependencies: start together with every
// attribute that the dependencies reach from it. A dependency applies once
// every name of its left side has been reached (a dependency with an empty
// left side applies at once) and then reaches every name of its right side.
//
// universe is the union of the decomposition's schemas. Since a left-side
// name counts as missing until it is reached, wherever it lies, the universe
// does not change the result; it keeps its place so that every caller passes
// the same three things. Changes none of its arguments.
schema linear_cutoff(const schema& universe, const dependency_map& dependencies,
                     const schema& start);

// True when the decomposition preserves every dependency of the map: when
// each dependency follows from the dependencies that hold inside single
// schemas of the decomposition. For a dependency X -> Y, a derived set grows
// from X: the part of it inside a schema is closed under the whole map, and
// what that closure holds of the same schema joins the derived set, until no
// schema adds anything; the dependency is preserved when Y lies in the
// derived set. An empty map is preserved by every decomposition.
//
// universe is the union of the schemas; as for linear_cutoff, the result
// does not depend on it, and nothing is checked against it. Changes none of
// its arguments.
bool keep(const schema& universe, const decomposition& schemas,
          const dependency_map& dependencies);

// Exit statuses of the tool.
inline constexpr int kExitSuccess = 0;  // the verdict was written
inline constexpr int kExitFailure = 1;  // a file, the input or memory failed
inline constexpr int kExitUsage = 2;    // the command line was wrong

// What run() would write to the output file for an input held in memory,
// called name in messages: every line and a line feed, one empty line and
// the verdict line. Throws failure, as run() does, when a dependency line
// has no "->".
std::string output_for(std::string_view text, const std::string& name);

// Runs the tool on two files: echoes every line of the input file into the
// output file, each line flushed as it is written, then writes one empty line
// and the verdict line: "függőségörző" (preserving) when keep() holds,
// "nem függőségörző" otherwise, in single ISO-8859-2 bytes.
//
// The input is opened first and never created. The output is created with
// mode 0664 minus the umask, or cut to length zero in place when it exists.
// Throws failure when the input cannot be opened or read, when both names
// denote the same file, when the output cannot be opened or written, and when
// a dependency line has no "->"; throws std::bad_alloc when memory runs out.
// Whatever was echoed before a failure stays in the output file; after a
// failure no verdict is written.
void run(const std::string& input_path, const std::string& output_path);

#endif  // FDKEEP_MAIN_H_
