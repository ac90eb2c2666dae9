// The numbered model of an input: attribute names replaced by numbers, and
// schemas and dependencies as rows of numbers in flat arrays. Reading builds
// it line by line; the analysis reads nothing else.
//
// What it keeps true: names are numbered densely from 0 in the order they
// were first met, and each number stands for one name (byte for byte). Every
// row holds distinct numbers in ascending order. No two schemas hold the same
// names and no two dependencies have the same left side; a dependency set
// again keeps its place and takes the new right side.
//
// What it costs: expected O(1) per name of a line (one hash lookup) and
// O(k log k) to sort a row of k names; memory in proportion to the input's
// distinct names and rows.
#ifndef FDKEEP_MODEL_H_
#define FDKEEP_MODEL_H_

#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "schema.h"
#include "scratch.h"

// The schemas of a decomposition, each held once, in schema order.
using decomposition = std::set<schema>;

// Functional dependencies, from left side to right side, one entry per
// distinct left side, in schema order of the left sides.
using dependency_map = std::map<schema, schema>;

// Rows of numbers in one flat array: row r is values[offsets[r]] up to
// values[offsets[r + 1]].
class table {
 public:
  size_t size() const { return offsets_.size() - 1; }
  std::span<const number> operator[](size_t row) const {
    return {values_.data() + offsets_[row], offsets_[row + 1] - offsets_[row]};
  }
  size_t value_count() const { return values_.size(); }

  // Appends a row.
  void add_row(std::span<const number> row) {
    values_.insert(values_.end(), row.begin(), row.end());
    offsets_.push_back(values_.size());
  }

  // The inverted table, with one row for each value below width: row v lists
  // in ascending order the rows that hold v.
  table inverted(size_t width) const;

 private:
  std::vector<size_t> offsets_{0};
  std::vector<number> values_;
};

// Numbers attribute names in the order they are first met, keeping a copy of
// each. Lookups go through a flat open-addressing hash table whose slots keep
// each name's hash, length and first bytes, so that a lookup of a short name
// touches one slot only.
class name_table {
 public:
  name_table() = default;
  name_table(name_table&&) = default;
  name_table& operator=(name_table&&) = default;

  size_t size() const { return names_.size(); }
  // The bytes of a number; valid while the table is.
  std::string_view name(number attribute) const { return names_[attribute]; }

  // The number of name, given the next free number when it is new.
  number add(std::string_view name);

  // The number of name; false when the name was never added.
  bool find(std::string_view name, number& attribute) const;

 private:
  static constexpr size_t kInline = 16;  // name bytes kept in a slot
  struct slot {
    uint64_t hash = 0;
    number attribute = kNone;
    uint32_t length = 0;
    uint64_t head[2] = {};  // the first bytes of the name, zero-padded
  };

  static slot slot_of(std::string_view name);
  bool same_name(const slot& s, const slot& key, std::string_view name) const;
  size_t find_slot(std::string_view name, const slot& key) const;
  void grow();
  std::string_view keep_copy(std::string_view name);

  std::vector<slot> slots_;  // a power of two of them, or none
  std::vector<std::string_view> names_;
  std::vector<std::unique_ptr<char[]>> blocks_;  // the copies of the names
  char* block_next_ = nullptr;                   // free bytes of the last
  size_t block_left_ = 0;
};

// An input with its names numbered: what the analysis reads.
struct numbered_input {
  name_table names;
  table schemas;  // in the order they were first met
  table left;     // per dependency, in the order its left side was first met
  table right;    // per dependency: its right side, the last one set
  std::vector<bool> held;  // per name: some schema holds it

  size_t dependency_count() const { return left.size(); }
};

// Builds a numbered_input, one schema or dependency at a time.
class model_builder {
 public:
  // Sets row to the numbers of the names of an attribute list, numbering new
  // names, in ascending order and each once. Every comma ends a name, and the
  // text after the last comma is a name too.
  void parse(std::string_view attribute_list, std::vector<number>& row);

  // The number of name, numbering it when it is new.
  number number_of(std::string_view name) { return model_.names.add(name); }

  // Adds a schema of the names row (ascending, distinct) unless an equal one
  // is there. Returns its place and whether it is new.
  std::pair<number, bool> add_schema(std::span<const number> row);

  // Sets the right side of the dependency whose left side is left (ascending,
  // distinct) to right, adding the dependency when it is new. Returns its
  // place and the right side's row, which set_right() takes.
  std::pair<number, number> set_dependency(std::span<const number> left,
                                           std::span<const number> right);

  // Sets the right side of dependency to a row that set_dependency() made.
  void set_right(number dependency, number right_row) {
    right_of_[dependency] = right_row;
  }

  // The model, with every right side in place. The builder is left empty.
  numbered_input finish();

 private:
  // Finds rows of a table by their content: hash to place.
  class row_index {
   public:
    // The place of row in rows, or kNone.
    number find(const table& rows, std::span<const number> row,
                uint64_t hash) const;
    void add(uint64_t hash, number place);

   private:
    struct entry {
      uint64_t hash = 0;
      number place = kNone;
    };
    void grow();
    std::vector<entry> entries_ = std::vector<entry>(64);
    size_t size_ = 0;
  };

  numbered_input model_;
  row_index schema_rows_, left_rows_;
  table right_rows_;             // every right side set, in order
  std::vector<number> right_of_;  // per dependency: its row in right_rows_
};

// The numbered model of a decomposition and a dependency map, with the
// schemas in decomposition order and the dependencies in map order.
numbered_input number_input(const decomposition& schemas,
                            const dependency_map& dependencies);

// The names of row as a schema.
schema schema_of(const numbered_input& model, std::span<const number> row);

#endif  // FDKEEP_MODEL_H_
