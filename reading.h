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
// What it costs: the names of each line are hashed once and each row sorted,
// but a line that repeats one of the last few hundred is only hashed whole;
// memory in proportion to the distinct names and rows, plus each cited line.
#ifndef FDKEEP_READING_H_
#define FDKEEP_READING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

// Remembers recently handled lines by their text, with what handling each
// one produced, so that a line that repeats one of them need not be parsed
// again. A hash of the text picks a pair of slots, and a new line takes the
// place of the older line of its pair. Long lines are never kept, so the
// memory stays bounded whatever the input.
template <typename Value>
class recent_lines {
 public:
  // The pair of slots where line is kept when it is a recent one; none for a
  // line too long to keep, which is then never a recent one.
  struct place {
    size_t pair;
  };
  // After many misses in a row, lines seldom repeat: only one line in
  // kSample is then looked for and kept, until one repeats.
  std::optional<place> place_of(std::string_view line) {
    if (line.size() > kLongest) return std::nullopt;
    if (misses_ > kPatience && ++skipped_ % kSample != 0) return std::nullopt;
    return place{2 * (std::hash<std::string_view>{}(line) % kPairs)};
  }

  // What was kept for line, at its place, or nullptr when it is not one of
  // the recent lines. The pointer is valid until the next call of keep().
  Value* find(place at, std::string_view line) {
    for (size_t i = at.pair; i < at.pair + 2; ++i)
      if (slots_[i].used && slots_[i].line == line) {
        misses_ = 0;
        return &slots_[i].value;
      }
    ++misses_;
    return nullptr;
  }

  // Keeps line, at its place, with value.
  void keep(place at, std::string_view line, Value value) {
    slot& older =
        slots_[slots_[at.pair].age < slots_[at.pair + 1].age ? at.pair
                                                             : at.pair + 1];
    older.line.assign(line);  // in place: no allocation once it has grown
    older.value = value;
    older.age = ++clock_;
    older.used = true;
  }

 private:
  static constexpr size_t kPairs = 256, kLongest = 256;
  static constexpr uint64_t kPatience = 64, kSample = 16;

  struct slot {
    std::string line;
    Value value{};
    uint64_t age = 0;
    bool used = false;
  };

  std::vector<slot> slots_ = std::vector<slot>(2 * kPairs);
  uint64_t clock_ = 0;
  uint64_t misses_ = 0;   // lines not found, since the last one found
  uint64_t skipped_ = 0;  // lines not looked for while they seldom repeat
};

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

  // A recent dependency line: the place of its dependency and of its right
  // side.
  struct recent_dependency {
    number dependency, right;
  };

  std::string name_;
  bool cite_;
  size_t number_ = 0;  // of the line taken last
  bool decomposition_section_ = true;
  model_builder builder_;
  recent_lines<bool> recent_schemas_;  // a repeat changes nothing
  recent_lines<recent_dependency> recent_dependencies_;
  std::vector<number> left_, right_;
  std::vector<input_line> schema_lines_, dependency_lines_;
};

// The line in record, which may end with its line feed.
inline std::string_view line_of(std::string_view record) {
  return record.substr(0, record.size() - record.ends_with('\n'));
}

// Reads a whole input file, citing lines; the path "-" reads standard input,
// called standard_name in messages. Throws failure when the input cannot be
// opened or read, or when a dependency line has no "->" (the message names
// the line); throws std::bad_alloc when memory runs out.
input read_input(const std::string& path,
                 const std::string& standard_name = "standard input");

// The same for an input held in memory; name stands for it in messages.
input read_input_text(std::string_view text, const std::string& name);

#endif  // FDKEEP_READING_H_
