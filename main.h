// fdkeep: decides whether a decomposition of a relation schema preserves a set
// of functional dependencies.
//
// A run reads an input file that lists the schemas of the decomposition, one
// attribute list per line, then an empty line, then one dependency per line
// ("left->right"). It writes every input line to the output file, then one
// empty line, then the verdict.
#ifndef FDKEEP_MAIN_H_
#define FDKEEP_MAIN_H_

#include <functional>
#include <map>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "schema.h"

// The schemas of a decomposition, each held once, in schema order.
using decomposition = std::set<schema>;

// Functional dependencies, from left side to right side, one entry per
// distinct left side, in schema order of the left sides.
using dependency_map = std::map<schema, schema>;

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

// The one error type of a run. what() says what failed and why, without the
// program name: "cannot open input file 'in.txt': No such file or directory".
class failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One line of an input: its number, counted from 1, and its text without
// the line feed.
struct input_line {
  size_t number = 0;
  std::string text;
};

// What a reading of an input gives: the decomposition, the dependency map
// and the universe, and the line behind each schema (the first line that
// gave its names) and each dependency (the last line with its left side),
// in the order of the decomposition and of the map.
struct input {
  decomposition schemas;
  dependency_map dependencies;
  schema universe;
  std::vector<input_line> schema_lines;
  std::vector<input_line> dependency_lines;
};

// Reads a whole input file by the rules that run() reads it by; the path
// "-" reads standard input. Throws failure when the input cannot be opened
// or read, or when a dependency line has no "->" (the message names the
// line); throws std::bad_alloc when memory runs out.
input read_input(const std::string& path);

// The same for an input held in memory; name stands for it in messages.
input read_input_text(std::string_view text, const std::string& name);

// How one dependency fares in the preservation test, and what shows it.
struct dependency_report {
  enum class outcome {
    within_left_side,   // the right side lies within the left side
    inside_one_schema,  // one schema holds both sides
    derived,            // the derived set of the left side takes it in
    lost,               // the derived set misses part of the right side
  };
  // A step of a derivation: a schema, as its place in the decomposition,
  // and the names that the closure of the derived set's part inside it adds
  // to the derived set: added(step).
  struct step {
    size_t place;
    size_t first_added, added_count;  // in added_names
  };

  outcome how = outcome::within_left_side;
  size_t place = 0;  // inside_one_schema: that schema's place
  // derived: the steps that the right side needs, in order. Replayed from
  // the left side, each adds names that the closure of the derived set so
  // far, within its schema, reaches; together they reach the right side.
  std::vector<step> steps;
  // The names that the steps add, step after step, each step's in ascending
  // order. They are views into the schemas and dependencies that were
  // explained, valid while those are.
  std::vector<std::string_view> added_names;
  schema derived;  // lost: all that the decomposition derives from the left
                   // side
  schema missing;  // lost: the right-side names that it does not derive

  // The names that step, one of steps, adds.
  std::span<const std::string_view> added(const step& s) const {
    return {added_names.data() + s.first_added, s.added_count};
  }
};

// Tests every dependency of the map, unlike keep(), which stops at the first
// lost one, and hands each one's report to report with its place in the
// map. The dependencies are taken in the order of their places in order, or
// in map order when order is empty; order must list every place once.
// Returns what keep() returns. Changes none of its arguments.
bool explain(
    const decomposition& schemas, const dependency_map& dependencies,
    const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report);

// Writes all of text to the open file descriptor fd, resuming after short
// writes and signals. Returns false, with errno set, when the file refuses
// it. Allocates nothing.
bool write_all(int fd, std::string_view text);

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
