// fdkeep: decides whether a decomposition of a relation schema preserves a set
// of functional dependencies.
//
// A run reads an input file that lists the schemas of the decomposition, one
// attribute list per line, then an empty line, then one dependency per line
// ("left->right"). It writes every input line to the output file, then one
// empty line, then the verdict.
#ifndef FDKEEP_MAIN_H_
#define FDKEEP_MAIN_H_

#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "schema.h"

// The schemas of a decomposition, each held once, in schema order.
using decomposition = std::set<schema>;

// Functional dependencies, from left side to right side, one entry per
// distinct left side, in schema order of the left sides.
using dependency_map = std::map<schema, schema>;

// Exit statuses of the tool.
inline constexpr int kExitSuccess = 0;  // the verdict was written
inline constexpr int kExitFailure = 1;  // a file, the input or memory failed
inline constexpr int kExitUsage = 2;    // the command line was wrong

// The one error type of a run. what() says what failed and why, without the
// program name: "cannot open input file 'in.txt': No such file or directory".
class failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs the tool on two files: echoes every line of the input file into the
// output file, each line flushed as it is written, then writes one empty line
// and the verdict line.
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
