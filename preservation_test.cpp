#include "preservation_test.h"

#include <algorithm>
#include <bit>

preservation_test::preservation_test(const dependency_graph& graph,
                                     work_count& work, size_t state_limit)
    : graph_(graph),
      work_(work),
      followed_(graph.name_count()),
      rules_(graph, 8 * graph.size() + (1 << 20), work),
      left_classes_(graph.name_count()),
      derived_(graph.name_count()),
      last_lost_(graph.name_count()),
      lost_(graph.name_count(), work),
      wanted_(graph.name_count()),
      seen_(graph.schema_count()),
      missing_(graph.schema_count()),
      node_of_(graph.schema_count()),
      answered_(graph.schema_count()),
      asked_once_(graph.schema_count()),
      asked_twice_(graph.schema_count()),
      answer_of_(graph.schema_count()),
      retired_(graph.schema_count()),
      aimed_(graph.schema_count()),
      tree_(graph.name_count()),
      traced_(graph.name_count()),
      picked_(graph.name_count()),
      state_limit_(state_limit > 0 ? state_limit : 2 * graph.size() + 65536),
      in_left_(graph.name_count()),
      needed_(graph.name_count()),
      joined_(graph.name_count()),
      kept_(graph.name_count()),
      joined_at_(graph.name_count()),
      state_(graph.dependency_count(), kUntested) {}

preservation_test::result preservation_test::test(number dependency,
                                                  std::vector<joined>* trace,
                                                  bool ask_first) {
  if (derived_is_lost_) {  // kept, by a swap, not a copy
    std::swap(derived_, last_lost_);
    has_last_lost_ = true;
    derived_is_lost_ = false;
  }
  const uint64_t work_at_start = work_.total();
  result r = decide(dependency, trace, ask_first);
  if (r == result::lost && trace != nullptr && narrowed_) {
    // Its derived set is shown, and narrowed closures may have left out
    // names that do not lead to the right side: taken again, whole.
    trace->clear();
    r = decide(dependency, trace, ask_first, false);
  }
  if (r != result::first) state_[dependency] = kDecided;
  // Kept where the closures cost four times the set or more, so that
  // keeping costs at most a quarter more.
  if (r == result::lost && whole_ &&
      work_.total() - work_at_start >= 4 * derived_.size())
    lost_.keep(graph_.left(dependency), derived_);
  derived_is_lost_ = r == result::lost && trace != nullptr;
  if (derived_is_lost_) {
    const std::span<const number> left = graph_.left(dependency);
    last_lost_left_.assign(left.begin(), left.end());
  }
  return r;
}

preservation_test::result preservation_test::decide(number dependency,
                                                    std::vector<joined>* trace,
                                                    bool ask_first,
                                                    bool narrow) {
  trace_ = trace;
  narrowed_ = whole_ = false;
  const uint64_t work_at_start = work_.total();
  const std::span<const number> left = graph_.left(dependency);
  derive_only(left);
  in_left_.clear();
  for (number attribute : left) in_left_.mark(attribute);
  wanted_.clear();
  for (number attribute : graph_.right(dependency)) {
    if (derived_.contains(attribute)) continue;
    if (!graph_.held(attribute) && trace == nullptr)
      return result::lost;  // no schema can derive it
    wanted_.insert(attribute);
  }
  wanted_left_ = wanted_.size();
  if (wanted_left_ == 0) return result::within_left_side;
  holder_ = rules_.holder(dependency);
  if (holder_ != kNone) return result::inside_one_schema;
  // The classes are found once: for the first test that the rules do not
  // decide, or the first traced one, whose derivation they can shorten.
  if (!classes_ && trace != nullptr) make_classes();
  if (within_classes(left)) {
    if (trace == nullptr) return verified(dependency);
    derive_along_links(left);
    return result::derived;
  }
  if (trace != nullptr && derives_the_last_lost_set(left)) {
    std::swap(derived_, last_lost_);  // and back before the next test
    return result::lost;
  }
  if (derives_a_kept_lost_set(left)) return result::lost;

  bounded_ = from_z_ = false;
  rules_.start([&](number rule) { return fire(rule); });
  if (apply_rules()) return verified(dependency);
  if (!classes_) {
    make_classes();
    if (within_classes(left)) return verified(dependency);
  }
  // A derived set that the rules took to one found lost before is whole.
  if (lost_.holds(derived_)) return result::lost;
  if (closed_under_dependencies()) {
    whole_ = true;
    return result::lost;
  }

  // C, from the held names of Z: no closure of a schema's part can leave it.
  start_closures();
  copy_where(derived_.members(), part_,
             [&](number attribute) { return graph_.held(attribute); });
  // Tests whose bounds are the same set share it: those whose derived sets
  // hold the same names, as the tests of one class often do, and those that
  // reach a start that closed to it (bounds.h).
  if (bound_->take(part_)) {
    followed_.follow(graph_.closing(), bound_->bound());
    relevant_->forget_lists();
  }
  const bool bounded = std::all_of(
      wanted_.members().begin(), wanted_.members().end(),
      [&](number attribute) { return bound_->reached().contains(attribute); });
  if (!bounded && trace == nullptr) return result::lost;
  state_[dependency] = kWaiting;  // it does not ask for itself
  if (ask_first && untested_applied()) return result::first;
  narrowed_ = narrow && bounded && narrows(work_.total() - work_at_start);
  bounded_ = true;
  const bool derived = grow_for_the_right_side() || grow_from_the_bound();
  note_state();
  remember_unfinished();
  whole_ = !derived && !narrowed_;
  return derived ? verified(dependency) : result::lost;
}

// Puts into first_ the dependencies not tested yet whose left side lies in
// Z and whose right side does not: the closure of Z's held names applies
// them before any name beyond Z. True when there are any; they are then
// waiting.
bool preservation_test::untested_applied() {
  first_.clear();
  const std::vector<number>& tested = graph_.closing_tested();
  for (number closing : bound_->applied_at_start()) {
    const number d = tested[closing];
    if (state_[d] != kUntested) continue;
    const std::span<const number> left = graph_.left(d),
                                  right = graph_.right(d);
    const auto in_z = [&](number a) { return derived_.contains(a); };
    if (!std::all_of(left.begin(), left.end(), in_z) ||
        std::all_of(right.begin(), right.end(), in_z))
      continue;
    state_[d] = kWaiting;
    first_.push_back(d);
  }
  return !first_.empty();
}

// True when the closures of this test had better follow only what can lead
// to the right side: when that leaves out at least half of what the bound
// applied, and finding it costs no more than a quarter of spent, what the
// test has cost so far. Where it leaves out less, it saves little, and it
// costs what a narrowed closure does not tell: a whole rule of what the
// schema reaches, and, for a lost test that shows its derived set, the test
// again.
bool preservation_test::narrows(uint64_t spent) {
  return relevant_->find(
      wanted_.members(),
      std::min<size_t>(spent / 4 + 64, bound_->bound().applied_size() / 2));
}

// Dependency is preserved: without a trace, it becomes a rule.
preservation_test::result preservation_test::verified(number dependency) {
  if (trace_ != nullptr) return result::derived;
  const std::span<const number> left = graph_.left(dependency);
  part_.clear();
  for (number attribute : graph_.right(dependency))
    if (!std::binary_search(left.begin(), left.end(), attribute))
      part_.push_back(attribute);
  rules_.verify(left, part_);
  return result::derived;
}

// Readies the closures for a test: made on the first test that needs them,
// emptied for every later one.
void preservation_test::start_closures() {
  if (!bound_) {
    bound_.emplace(graph_.closing(), graph_.name_count(), work_);
    nodes_.emplace(graph_, work_);
    relevant_.emplace(graph_.closing(), graph_.name_count(), work_);
  }
  seen_.clear();
  answered_.clear();
  asked_once_.clear();
  asked_twice_.clear();
  retired_.clear();
  nodes_->clear();
  info_.clear();
  parts_.clear();
  residents_.clear();
  followers_.clear();
  ready_.clear();
  ready_head_ = 0;
  aimed_ready_.clear();
  aimed_head_ = 0;
  aimed_.clear();
  grows_.clear();
  aimed_grows_.clear();
  grow_head_ = 0;
  to_fire_.clear();
}

void preservation_test::derive_only(std::span<const number> left) {
  derived_.clear();
  for (number attribute : left) derived_.insert(attribute);
  applied_ = 0;
  deferred_.clear();
}

// True when the last lost derived set holds left, misses a name of the right
// side, and left derives the left side it was derived from: its names and
// those of their classes hold it. The two left sides then derive the same
// set, each lying in the other's, and the test is lost. Dependencies that
// lose one large set, as the names of a cycle do, are explained each at the
// cost of looking at their own names instead of a derivation.
bool preservation_test::derives_the_last_lost_set(
    std::span<const number> left) {
  if (!has_last_lost_) return false;
  const auto in_last = [&](number a) { return last_lost_.contains(a); };
  work_.dependencies += left.size() + wanted_.size();
  return std::all_of(left.begin(), left.end(), in_last) &&
         !std::all_of(wanted_.members().begin(), wanted_.members().end(),
                      in_last) &&
         derives_by_classes(left, last_lost_left_);
}

// True when a lost set kept from an earlier test (lost_sets.h) is left's
// whole derived set, and misses a name of the right side: it becomes Z.
bool preservation_test::derives_a_kept_lost_set(std::span<const number> left) {
  const std::span<const number> set = lost_.derived_by(
      left, wanted_.members(), [&](std::span<const number> origin) {
        return derives_by_classes(left, origin);
      });
  if (set.empty()) return false;
  if (trace_ != nullptr) {  // shown
    derived_.clear();
    for (number attribute : set) derived_.insert(attribute);
  }
  return true;
}

// True when left derives every name of origin by its classes alone: each
// is a name of left, of the class of one (left_classes_ marks them), or of
// a class under names of left that holds another.
bool preservation_test::derives_by_classes(std::span<const number> left,
                                           std::span<const number> origin) {
  const bool classes = classes_ && classes_->any();
  const bool contexts =
      contexts_ && contexts_->any() && left.size() <= kContextLeft;
  work_.dependencies += origin.size();
  number under = kNone, from = kNone;
  return std::all_of(origin.begin(), origin.end(), [&](number a) {
    return in_left_.marked(a) ||
           (classes && left_classes_.marked(classes_->class_of(a))) ||
           (contexts && in_context_class(left, a, under, from));
  });
}

// Takes into Z the names linked to those that joined Z since last time, and
// applies the rules to them, and does the same for those that join
// meanwhile, until an aimed schema waits (see grow_to_the_end). True when
// the right side is derived.
bool preservation_test::apply_rules() {
  for (;;) {
    if (apply_rules_to_z()) return true;
    if (applied_ < derived_.size() || deferred_.empty()) return false;
    // Only now the verified rules that give no name of the right side: a
    // dependency found preserved jumps ahead, and jumps that miss the right
    // side, taken at once, would each start a walk of their own beyond it
    // (tests along a chain whose dependencies each also give a name far
    // down it walked every stretch the jumps reached). Z closed under all
    // rules stays the same; only what is done before the right side is
    // derived changes.
    for (size_t i = 0; i < deferred_.size(); ++i)
      if (!fire_now(deferred_[i], kNone)) return true;
    deferred_.clear();
  }
}

bool preservation_test::apply_rules_to_z() {
  const auto in_derived = [&](number a) { return derived_.contains(a); };
  while (applied_ < derived_.size() && wanted_left_ > 0 && !aimed_waiting()) {
    const number attribute = derived_.members()[applied_++];
    if (!follow_links(attribute)) return true;
    rules_.joined(attribute, in_derived,
                  [&](number rule) { return fire(rule); });
  }
  return wanted_left_ == 0;
}

// True when Z, closed under the rules, is closed under every dependency
// whose left side it holds: then no schema's closure can leave it, Z is
// all the decomposition derives, and C need not be taken. A dependency that
// a schema rule stands for, with its whole right side, cannot lead out: its
// rule has fired. So only the others are looked at, those whose first name
// is in Z: O(|Z|) and their sides, never more than taking C.
bool preservation_test::closed_under_dependencies() {
  const watched_dependencies& closing = graph_.closing();
  if (uncovered_.size() == 0) index_uncovered();
  const auto in_z = [&](number a) { return derived_.contains(a); };
  const auto leads_out = [&](number d) {
    ++work_.dependencies;
    const std::span<const number> left = closing.left[d];
    const std::span<const number> right = closing.right[d];
    return std::all_of(left.begin(), left.end(), in_z) &&
           !std::all_of(right.begin(), right.end(), in_z);
  };
  for (number d : closing.unconditional)
    if (leads_out(d)) return false;
  for (number attribute : derived_.members()) {
    ++work_.names;
    for (number d : uncovered_[attribute])
      if (leads_out(d)) return false;
  }
  return true;
}

// Lists, by first name, the closing dependencies that no schema rule stands
// for: those from a dependency without one, and those whose right side
// reaches beyond the rule's schema.
void preservation_test::index_uncovered() {
  const watched_dependencies& closing = graph_.closing();
  const std::vector<number>& tested = graph_.closing_tested();
  const auto covered = [&](number d) {
    const number s = rules_.ruled_in(tested[d]);
    const std::span<const number> right = closing.right[d];
    return s != kNone && std::all_of(right.begin(), right.end(), [&](number a) {
             return graph_.holds(s, a);
           });
  };
  table first_names;  // per closing dependency: its first name, if uncovered
  for (number d = 0; d < closing.size(); ++d) {
    const std::span<const number> left = closing.left[d];
    first_names.add_row(left.first(!left.empty() && !covered(d) ? 1 : 0));
  }
  uncovered_ = first_names.inverted(graph_.name_count());
}

// The names of rule join Z. False when the test is then over. Kept inline:
// it runs for each rule that fires, often once per name of a test.
[[gnu::always_inline]] inline bool preservation_test::fire(number rule) {
  const number s = rules_.schema_of(rule);  // kNone: a verified rule
  if (s == kNone) [[unlikely]]
    return fire_verified(rule);
  return fire_now(rule, s);
}

[[gnu::always_inline]] inline bool preservation_test::fire_now(number rule,
                                                              number s) {
  for (number attribute : rules_.names(rule)) {
    if (derived_.contains(attribute)) continue;
    derive(attribute, {s, attribute, kNone, rule});
    if (wanted_left_ == 0) return false;
  }
  return true;
}

// A traced test applies no verified rule: it stands for a derivation of its
// own. An untraced one defers those that give no name of the right side.
[[gnu::noinline]] bool preservation_test::fire_verified(number rule) {
  if (trace_ != nullptr) return true;
  const std::span<const number> names = rules_.names(rule);
  if (std::none_of(names.begin(), names.end(), [&](number attribute) {
        return wanted_.contains(attribute) && !derived_.contains(attribute);
      })) {
    deferred_.push_back(rule);
    return true;
  }
  return fire_now(rule, kNone);
}

// First the schemas that hold a name of the right side not in Z are closed:
// often one of them derives it, and the others need not be looked at. They
// stay aimed while Z grows. True when the right side is then derived. Costs
// no more than what follows it.
bool preservation_test::grow_for_the_right_side() {
  for (number attribute : wanted_.members()) {
    if (derived_.contains(attribute)) continue;
    for (number s : graph_.containing(attribute)) {
      aimed_.mark(s);
      look_at(s);
    }
  }
  start_schemas(0);
  return grow_to_the_end();
}

// Then the other schemas that hold a name of C not in Z, the only ones that
// can add anything. Unless a dependency with an empty left side gives names
// to every closure, only those that also hold a name of Z have a part to
// close: the schemas are found from whichever side their schemas' lists are
// shorter, and when from Z, a schema that first holds a name of Z later is
// looked at then (count_down). True when the right side is then derived.
bool preservation_test::grow_from_the_bound() {
  const number first = static_cast<number>(seen_.size());
  size_t outside = 0, inside = 0;  // the schemas' lists on either side
  for (number attribute : bound_->reached().members())
    (derived_.contains(attribute) ? inside : outside) +=
        graph_.containing(attribute).size();
  from_z_ = inside < outside && graph_.closing().unconditional.empty();
  for (number attribute :
       from_z_ ? derived_.members() : bound_->reached().members()) {
    if (!from_z_ && derived_.contains(attribute)) continue;
    for (number s : graph_.containing(attribute)) look_at(s);
  }
  if (seen_.size() == first) return false;
  start_schemas(first);
  return grow_to_the_end();
}

// Grows Z until no rule or closure adds to it, or it takes in the right
// side; true in the second case. An aimed schema (one that holds a name of
// the right side) whose part grows beyond its first name is served at once,
// before the rules go on: in a dense pool its two names derive the right
// side, where the rules, each giving one more name, would take in half the
// pool first. Otherwise the rules are applied to whatever joined Z before
// any closure goes on, and the parts that grew are served before a closure
// is taken up, so that a closure is not taken where what is known already
// makes it needless. The order changes only what is done before the right
// side is derived, never what Z can become.
bool preservation_test::grow_to_the_end() {
  for (;;) {
    if (wanted_left_ == 0) return true;
    if (nodes_->state() > state_limit_) collect();
    if (!to_fire_.empty()) {
      const number rule = to_fire_.back();
      to_fire_.pop_back();
      if (!fire(rule)) return true;
    } else if (!aimed_grows_.empty()) {
      const auto [s, attribute] = aimed_grows_.back();
      aimed_grows_.pop_back();
      grow(s, attribute);
    } else if (aimed_head_ < aimed_ready_.size()) {
      close(aimed_ready_[aimed_head_++]);
    } else if (applied_ < derived_.size() || !deferred_.empty()) {
      if (apply_rules()) return true;
    } else if (grow_head_ < grows_.size()) {
      const auto [s, attribute] = grows_[grow_head_++];
      grow(s, attribute);
    } else if (ready_head_ < ready_.size()) {
      close(ready_[ready_head_++]);
    } else {
      return false;
    }
  }
}
