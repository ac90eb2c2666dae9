#include "graph.h"

#include <algorithm>
#include <unordered_map>

namespace {

// The dependencies, among rows of left and right sides, that the closure of
// start applies: each left-side name counts as missing until it is reached.
std::vector<bool> applied_from(const table& left, const table& right,
                               const table& dependents,
                               std::span<const number> start, size_t width) {
  std::vector<bool> applied(left.size(), false), reached(width, false);
  std::vector<number> missing(left.size()), queue;
  const auto reach = [&](number attribute) {
    if (!reached[attribute]) {
      reached[attribute] = true;
      queue.push_back(attribute);
    }
  };
  const auto apply = [&](number dependency) {
    applied[dependency] = true;
    for (number attribute : right[dependency]) reach(attribute);
  };
  for (number d = 0; d < left.size(); ++d) {
    missing[d] = static_cast<number>(left[d].size());
    if (missing[d] == 0) apply(d);
  }
  for (number attribute : start) reach(attribute);
  for (size_t next = 0; next < queue.size(); ++next)
    for (number dependency : dependents[queue[next]])
      if (--missing[dependency] == 0) apply(dependency);
  return applied;
}

// Closures of the names of whole schemas under the dependencies that
// applied marks, each taken once and kept; all of them together look at no
// more than budget dependencies, and past that none is taken.
class schema_closures {
 public:
  // dependents: per name, the dependencies it is on the left of.
  schema_closures(const numbered_input& model, const table& dependents,
                  const std::vector<bool>& applied, size_t budget)
      : model_(model),
        dependents_(dependents),
        applied_(applied),
        budget_(budget) {}

  // True when the closure of schema s's names holds every name of left, or
  // when the budget does not cover that closure.
  bool reaches(number s, std::span<const number> left) {
    auto known = taken_.find(s);
    if (known == taken_.end()) {
      if (!take(s)) return true;
      known = taken_.find(s);
    }
    const std::vector<number>& names = known->second;
    return std::all_of(left.begin(), left.end(), [&](number a) {
      return std::binary_search(names.begin(), names.end(), a);
    });
  }

 private:
  // Takes the closure of schema s; false when the budget ran out. The first
  // call makes what all of them use, which many runs never need.
  bool take(number s) {
    if (!made_) {
      made_ = true;
      reached_ = stamped_set(model_.names.size());
      missing_.resize(model_.left.size());
      seen_ = marks(model_.left.size());
      for (number d = 0; d < model_.left.size(); ++d)
        if (applied_[d] && model_.left[d].empty()) unconditional_.push_back(d);
    }
    reached_.clear();
    seen_.clear();
    const auto apply = [&](number d) {
      for (number a : model_.right[d]) reached_.insert(a);
    };
    for (number a : model_.schemas[s]) reached_.insert(a);
    for (number d : unconditional_) apply(d);
    for (size_t next = 0; next < reached_.size(); ++next)
      for (number d : dependents_[reached_.members()[next]]) {
        if (budget_ == 0) return false;
        --budget_;
        if (!applied_[d]) continue;
        if (!seen_.marked(d)) {
          seen_.mark(d);
          missing_[d] = static_cast<number>(model_.left[d].size());
        }
        if (--missing_[d] == 0) apply(d);
      }
    std::vector<number> names(reached_.members().begin(),
                              reached_.members().end());
    std::sort(names.begin(), names.end());
    taken_.emplace(s, std::move(names));
    return true;
  }

  const numbered_input& model_;
  const table& dependents_;
  const std::vector<bool>& applied_;
  size_t budget_;
  bool made_ = false;                  // the tables below are made
  std::vector<number> unconditional_;  // dependencies with no left side
  stamped_set reached_;
  std::vector<number> missing_;
  marks seen_;
  std::unordered_map<number, std::vector<number>> taken_;
};

// Names ranked by how many of the left sides they are on, fewest first.
// Counted, not compared: a name's rank is the number of names on fewer left
// sides, plus those on as many with a smaller number.
std::vector<number> ranked_by_left_sides(const table& left, size_t width) {
  std::vector<number> count(width, 0);
  for (size_t d = 0; d < left.size(); ++d)
    for (number attribute : left[d]) ++count[attribute];
  number most = 0;
  for (number a = 0; a < width; ++a) most = std::max(most, count[a]);
  std::vector<number> before(most + 1, 0);
  for (number a = 0; a < width; ++a)
    if (count[a] < most) ++before[count[a] + 1];
  for (number c = 0; c < most; ++c) before[c + 1] += before[c];
  std::vector<number> rank(width);
  for (number a = 0; a < width; ++a) rank[a] = before[count[a]]++;
  return rank;
}

}  // namespace

watched_dependencies watched_dependencies::make(
    const table& left, const table& right, size_t width,
    const std::vector<number>& rank) {
  watched_dependencies result;
  std::vector<number> row;
  std::vector<number> first_of(left.size(), kNone);
  for (number d = 0; d < left.size(); ++d) {
    row.assign(left[d].begin(), left[d].end());
    std::sort(row.begin(), row.end(),
              [&](number a, number b) { return rank[a] < rank[b]; });
    result.left.add_row(row);
    result.right.add_row(right[d]);
    if (row.empty()) {
      result.unconditional.push_back(d);
    } else {
      first_of[d] = row.front();
    }
  }
  // The first names as a table with one row per dependency, inverted.
  table firsts;
  for (number d = 0; d < left.size(); ++d)
    firsts.add_row(first_of[d] == kNone
                       ? std::span<const number>()
                       : std::span<const number>(&first_of[d], 1));
  result.first = firsts.inverted(width);
  result.on_left.assign(width, false);
  for (number d = 0; d < left.size(); ++d)
    for (number attribute : left[d]) result.on_left[attribute] = true;
  return result;
}

dependency_graph::dependency_graph(const numbered_input& model)
    : model_(model), containing_(model.schemas.inverted(model.names.size())) {
  rank_ = ranked_by_left_sides(model.left, name_count());
  index_wide_schemas();
}

void dependency_graph::make_closing() const {
  table left, right;
  reduce(left, right, closing_tested_);
  // Ranked by the reduced left sides: a name that stands for an unheld
  // chain is on as many left sides as the chain's links were.
  const std::vector<number> rank = ranked_by_left_sides(left, name_count());
  group_by_first_name(left, right, closing_tested_, rank);
  closing_ = watched_dependencies::make(left, right, name_count(), rank);
  closing_made_ = true;
}

// Numbers the dependencies again so that those with the same first name (the
// lowest in rank) follow one another, those with an empty left side first,
// each group in the order it had. A closure that reaches a name then looks
// at dependencies that lie together in memory, and goes through each name's
// list in the order it did before.
void dependency_graph::group_by_first_name(
    table& left, table& right, std::vector<number>& tested,
    const std::vector<number>& rank) const {
  const size_t width = name_count();
  std::vector<number> group(left.size());  // 0 for none, else first + 1
  std::vector<number> begin(width + 2, 0);
  for (number d = 0; d < left.size(); ++d) {
    const std::span<const number> row = left[d];
    group[d] = row.empty() ? 0
                           : 1 + *std::min_element(row.begin(), row.end(),
                                                   [&](number a, number b) {
                                                     return rank[a] < rank[b];
                                                   });
    ++begin[group[d] + 1];
  }
  for (size_t g = 1; g < begin.size(); ++g) begin[g] += begin[g - 1];
  std::vector<number> order(left.size());  // new place: the old number
  for (number d = 0; d < left.size(); ++d) order[begin[group[d]]++] = d;
  table grouped_left, grouped_right;
  std::vector<number> grouped_tested(tested.size());
  for (number i = 0; i < order.size(); ++i) {
    grouped_left.add_row(left[order[i]]);
    grouped_right.add_row(right[order[i]]);
    grouped_tested[i] = tested[order[i]];
  }
  left = std::move(grouped_left);
  right = std::move(grouped_right);
  tested = std::move(grouped_tested);
}

// Fills left and right with the closing dependencies: the tested ones, with
// every unheld name whose one producer (among the dependencies that the
// closure of all held names applies) has one name on its left side
// replaced by that name; and tested with the tested dependency each comes
// from.
void dependency_graph::reduce(table& left, table& right,
                              std::vector<number>& tested) const {
  const size_t width = name_count();
  std::vector<number> held_names;
  for (number a = 0; a < width; ++a)
    if (held(a)) held_names.push_back(a);
  const table dependents = model_.left.inverted(width);
  std::vector<bool> applied =
      applied_from(model_.left, model_.right, dependents, held_names, width);
  std::vector<number> producers, producer;
  count_producers(applied, producers, producer);
  drop_unstartable(producers, dependents, applied);
  count_producers(applied, producers, producer);
  const stand_in_names stands_for = stand_ins(producers, producer);
  table lefts, rights;
  std::vector<number> l, r;
  for (number d = 0; d < model_.left.size(); ++d) {
    l.clear();
    if (!applied[d]) {  // no closure of a part applies it
      lefts.add_row(l);
      rights.add_row(l);
      continue;
    }
    for (number attribute : model_.left[d]) {
      const std::span<const number> of = stands_for.of(attribute);
      l.insert(l.end(), of.begin(), of.end());
    }
    std::sort(l.begin(), l.end());
    l.erase(std::unique(l.begin(), l.end()), l.end());
    r.clear();
    for (number attribute : model_.right[d])
      for (number to : stands_for.of(attribute))
        if (!std::binary_search(l.begin(), l.end(), to)) r.push_back(to);
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
    lefts.add_row(l);
    rights.add_row(r);
  }
  const std::vector<bool> useful = useful_names(lefts, rights);
  for (number d = 0; d < lefts.size(); ++d) {
    r.clear();
    for (number attribute : rights[d])
      if (useful[attribute]) r.push_back(attribute);
    if (r.empty()) continue;
    left.add_row(lefts[d]);
    right.add_row(r);
    tested.push_back(d);
  }
}

// Counts, per name, the dependencies marked in applied that give it (not
// holding it on their left side), and the last of them in producer.
void dependency_graph::count_producers(const std::vector<bool>& applied,
                                       std::vector<number>& producers,
                                       std::vector<number>& producer) const {
  producers.assign(name_count(), 0);
  producer.assign(name_count(), kNone);
  for (number d = 0; d < model_.left.size(); ++d) {
    if (!applied[d]) continue;
    const std::span<const number> l = model_.left[d];
    for (number attribute : model_.right[d]) {
      if (std::binary_search(l.begin(), l.end(), attribute)) continue;
      ++producers[attribute];
      producer[attribute] = d;
    }
  }
}

// The names that stand for each name on left sides. A name that no schema
// holds, whose one producer is a dependency L -> u, is reached exactly when
// every name of L is: it stands for the names that those stand for, as long
// as they are at most kStandIns (an unheld chain c_k,g -> c_k+1 becomes one
// step from its first link). Any other name, or one on a cycle of such
// producers, which no closure of held names reaches, stands for itself.
// Costs O(M), and room for the names that merged names stand for.
dependency_graph::stand_in_names dependency_graph::stand_ins(
    const std::vector<number>& producers,
    const std::vector<number>& producer) const {
  constexpr size_t kStandIns = 4;
  const size_t width = name_count();
  stand_in_names result;  // each name stands for itself, at first
  result.values.resize(width);
  result.at.resize(width);
  for (number a = 0; a < width; ++a) result.values[a] = result.at[a] = a;
  result.count.assign(width, 1);
  std::vector<uint8_t> state(width, 0);          // 1: on the way, 2: done
  std::vector<std::pair<number, size_t>> stack;  // a name, its next left name
  std::vector<number> names;
  const auto merges = [&](number a) { return !held(a) && producers[a] == 1; };
  for (number a = 0; a < width; ++a) {
    if (state[a] != 0 || !merges(a)) continue;
    stack.push_back({a, 0});
    state[a] = 1;
    while (!stack.empty()) {
      auto& [u, next] = stack.back();
      const std::span<const number> l = model_.left[producer[u]];
      if (next < l.size()) {
        const number b = l[next++];
        if (state[b] == 0 && merges(b)) {
          state[b] = 1;
          stack.push_back({b, 0});
        }
        continue;
      }
      // Every name of u's producer is done, or on the way: a cycle.
      names.clear();
      bool cycle = false;
      for (number b : l) {
        if (state[b] == 1) {
          cycle = true;
          break;
        }
        const std::span<const number> of = result.of(b);
        names.insert(names.end(), of.begin(), of.end());
      }
      std::sort(names.begin(), names.end());
      names.erase(std::unique(names.begin(), names.end()), names.end());
      if (!cycle && names.size() <= kStandIns) {
        result.at[u] = static_cast<number>(result.values.size());
        result.count[u] = static_cast<number>(names.size());
        result.values.insert(result.values.end(), names.begin(), names.end());
      }
      state[u] = 2;
      stack.pop_back();
    }
  }
  return result;
}

// Unmarks in applied the dependencies that no closure of a schema's part
// can apply; producers counts the marked ones that give each name, and
// dependents lists, per name, the dependencies it is on the left of. A name
// that no marked dependency gives is in such a closure
// only when the part holds it, so a dependency whose left side holds names
// given by none, which no one schema holds together, never applies: a
// tested dependency whose left side spans several schemas, say. Nor does
// one whose other names the closure of no schema that holds those names
// together reaches; that is asked where at most kFewHolders schemas do.
// Costs, per dependency, the schemas of its rarest such name times their
// number, and the closures (schema_closures), within the input's size.
void dependency_graph::drop_unstartable(const std::vector<number>& producers,
                                        const table& dependents,
                                        std::vector<bool>& applied) const {
  // The closures of the few schemas that hold such names of a dependency,
  // within a budget of the input's size.
  constexpr size_t kFewHolders = 4;
  schema_closures closures(model_, dependents, applied, size());
  std::vector<number> sources, holders;
  for (number d = 0; d < model_.left.size(); ++d) {
    if (!applied[d]) continue;
    sources.clear();
    for (number attribute : model_.left[d])
      if (producers[attribute] == 0) sources.push_back(attribute);
    if (sources.empty()) continue;
    const number rarest = *std::min_element(
        sources.begin(), sources.end(), [&](number a, number b) {
          return containing(a).size() < containing(b).size();
        });
    // The schemas that hold them all, as far as one more than a few.
    holders.clear();
    for (number s : containing(rarest)) {
      if (std::all_of(sources.begin(), sources.end(),
                      [&](number attribute) { return holds(s, attribute); }))
        holders.push_back(s);
      if (holders.size() > kFewHolders) break;
    }
    // With few such schemas, the dependency applies only where the closure
    // of one of them reaches its whole left side.
    if (holders.size() <= kFewHolders && sources.size() < model_.left[d].size())
      applied[d] = std::any_of(holders.begin(), holders.end(), [&](number s) {
        return closures.reaches(s, model_.left[d]);
      });
    else
      applied[d] = !holders.empty();
  }
}

// The names that a closure of held names can use: the held ones, and those
// on the left side of a dependency that gives a name it can use. Any other
// name leads nowhere a schema can see, and neither does a dependency that
// gives only such names.
std::vector<bool> dependency_graph::useful_names(const table& left,
                                                 const table& right) const {
  const size_t width = name_count();
  const table producers = right.inverted(width);
  std::vector<bool> useful(width, false), used(left.size(), false);
  std::vector<number> next;
  for (number a = 0; a < width; ++a)
    if (held(a)) {
      useful[a] = true;
      next.push_back(a);
    }
  while (!next.empty()) {
    const number a = next.back();
    next.pop_back();
    for (number d : producers[a]) {
      if (used[d]) continue;
      used[d] = true;
      for (number b : left[d])
        if (!useful[b]) {
          useful[b] = true;
          next.push_back(b);
        }
    }
  }
  return useful;
}

// Gives each schema that holds at least one name in 64, and 8 names or more,
// a bit per name, so that asking it for a name takes one look instead of a
// binary search, whose mispredicted steps took a third of the time where
// closures reach long right sides that schemas of 45 names are asked for;
// the bits take no more than twice the room of the schema's own numbers.
void dependency_graph::index_wide_schemas() {
  const size_t words = (name_count() + 63) / 64;
  bits_at_.assign(schema_count(), kNone);
  for (number s = 0; s < schema_count(); ++s) {
    if (members(s).size() < std::max<size_t>(words, 8)) continue;
    bits_at_[s] = static_cast<number>(bits_.size());
    bits_.resize(bits_.size() + words);
    for (number attribute : members(s))
      bits_[bits_at_[s] + attribute / 64] |= uint64_t{1} << (attribute % 64);
  }
}
