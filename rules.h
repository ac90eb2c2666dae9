// Rules on the derived set, and the memory of earlier tests.
//
// A derived set is closed under every dependency that holds inside one
// schema, so a rule K -> V with K and V within one schema, or any rule
// implied by such dependencies, can be applied to the derived set itself:
// once K lies in it, so does V. Three kinds of rules are kept:
//  - schema rules, made once: a dependency whose left side lies in a schema,
//    with the names of its right side that the schema holds;
//  - learned rules: what the closure of a schema's part reached of the
//    schema, keyed by the names of the part that it used, remembered from
//    one test for the next; a learned rule can also be whole: all that the
//    closure of its key reaches of its schema;
//  - verified rules: a tested dependency found preserved, its left side cut
//    to the names some schema holds (a name no schema holds never joins a
//    derived set that does not start with it).
// Rules wait on one name of their key at a time, rarest first, as
// dependencies do in closures (a long key, only its rarest name first).
//
// What it keeps true: every rule is implied by the dependencies that hold
// inside single schemas, so applying rules never derives what the passes
// over the schemas would not. Schema and verified rules stay for the whole
// run; learned rules hold at most a limit of numbers, in proportion to the
// input, and are all forgotten when that is reached.
//
// What it costs: per test, for each name that joins the derived set, the
// rules whose rarest name it is and the rules waiting on it, each rule's key
// walked once; memory for the rules and one test's waits.
#ifndef FDKEEP_RULES_H_
#define FDKEEP_RULES_H_

#include <span>
#include <vector>

#include "closure.h"
#include "graph.h"
#include "scratch.h"

class rule_base {
 public:
  static constexpr number kLearnedPerSchema = 4;
  // Keys longer than this keep only their rarest name first, and a whole
  // rule with such a key is only asked for (for_whole), not fired when its
  // key joins: walking the long keys of every whole rule of a busy schema in
  // every test would cost more than they save.
  static constexpr size_t kSortedKey = 16;

  enum class kind : uint8_t { schema, learned, verified };

  // Rules over the names of graph, which must outlive it: its schema rules
  // at once. Learned rules may hold up to limit numbers. Counts its work in
  // work.
  rule_base(const dependency_graph& graph, size_t limit, work_count& work);

  // Adds a learned rule of schema s: the closure of key, names of s,
  // reaches names, also of s; whole when they are all that it reaches of s.
  // Both in ascending order. A key already known for s is not added again.
  // A schema learns at most kLearnedPerSchema rules that are not whole
  // until the learned rules are forgotten: more, when its parts keep
  // changing, would cost more to look at than they save. Returns the rule,
  // new or known, or kNone when the schema has learned enough.
  number learn(number s, std::span<const number> key,
               std::span<const number> names, bool whole);

  // True when schema s has learned as many rules that are not whole as it
  // may.
  bool full(number s) const {
    return s < learned_of_.size() && learned_of_[s] >= kLearnedPerSchema;
  }

  // The first schema, in order, that holds both sides of a dependency, or
  // kNone.
  number holder(number dependency) const { return holder_[dependency]; }
  // The schema of dependency's schema rule, or kNone when it has none: its
  // key is the dependency's left side, its names those of the right side
  // that the schema holds.
  number ruled_in(number dependency) const { return ruled_in_[dependency]; }

  // Adds a verified rule: left side (ascending, any names) to right side.
  void verify(std::span<const number> left, std::span<const number> right);

  // The rule's key, rarest name first, and its names.
  std::span<const number> key(number rule) const {
    return {values_.data() + rules_[rule].at, rules_[rule].key_size};
  }
  std::span<const number> names(number rule) const {
    return {values_.data() + rules_[rule].at + rules_[rule].key_size,
            rules_[rule].names_size};
  }
  kind kind_of(number rule) const { return rules_[rule].how; }
  // The schema that a schema or learned rule derives within; kNone for a
  // verified rule.
  number schema_of(number rule) const { return rules_[rule].schema; }
  bool whole(number rule) const { return rules_[rule].whole; }
  // The schema rules whose names hold attribute; indexed on the first call,
  // which many runs never make.
  std::span<const number> giving(number attribute) {
    if (givers_.size() == 0 && schema_rules_ > 0) index_givers();
    return givers_.size() == 0 ? std::span<const number>() : givers_[attribute];
  }
  // True when joined() fires the rule once its key lies in the derived set;
  // otherwise only the one who asks for it can fire it.
  bool fires_on_its_key(number rule) const {
    return !rules_[rule].whole || rules_[rule].key_size <= kSortedKey;
  }
  // True when attribute is in the key or the names of a whole rule: a
  // binary search.
  bool covers(number rule, number attribute) const;

  // True when schema s has whole rules.
  bool has_whole(number s) const {
    return s < whole_head_.size() && whole_head_[s] != kNone;
  }
  // The whole rules of schema s, newest first: calls use(rule) for each
  // until it returns false.
  template <typename Use>
  void for_whole(number s, Use use) const {
    if (s >= whole_head_.size()) return;
    for (number r = whole_head_[s]; r != kNone; r = rules_[r].next_whole)
      if (!use(r)) return;
  }

  // Starts a test: no name has joined its derived set yet. Forgets the
  // learned rules when they have reached their limit. Calls fire(rule) for
  // each rule with an empty key.
  template <typename Fire>
  void start(Fire fire);

  // Attribute has joined the derived set, which derived() tells membership
  // of: calls fire(rule) for each rule whose whole key now lies in it, until
  // fire returns false.
  template <typename Derived, typename Fire>
  void joined(number attribute, Derived derived, Fire fire);

  // The whole rule of schema s keyed by exactly the names of key, in any
  // order, or kNone: one probe and a walk of the key, however many whole
  // rules s has.
  number whole_keyed_by(number s, std::span<const number> key) {
    return known(s, key, true);
  }

  // The numbers the learned rules hold.
  size_t learned_size() const { return learned_size_; }

 private:
  struct rule {
    size_t at;  // in values_: the key, then the names
    number key_size, names_size;
    number schema;
    number next_first = kNone;  // the next rule with the same first name
    number next_whole = kNone;  // the next whole rule of the schema
    kind how;
    bool whole = false;
  };

  static constexpr uint8_t kLeft = 1, kRight = 2;  // a name's role
  number best_schema(number d, std::vector<uint8_t>& role);
  number known(number s, std::span<const number> key, bool whole);
  number add(kind how, number s, std::span<const number> key,
             std::span<const number> names, bool whole);
  void forget_learned();
  void index_givers();

  const dependency_graph& graph_;
  work_count& work_;
  size_t limit_;
  size_t learned_size_ = 0;
  std::vector<rule> rules_;
  std::vector<number> values_;
  std::vector<number> first_head_;  // per name: the rules whose first it is
  std::vector<number> whole_head_;  // per schema: its whole rules
  std::vector<number> learned_of_;  // per schema: its learned rules
  std::vector<number> unconditional_;
  std::vector<number> holder_;  // per dependency: a schema with both sides
  std::vector<number> ruled_in_;  // per dependency: its schema rule's schema
  number schema_rules_ = 0;     // the first rules, made at once
  table givers_;                // per name: the schema rules that give it
  scratch_map known_;  // hash of a schema and a key: a rule with them
  std::vector<number> sorted_;
  marks in_key_;  // the names of a key being learned

  // One test's state: where each rule waits on its key, and the rules
  // waiting on each name.
  std::vector<number> place_;
  marks waited_on_;              // names with rules waiting on them
  std::vector<number> waiting_;  // per name waited on: the first wait
  std::vector<std::pair<number, number>> waits_;  // rule, next
};

template <typename Fire>
void rule_base::start(Fire fire) {
  if (learned_size_ > limit_) forget_learned();
  place_.resize(rules_.size());
  waited_on_.clear();
  waits_.clear();
  for (number r : unconditional_)
    if (!fire(r)) return;
}

template <typename Derived, typename Fire>
void rule_base::joined(number attribute, Derived derived, Fire fire) {
  ++work_.names;
  // Walks rule's key from place to the first name not derived, and waits
  // there; true when there is none.
  const auto walked = [&](number r, number place) {
    ++work_.dependencies;
    const std::span<const number> k = key(r);
    while (place < k.size() && derived(k[place])) ++place;
    if (place == k.size()) return true;
    if (r >= place_.size()) {  // learned during this test
      place_.resize(rules_.size());
    }
    place_[r] = place;
    const number on = k[place];
    if (!waited_on_.marked(on)) {
      waited_on_.mark(on);
      waiting_[on] = kNone;
    }
    waits_.push_back({r, waiting_[on]});
    waiting_[on] = static_cast<number>(waits_.size() - 1);
    return false;
  };
  if (attribute < first_head_.size())
    for (number r = first_head_[attribute]; r != kNone;
         r = rules_[r].next_first)
      if (walked(r, 1) && !fire(r)) return;
  if (!waited_on_.marked(attribute)) return;
  for (number w = waiting_[attribute]; w != kNone; w = waits_[w].second) {
    const number r = waits_[w].first;
    if (walked(r, place_[r] + 1) && !fire(r)) return;
  }
}

#endif  // FDKEEP_RULES_H_
