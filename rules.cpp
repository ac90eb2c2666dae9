#include "rules.h"

#include <algorithm>
#include <bit>
#include <iterator>

namespace {

// Mixes the bits of value, so that sums of mixed values seldom collide.
uint64_t mixed(uint64_t value) {
  value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9u;
  value = (value ^ (value >> 27)) * 0x94d049bb133111ebu;
  return value ^ (value >> 31);
}

// A hash of schema s and the set of names key, in whatever order they come:
// a part is looked up as it stands, unsorted.
uint64_t key_hash(number s, std::span<const number> key) {
  uint64_t hash = mixed(s);
  for (number value : key) hash += mixed(value + (uint64_t{1} << 32));
  return hash;
}

}  // namespace

rule_base::rule_base(const dependency_graph& graph, size_t limit,
                     work_count& work)
    : graph_(graph),
      work_(work),
      limit_(limit),
      first_head_(graph.name_count(), kNone),
      in_key_(graph.name_count()),
      waited_on_(graph.name_count()),
      waiting_(graph.name_count()) {
  holder_.assign(graph.dependency_count(), kNone);
  ruled_in_.assign(graph.dependency_count(), kNone);
  // Room for a schema rule and a verified rule per dependency, at most the
  // size of the dependencies each: made once, not grown by copying.
  rules_.reserve(2 * graph.dependency_count());
  values_.reserve(2 * (graph.model().left.value_count() +
                       graph.model().right.value_count()));
  std::vector<uint8_t> role(graph.name_count(), 0);  // of the dependency's
  std::vector<number> names;
  for (number d = 0; d < graph.dependency_count(); ++d) {
    const number best = best_schema(d, role);
    names.clear();
    if (best != kNone && !graph.left(d).empty()) {
      // The right side's names that best holds, ascending: its members are
      // walked or asked for them, whichever is shorter.
      const std::span<const number> members = graph.members(best);
      const std::span<const number> right = graph.right(d);
      if (members.size() <= right.size() * std::bit_width(members.size())) {
        for (number attribute : members)
          if (role[attribute] == kRight) names.push_back(attribute);
      } else {
        for (number attribute : right)
          if (role[attribute] == kRight && graph.holds(best, attribute))
            names.push_back(attribute);
      }
      if (!names.empty()) {
        add(kind::schema, best, graph.left(d), names, false);
        ruled_in_[d] = best;
      }
    }
    for (number attribute : graph.left(d)) role[attribute] = 0;
    for (number attribute : graph.right(d)) role[attribute] = 0;
  }
  schema_rules_ = static_cast<number>(rules_.size());
}

// The schema rules come first, and keep their places when learned rules are
// forgotten.
void rule_base::index_givers() {
  table names_of;
  for (number r = 0; r < schema_rules_; ++r) names_of.add_row(names(r));
  givers_ = names_of.inverted(graph_.name_count());
}

// The schema that holds the left side of dependency d and the most of its
// right side beyond it, the first in order among equals, or kNone; records
// it in holder_ when it holds all of it. The schemas that hold the rarest
// name are the candidates; each is walked, or asked for the dependency's
// names, whichever is shorter. Leaves role set for the names of d.
number rule_base::best_schema(number d, std::vector<uint8_t>& role) {
  const std::span<const number> left = graph_.left(d), right = graph_.right(d);
  for (number attribute : right) role[attribute] = kRight;
  for (number attribute : left) role[attribute] = kLeft;
  const std::span<const number> side = left.empty() ? right : left;
  if (side.empty()) return kNone;
  number rarest = side.front();
  for (number attribute : side)
    if (graph_.containing(attribute).size() <
        graph_.containing(rarest).size())
      rarest = attribute;
  size_t wanted = 0;
  for (number attribute : right) wanted += role[attribute] == kRight;
  const size_t asked = left.size() + right.size();
  number best = kNone;
  size_t most = 0;
  for (number s : graph_.containing(rarest)) {
    const std::span<const number> members = graph_.members(s);
    size_t in_left = 0, count = 0;
    if (members.size() <= asked * std::bit_width(members.size())) {
      for (number attribute : members) {
        in_left += role[attribute] == kLeft;
        count += role[attribute] == kRight;
      }
    } else {
      for (number attribute : left) in_left += graph_.holds(s, attribute);
      for (number attribute : right)
        count += role[attribute] == kRight && graph_.holds(s, attribute);
    }
    if (in_left < left.size() || count <= most) continue;
    most = count;
    best = s;
    if (count == wanted) break;
  }
  if (best != kNone && most == wanted) holder_[d] = best;
  return best;
}

// The learned rule of schema s with key (in any order), whole or not, or
// kNone.
number rule_base::known(number s, std::span<const number> key, bool whole) {
  const number* found = known_.find(key_hash(s, key) ^ whole);
  if (found == nullptr) return kNone;
  // The known key is kept rarest first: compared as a set of names.
  const number r = *found;
  const std::span<const number> k = this->key(r);
  if (rules_[r].schema != s || rules_[r].whole != whole ||
      k.size() != key.size())
    return kNone;
  in_key_.clear();
  for (number attribute : key) in_key_.mark(attribute);
  return std::all_of(k.begin(), k.end(),
                     [&](number a) { return in_key_.marked(a); })
             ? r
             : kNone;
}

number rule_base::learn(number s, std::span<const number> key,
                        std::span<const number> names, bool whole) {
  if (learned_of_.size() <= s) learned_of_.resize(s + 1, 0);
  if (const number r = known(s, key, whole); r != kNone) return r;
  if (!whole && full(s)) return kNone;
  const uint64_t hash = key_hash(s, key) ^ whole;
  const number r = add(kind::learned, s, key, names, whole);
  if (!whole) ++learned_of_[s];
  *known_.add(hash).first = r;
  learned_size_ += (whole ? 2 : 1) * (key.size() + names.size()) + 8;
  return r;
}

void rule_base::verify(std::span<const number> left,
                       std::span<const number> right) {
  sorted_.clear();
  for (number attribute : left)
    if (graph_.held(attribute)) sorted_.push_back(attribute);
  const std::vector<number> key = sorted_;
  add(kind::verified, kNone, key, right, false);
}

bool rule_base::covers(number r, number attribute) const {
  const rule& x = rules_[r];
  const auto begin = values_.begin() + static_cast<std::ptrdiff_t>(
                                           x.at + x.key_size + x.names_size);
  return std::binary_search(begin, begin + x.key_size + x.names_size,
                            attribute);
}

// Adds a rule, its key kept rarest name first.
number rule_base::add(kind how, number s, std::span<const number> key,
                      std::span<const number> names, bool whole) {
  const number r = static_cast<number>(rules_.size());
  const size_t at = values_.size();
  values_.insert(values_.end(), key.begin(), key.end());
  const std::vector<number>& rank = graph_.rank();
  const auto by_rank = [&](number a, number b) { return rank[a] < rank[b]; };
  // A long key (a whole closure's part) needs only its rarest name first;
  // sorting all of it would cost more than the waits it saves.
  const auto first = values_.begin() + static_cast<std::ptrdiff_t>(at);
  if (values_.size() - at > kSortedKey)
    std::iter_swap(first, std::min_element(first, values_.end(), by_rank));
  else
    std::sort(first, values_.end(), by_rank);
  values_.insert(values_.end(), names.begin(), names.end());
  if (whole)  // and what it covers, ascending, for lookups
    std::set_union(key.begin(), key.end(), names.begin(), names.end(),
                   std::back_inserter(values_));
  rules_.push_back({.at = at,
                    .key_size = static_cast<number>(key.size()),
                    .names_size = static_cast<number>(names.size()),
                    .schema = s,
                    .how = how,
                    .whole = whole});
  if (key.empty()) {
    unconditional_.push_back(r);
  } else if (fires_on_its_key(r)) {
    const number first = values_[at];
    rules_[r].next_first = first_head_[first];
    first_head_[first] = r;
  }
  if (whole) {
    if (whole_head_.size() <= s) whole_head_.resize(s + 1, kNone);
    rules_[r].next_whole = whole_head_[s];
    whole_head_[s] = r;
  }
  return r;
}

// Keeps only the schema and verified rules, in their order.
void rule_base::forget_learned() {
  std::vector<rule> rules;
  std::vector<number> values;
  rules.swap(rules_);
  values.swap(values_);
  std::fill(first_head_.begin(), first_head_.end(), kNone);
  whole_head_.clear();
  unconditional_.clear();
  known_.clear();
  learned_size_ = 0;
  std::fill(learned_of_.begin(), learned_of_.end(), 0);
  std::vector<number> key, names;
  for (const rule& r : rules) {
    if (r.how == kind::learned) continue;
    key.assign(values.begin() + r.at, values.begin() + r.at + r.key_size);
    names.assign(values.begin() + r.at + r.key_size,
                 values.begin() + r.at + r.key_size + r.names_size);
    add(r.how, r.schema, key, names, false);
  }
  place_.assign(rules_.size(), 0);
}
