// Reading an input: each line sorted into the decomposition or the
// dependencies, straight into the numbered model, and optionally the line
// behind each schema and dependency, for citing them.
//
// What it keeps true: the lines before the first empty line are schemas; every
// later non-empty line is a dependency, cut at its first "->", whose left side
// replaces the right side of an equal earlier left side. Nothing in a line is
// trimmed or decoded. A schema is cited by the first line that gave its
// names, a dependency by the last line with its left side.
//
// What it costs: the names of each line are hashed once and each row sorted;
// memory in proportion to the distinct names and rows, plus each cited line.
#ifndef FDKEEP_READING_H_
#define FDKEEP_READING_H_

#include <string>
#include <string_view>
#include <vector>

#include "model.h"

// One line of an input: its number, counted from 1, and its text without the
// line feed.
struct input_line {
  size_t number = 0;
  std::string text;
};

// What a reading of an input gives: the numbered model, and the line behind
// each schema and each dependency, by their places in the model.
struct input {
  numbered_input model;
  std::vector<input_line> schema_lines;
  std::vector<input_line> dependency_lines;
};

// Takes the lines of an input, one at a time, into the numbered model.
class input_reader {
 public:
  // name stands for the input in messages; cite keeps the lines behind the
  // schemas and dependencies.
  input_reader(std::string name, bool cite);

  // Takes the next line, without its line feed. Throws failure, naming the
  // input and the line, when a dependency line has no "->".
  void take(std::string_view line);

  // The model of the lines taken. The reader is left empty.
  numbered_input finish() { return builder_.finish(); }

  // The model and the cited lines.
  input finish_cited();

 private:
  void add_schema(std::string_view line);
  void add_dependency(std::string_view line);

  std::string name_;
  bool cite_;
  size_t number_ = 0;  // of the line taken last
  bool decomposition_section_ = true;
  model_builder builder_;
  std::vector<number> left_, right_;
  std::vector<input_line> schema_lines_, dependency_lines_;
};

// The line in record, which may end with its line feed.
inline std::string_view line_of(std::string_view record) {
  return record.substr(0, record.size() - record.ends_with('\n'));
}

// Reads a whole input file, citing lines; the path "-" reads standard input.
// Throws failure when the input cannot be opened or read, or when a
// dependency line has no "->" (the message names the line); throws
// std::bad_alloc when memory runs out.
input read_input(const std::string& path);

// The same for an input held in memory; name stands for it in messages.
input read_input_text(std::string_view text, const std::string& name);

#endif  // FDKEEP_READING_H_
