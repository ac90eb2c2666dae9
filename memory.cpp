// What one test leaves for the next: the closures of schemas, learned as
// rules of what they reached (rules.h), and the whole closures asked before
// a schema gets a closure of its own.
//
// What it keeps true: a rule learned from a closure says only what that
// closure reached from the names it is keyed by; a schema is answered by a
// whole rule only while its part lies within what the rule covers.
//
// What it costs: learning walks the schema and traces each gained name back
// once; asking costs a probe for the rule keyed by the part, then the key
// and the part of at most kWholeRulesAsked rules, at most twice per schema
// and test.
#include <algorithm>
#include <bit>

#include "preservation_test.h"

namespace {

// Whole rules of a schema looked at before it gets a closure: the newest.
// Each look costs the size of the rule's key and of the schema's part.
constexpr int kWholeRulesAsked = 4;

}  // namespace

// True when a whole rule of schema s, which Z holds the key of, gives all
// that the closure of s's part, which part_ holds, reaches of s: then s
// needs no closure while its part grows only by names of that rule.
bool preservation_test::answered_by_memory(number s) {
  // Twice per test at most: a part that keeps outgrowing what is remembered
  // is closed instead, at the cost of one name per growth.
  if (asked_twice_.marked(s) || !rules_.has_whole(s)) return false;
  (asked_once_.marked(s) ? asked_twice_ : asked_once_).mark(s);
  // The rule learned from this very part, if any, answers it: one probe,
  // however many whole rules the schema has learned from other parts.
  work_.names += part_.size();
  number found = rules_.whole_keyed_by(s, part_);
  if (found == kNone) {
    found = newest_answer(s);
  } else {
    answer_of_[s] = found;
  }
  if (found == kNone) return false;
  answered_.mark(s);
  node_of_[s] = kNone;
  // Its names join Z with the rules, before any closure goes on.
  if (!rules_.fires_on_its_key(found)) to_fire_.push_back(found);
  return true;
}

// The first of the kWholeRulesAsked newest whole rules of schema s whose key
// Z holds and that covers part_, or kNone.
number preservation_test::newest_answer(number s) {
  number found = kNone;
  int asked = 0;
  rules_.for_whole(s, [&](number r) {
    ++work_.dependencies;
    const std::span<const number> key = rules_.key(r);
    work_.names += key.size();
    if (std::all_of(key.begin(), key.end(),
                    [&](number a) { return derived_.contains(a); })) {
      answer_of_[s] = r;
      work_.names += part_.size();
      if (std::all_of(part_.begin(), part_.end(),
                      [&](number a) { return answers(s, a); }))
        found = r;
    }
    return found == kNone && ++asked < kWholeRulesAsked;
  });
  return found;
}

// True when attribute is a name of the key or of the names of the rule that
// answers schema s.
bool preservation_test::answers(number s, number attribute) const {
  return rules_.covers(answer_of_[s], attribute);
}

// Learns what node n, the closure of schema s alone, reached of s beyond its
// part: keyed by the names of the part that it was reached from (traced back
// through the dependency that reached each name), and, when whole, keyed by
// the whole part as all that the closure reaches of s; the whole rule, or
// kNone, then answers s.
void preservation_test::remember(number s, number n, bool whole) {
  if (!whole && rules_.full(s)) return;
  split_reached(s, n);
  if (whole) answer_of_[s] = rules_.learn(s, used_, gained_, true);
  if (gained_.empty() || rules_.full(s)) return;
  key_.clear();
  traced_.clear();
  stack_.assign(gained_.begin(), gained_.end());
  for (number attribute : gained_) traced_.mark(attribute);
  const watched_dependencies& closing = graph_.closing();
  while (!stack_.empty()) {
    const number attribute = stack_.back();
    stack_.pop_back();
    const number* cause = nodes_->cause(n, attribute);
    if (cause == nullptr || *cause == kNone) {
      key_.push_back(attribute);
      continue;
    }
    for (number earlier : closing.left[*cause])
      if (!traced_.marked(earlier)) {
        traced_.mark(earlier);
        stack_.push_back(earlier);
      }
  }
  ascending_in(s, key_);
  rules_.learn(s, key_, gained_, false);
}

// Sorts names, distinct names that schema s mostly holds: by a walk of the
// schema when that is cheaper than sorting, by sorting otherwise or when a
// name is not the schema's.
void preservation_test::ascending_in(number s, std::vector<number>& names) {
  const std::span<const number> members = graph_.members(s);
  if (names.size() * std::bit_width(names.size()) > members.size()) {
    picked_.clear();
    for (number attribute : names) picked_.mark(attribute);
    scratch_.clear();
    for (number member : members)
      if (picked_.marked(member)) scratch_.push_back(member);
    if (scratch_.size() == names.size()) return names.swap(scratch_);
  }
  std::sort(names.begin(), names.end());
}

// Puts the names of schema s that node n reached into used_, those of its
// part, and gained_, those it reached through a dependency, ascending.
void preservation_test::split_reached(number s, number n) {
  used_.clear();
  gained_.clear();
  for (number member : graph_.members(s))
    if (const number* cause = nodes_->cause(n, member))
      (*cause == kNone ? used_ : gained_).push_back(member);
}

// True when node n has finished the closure of the part of schema s, which
// it serves and which is not done, and did no less work than a walk of the
// schema costs: what it reached of s can then be remembered whole for what
// it cost. A node that goes on from a closure other schemas share, or that
// several schemas share, is worth it only when it processed more names than
// the schema holds: the whole rules of many parts that cost only a few
// names, and seldom come again, cost more to learn and to ask than closing
// them does.
bool preservation_test::unfinished(number n, number s) const {
  const node_info& x = info_[n];
  // A narrowed closure may leave out what the schema reaches.
  if (narrowed_ || !x.complete || x.collected || node_of_[s] != n ||
      missing_[s] == 0)
    return false;
  const number parent = nodes_->parent(n);
  const size_t own = nodes_->offered(n), walk = graph_.members(s).size();
  if (x.slots > 1) return walk < own;
  // One schema's own node: not while others go on from it.
  if (x.schema != s || x.shared || x.residents != 1) return false;
  return parent == kNone ? walk <= 4 * own + 16
                         : info_[parent].complete && walk < own;
}

// At the end of a test, remembers the unfinished schemas whole, so that
// later tests need no closure for them.
void preservation_test::remember_unfinished() {
  for (number n = 0; n < nodes_->size(); ++n)
    for_residents(n, [&](number s) {
      if (unfinished(n, s) && !retired_.marked(s)) remember(s, n, true);
    });
}

// The unfinished schemas of node n, when no living node goes on from it,
// need it no longer: each is answered by the whole rule of what the node
// reached, leaves it, and gets a new node only if its part grows by another
// name. Once a test for each schema, so that a schema whose part keeps
// growing is closed again at most once.
void preservation_test::retire(number n) {
  if (info_[n].living_children > 0) return;
  for_residents(n, [&](number s) {
    if (!unfinished(n, s) || retired_.marked(s)) return;
    retired_.mark(s);
    remember(s, n, true);
    if (answer_of_[s] == kNone) return;
    answered_.mark(s);
    node_of_[s] = kNone;
    leave(n);
  });
}
