// The dependencies and schemas of an input as the analysis reads them,
// prepared once per run from the numbered model.
//
// Two sets of dependencies are kept. The tested ones are the input's own.
// The closing ones are what the closures of schemas' parts follow: the same
// dependencies, reduced once so that no closure of names that one schema
// holds can tell the difference.
//  - A dependency that no such closure can apply is dropped: one that the
//    closure of all held names does not apply; one whose left side holds
//    names that no dependency gives and no one schema holds together (a
//    tested dependency whose left side spans several schemas, say); and one
//    whose such names a few schemas hold together, none of whose names'
//    closure reaches the rest of its left side (a link of a cycle that also
//    needs a name held apart from the cycle). Closures of a part, and the
//    bound that is taken over them, then never look at it.
//  - A name that no schema holds, whose one producer (that any such closure
//    can apply) is a dependency L -> u, is reached exactly when every name
//    of L is, so on every left side it is replaced by the names that those
//    stand for, up to four of them: an unheld chain, c_k -> c_k+1 or
//    c_k,g -> c_k+1, becomes one step.
//  - A name that no schema holds and no dependency can use on its way to
//    one (it is on no left side that leads to a held name) is dropped from
//    right sides, and a dependency left with none is dropped: every closure
//    would otherwise apply it for nothing.
// In each closing dependency's left side the rarest name (the one on the
// fewest left sides) comes first, so that a closure that waits on one name
// at a time looks at a dependency only once it has reached its rarest name;
// and the closing dependencies are numbered by that first name, so that
// those a name starts lie together in memory.
//
// What it keeps true: for every start set of names that one schema holds,
// the closure under the closing dependencies holds the same held names as
// the closure under the tested ones.
//
// What it costs: O(M + S) time and memory, M the total size of the
// dependencies and S that of the schemas, plus sorting each left side, and
// for each dependency with names that none gives, the schemas of the rarest
// of them: O(M d) at most, d the number of schemas; and closures of whole
// schemas, each taken once, which look at no more than O(M) dependencies
// together (past that, what is left is kept).
#ifndef FDKEEP_GRAPH_H_
#define FDKEEP_GRAPH_H_

#include <algorithm>
#include <span>
#include <vector>

#include "model.h"
#include "scratch.h"

// Dependencies as the closures follow them: left sides with their rarest
// name first, right sides, and for each name the dependencies whose rarest
// name it is.
struct watched_dependencies {
  table left;   // per dependency: its left side, rarest name first
  table right;  // per dependency: its right side
  table first;  // per name: the dependencies whose first name it is
  std::vector<number> unconditional;  // dependencies with an empty left side
  std::vector<bool> on_left;          // per name: on some left side

  size_t size() const { return left.size(); }

  // Dependencies from left and right sides (rows in any order) over names
  // below width. rank orders the names of a left side: lower first.
  static watched_dependencies make(const table& left, const table& right,
                                   size_t width,
                                   const std::vector<number>& rank);
};

// The prepared input: what every test reads and nothing changes.
class dependency_graph {
 public:
  explicit dependency_graph(const numbered_input& model);

  const numbered_input& model() const { return model_; }
  size_t name_count() const { return model_.names.size(); }
  size_t schema_count() const { return model_.schemas.size(); }
  size_t dependency_count() const { return model_.left.size(); }

  // The tested dependencies, as read.
  std::span<const number> left(number dependency) const {
    return model_.left[dependency];
  }
  std::span<const number> right(number dependency) const {
    return model_.right[dependency];
  }
  // A schema's names, ascending.
  std::span<const number> members(number s) const { return model_.schemas[s]; }
  // The schemas that hold attribute, ascending.
  std::span<const number> containing(number attribute) const {
    return containing_[attribute];
  }
  bool held(number attribute) const { return model_.held[attribute]; }

  // True when schema s holds attribute.
  bool holds(number s, number attribute) const {
    const number at = bits_at_[s];
    if (at == kNone) {
      const std::span<const number> row = members(s);
      return std::binary_search(row.begin(), row.end(), attribute);
    }
    return (bits_[at + attribute / 64] >> (attribute % 64) & 1) != 0;
  }

  // The dependencies that closures follow, prepared on the first call: many
  // runs never need them.
  const watched_dependencies& closing() const {
    if (!closing_made_) make_closing();
    return closing_;
  }

  // Per closing dependency: the tested dependency it comes from.
  const std::vector<number>& closing_tested() const {
    closing();
    return closing_tested_;
  }

  // Names ranked by how many left sides they are on, fewest first: the
  // order in which a left side waits on its names.
  const std::vector<number>& rank() const { return rank_; }

  // The numbers that the input holds: the size that costs are stated in.
  size_t size() const {
    return model_.left.value_count() + model_.right.value_count() +
           model_.schemas.value_count();
  }

 private:
  void make_closing() const;
  void group_by_first_name(table& left, table& right,
                           std::vector<number>& tested,
                           const std::vector<number>& rank) const;
  void reduce(table& left, table& right, std::vector<number>& tested) const;
  void count_producers(const std::vector<bool>& applied,
                       std::vector<number>& producers,
                       std::vector<number>& producer) const;
  void drop_unstartable(const std::vector<number>& producers,
                        const table& dependents,
                        std::vector<bool>& applied) const;
  // The names that stand for each name a: values[at[a], + count[a]).
  struct stand_in_names {
    std::vector<number> at, count, values;
    std::span<const number> of(number a) const {
      return {values.data() + at[a], count[a]};
    }
  };
  stand_in_names stand_ins(const std::vector<number>& producers,
                           const std::vector<number>& producer) const;
  std::vector<bool> useful_names(const table& left, const table& right) const;
  void index_wide_schemas();

  const numbered_input& model_;
  table containing_;
  mutable watched_dependencies closing_;
  mutable std::vector<number> closing_tested_;
  mutable bool closing_made_ = false;
  std::vector<number> rank_;
  std::vector<number> bits_at_;  // per schema: where its bits start, or kNone
  std::vector<uint64_t> bits_;
};

#endif  // FDKEEP_GRAPH_H_
