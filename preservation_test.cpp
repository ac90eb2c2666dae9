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
  const result r = decide(dependency, trace, ask_first);
  if (r != result::first) state_[dependency] = kDecided;
  derived_is_lost_ = r == result::lost && trace != nullptr;
  if (derived_is_lost_) {
    const std::span<const number> left = graph_.left(dependency);
    last_lost_left_.assign(left.begin(), left.end());
  }
  return r;
}

preservation_test::result preservation_test::decide(number dependency,
                                                    std::vector<joined>* trace,
                                                    bool ask_first) {
  trace_ = trace;
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

  bounded_ = from_z_ = false;
  rules_.start([&](number rule) { return fire(rule); });
  if (apply_rules()) return verified(dependency);
  if (!classes_) {
    make_classes();
    if (within_classes(left)) return verified(dependency);
  }
  if (closed_under_dependencies()) return result::lost;

  // C, from the held names of Z: no closure of a schema's part can leave it.
  start_closures();
  copy_where(derived_.members(), part_,
             [&](number attribute) { return graph_.held(attribute); });
  // Tests whose bounds are the same set share it: those whose derived sets
  // hold the same names, as the tests of one class often do, and those that
  // reach a start that closed to it (bounds.h).
  if (bound_->take(part_)) followed_.follow(graph_.closing(), bound_->bound());
  if (trace == nullptr)
    for (number attribute : wanted_.members())
      if (!bound_->reached().contains(attribute)) return result::lost;
  state_[dependency] = kWaiting;  // it does not ask for itself
  if (ask_first && untested_applied()) return result::first;
  bounded_ = true;
  const bool derived = grow_for_the_right_side() || grow_from_the_bound();
  note_state();
  remember_unfinished();
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
  const bool classes = classes_ && classes_->any();  // left_classes_ is left's
  work_.dependencies += left.size() + wanted_.size() + last_lost_left_.size();
  return std::all_of(left.begin(), left.end(), in_last) &&
         !std::all_of(wanted_.members().begin(), wanted_.members().end(),
                      in_last) &&
         std::all_of(
             last_lost_left_.begin(), last_lost_left_.end(), [&](number a) {
               return in_left_.marked(a) ||
                      (classes && left_classes_.marked(classes_->class_of(a)));
             });
}

// Takes into Z the names linked to those that joined Z since last time, and
// applies the rules to them, and does the same for those that join
// meanwhile, until an aimed schema waits (see grow_to_the_end). True when
// the right side is derived.
bool preservation_test::apply_rules() {
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
  if (trace_ != nullptr && rules_.kind_of(rule) == rule_base::kind::verified)
    return true;  // it stands for a derivation of its own
  const number s = rules_.schema_of(rule);
  for (number attribute : rules_.names(rule)) {
    if (derived_.contains(attribute)) continue;
    derive(attribute, {s, attribute, kNone, rule});
    if (wanted_left_ == 0) return false;
  }
  return true;
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

// Gives the schemas looked at from the first-th on, whose part holds a name
// that starts a dependency, the closure of their part. Schemas whose parts
// are equal share one, and parts that begin alike, in the order of
// part_tree.h, go on from the closure of what they begin with: a name that
// many parts hold is closed once, however far it leads.
void preservation_test::start_schemas(number first) {
  const bool unconditional = !graph_.closing().unconditional.empty();
  const number first_node = nodes_->size();
  starts_.clear();
  ranges_.clear();
  for (number s : seen_.members().subspan(first)) {
    node_of_[s] = kNone;
    if (missing_[s] == 0) continue;
    useful_part(s, part_);
    if (part_.empty() && !unconditional) continue;  // no closure yet
    if (answered_by_memory(s)) continue;
    const number begin = static_cast<number>(parts_.size());
    parts_.insert(parts_.end(), part_.begin(), part_.end());
    starts_.push_back(s);
    ranges_.push_back({begin, static_cast<number>(parts_.size())});
  }
  // A name leads somewhere when it is the first of a dependency that the
  // bound applied.
  tree_.clear_leading();
  for (const part_tree::range& r : ranges_)
    for (number i = r.begin; i < r.end; ++i)
      if (!followed_.starting(parts_[i]).empty()) tree_.mark_leading(parts_[i]);
  tree_.build(parts_, ranges_);
  for (const part_tree::node& x : tree_.nodes()) {
    const number parent = x.parent == kNone ? kNone : first_node + x.parent;
    const number n = nodes_->add(parent);
    info_.push_back({});
    info_[n].part_begin = x.begin;
    info_[n].part_size = x.end - x.begin;
    info_[n].residents = x.parts;
    if (parent != kNone) {
      info_[parent].shared = true;
      ++info_[parent].living_children;
    }
  }
  for (size_t i = 0; i < starts_.size(); ++i) {
    const number s = starts_[i];
    node_of_[s] = first_node + tree_.node_of(i);
    // Offered what the nodes it goes on from reach.
    for (number up = nodes_->parent(node_of_[s]); up != kNone;
         up = nodes_->parent(up)) {
      followers_.push_back({s, info_[up].followers});
      info_[up].followers = static_cast<number>(followers_.size() - 1);
      ++info_[up].follower_count;
    }
  }
  list_residents(first_node);
  for (number n = first_node; n < nodes_->size(); ++n) seed(n);
}

void preservation_test::look_at(number s) {
  ++work_.schemas;
  if (!seen_.insert(s)) return;
  const std::span<const number> members = graph_.members(s);
  const std::span<const number> bound = bound_->reached().members();
  number missing = 0;
  if (members.size() <= bound.size() * std::bit_width(members.size())) {
    for (number attribute : members)
      missing += bound_->reached().contains(attribute) &&
                 !derived_.contains(attribute);
  } else {
    for (number attribute : bound)
      missing += !derived_.contains(attribute) && graph_.holds(s, attribute);
  }
  missing_[s] = missing;
}

// The names of schema s in Z that start a dependency, in no set order (the
// parts' tree orders them): by walking the schema or by looking Z's names
// up in it, whichever is shorter.
void preservation_test::useful_part(number s, std::vector<number>& part) const {
  const std::span<const number> members = graph_.members(s);
  const std::vector<bool>& on_left = graph_.closing().on_left;
  if (members.size() <= derived_.size() * std::bit_width(members.size())) {
    copy_where(members, part, [&](number attribute) {
      return on_left[attribute] && derived_.contains(attribute);
    });
  } else {
    copy_where(derived_.members(), part, [&](number attribute) {
      return on_left[attribute] && graph_.holds(s, attribute);
    });
  }
}

// Lists the schemas of each node from first on together at the end of
// residents_, by counting.
void preservation_test::list_residents(number first) {
  std::vector<number>& next = scratch_;
  next.assign(info_.size() - first + 1, 0);
  const number base = static_cast<number>(residents_.size());
  number listed = 0;
  for (number s : starts_) {
    ++next[node_of_[s] - first + 1];
    ++listed;
  }
  for (size_t n = first; n < info_.size(); ++n) {
    const size_t i = n - first;
    next[i + 1] += next[i];
    info_[n].first_resident = base + next[i];
    info_[n].slots = info_[n].residents;
  }
  residents_.resize(base + listed);
  for (number s : starts_) residents_[base + next[node_of_[s] - first]++] = s;
}

// A node starts from its part, and from what the dependencies with an empty
// left side give.
void preservation_test::seed(number n) {
  node_info& x = info_[n];
  if (x.slots == 1 && x.followers == kNone)
    x.schema = residents_[x.first_resident];
  for (size_t i = 0; i < info_[n].part_size; ++i)
    reach(n, parts_[info_[n].part_begin + i], kNone);
  const watched_dependencies& closing = graph_.closing();
  for (number dependency : closing.unconditional)
    if (bound_->applied(dependency))
      for (number attribute : closing.right[dependency])
        reach(n, attribute, dependency);
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
    } else if (applied_ < derived_.size()) {
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

// Node n processes the names it has reached, until it has none left, the
// right side is derived, or it has no schema left to serve. A node that goes
// on from another has that one finished first.
void preservation_test::close(number n) {
  info_[n].waiting = false;
  if (!alive(n)) return;
  // The nodes it goes on from that are not finished, from the top: those
  // above a finished one are finished.
  unfinished_above_.clear();
  for (number up = nodes_->parent(n); up != kNone && !info_[up].complete;
       up = nodes_->parent(up))
    unfinished_above_.push_back(up);
  for (; !unfinished_above_.empty(); unfinished_above_.pop_back())
    run(unfinished_above_.back());
  run(n);
}

// Processes the names that node n reached, as close() says.
void preservation_test::run(number n) {
  const auto starting = [&](number attribute) {
    return followed_.starting(attribute);
  };
  const auto reached = [&](number attribute, number dependency) {
    reach(n, attribute, dependency);
    return alive(n) && wanted_left_ > 0;
  };
  while (nodes_->pending(n) && alive(n) && wanted_left_ > 0)
    nodes_->process_next(n, starting, reached);
  info_[n].complete = alive(n) && wanted_left_ > 0;
  // The first time a schema's own closure is finished without finishing
  // the schema, what it reached is remembered whole for the part it had
  // then: later tests where the part starts the same need no closure.
  const number s = info_[n].schema;
  if (s != kNone && !info_[n].told && unfinished(n, s)) {
    info_[n].told = true;
    remember(s, n, true);
  }
}

bool preservation_test::alive(number n) const {
  return info_[n].residents > 0 || info_[n].living_children > 0;
}

// Forgets what the dead nodes hold, and what the unfinished nodes of single
// schemas hold, for the whole rules that answer their schemas. When the
// living still hold more than half the limit, the limit doubles, so that
// collecting costs what it frees.
void preservation_test::collect() {
  note_state();
  for (number n = 0; n < nodes_->size(); ++n) retire(n);
  nodes_->collect([&](number n) { return alive(n); });
  for (number n = 0; n < nodes_->size(); ++n)
    if (!alive(n)) info_[n].collected = true;
  if (nodes_->state() > state_limit_ / 2) state_limit_ *= 2;
}

// Node n reaches attribute through the closing dependency cause (kNone for a
// name of its part): it is offered to the node's schemas at once, so that a
// schema is done as soon as it can be, and kept to process when it starts a
// dependency. The names of the node's own schema, or of any schema for a
// node that serves several, are remembered, so that what the node reached
// of a schema can be traced back.
void preservation_test::reach(number n, number attribute, number cause) {
  const number s = info_[n].schema;
  const bool own = s != kNone && info_[n].slots == 1;
  const bool remember =
      own ? graph_.holds(s, attribute) : graph_.held(attribute);
  if (!nodes_->reach(n, attribute, cause, remember)) return;
  offer(n, attribute, cause, own && remember);
  if (!nodes_->pending(n)) return;
  info_[n].complete = false;  // until it has processed this name too
  if (!info_[n].waiting) {
    info_[n].waiting = true;
    (s != kNone && aimed_.marked(s) ? aimed_ready_ : ready_).push_back(n);
  }
}

// If a schema that node n serves holds attribute, which n reached through
// the dependency cause, and it is not derived yet, it joins Z. Walks the
// node's schemas (those it was started for and those that went on from
// it) or the attribute's, whichever list is shorter; own_holds tells, for a
// node of one schema, whether that schema holds attribute.
void preservation_test::offer(number n, number attribute, number cause,
                              bool own_holds) {
  if (derived_.contains(attribute)) return;
  const node_info& x = info_[n];
  if (x.schema != kNone && x.slots == 1 && x.followers == kNone) {
    if (missing_[x.schema] > 0 && own_holds)
      derive(attribute, {x.schema, attribute, n, cause});
    return;
  }
  const std::span<const number> holders = graph_.containing(attribute);
  if (x.slots + x.follower_count <= holders.size()) {
    const auto offered = [&](number s) {
      if (!serves(n, s) || !graph_.holds(s, attribute)) return false;
      derive(attribute, {s, attribute, n, cause});
      return true;
    };
    for (number i = 0; i < x.slots; ++i)
      if (offered(residents_[x.first_resident + i])) return;
    for (number f = x.followers; f != kNone; f = followers_[f].second)
      if (offered(followers_[f].first)) return;
  } else {
    for (number s : holders)
      if (seen_.contains(s) && serves(n, s))
        return derive(attribute, {s, attribute, n, cause});
  }
}

// True when node n holds the closure of schema s, which still adds: as its
// node, or as the node its node goes on from.
bool preservation_test::serves(number n, number s) const {
  if (missing_[s] == 0 || node_of_[s] == kNone) return false;
  for (number up = node_of_[s]; up != kNone; up = nodes_->parent(up))
    if (up == n) return true;
  return false;
}

// Attribute joined Z once the closures have started: each open schema that
// holds it misses one name less, and is done when it misses none. Kept out
// of derive(), which runs for every name of every test and stays small.
[[gnu::noinline]] void preservation_test::count_down(number attribute) {
  // Also when the right side is now derived, so that a schema that derived
  // its last name is learned from.
  const bool starts = wanted_left_ > 0 && graph_.closing().on_left[attribute];
  for (number s : graph_.containing(attribute)) {
    if (!seen_.contains(s)) {
      if (!from_z_) continue;
      look_at(s);  // its part is attribute, and what Z held of it before
      node_of_[s] = kNone;
      if (missing_[s] > 0 && starts) grows_.push_back({s, attribute});
      continue;
    }
    if (missing_[s] == 0) continue;
    if (--missing_[s] == 0) {
      done(s);
    } else if (starts) {  // an aimed part of two names or more goes first
      (aimed_.marked(s) && node_of_[s] != kNone ? aimed_grows_ : grows_)
          .push_back({s, attribute});
    }
  }
}

// Schema s is done: what its closure reached of it is learned, and it
// leaves its node.
void preservation_test::done(number s) {
  const number n = node_of_[s];
  if (n == kNone) return;
  remember(s, n, false);
  leave(n);
}

// A schema of node n leaves it; a node left with no schema and no living
// node below it is gone, and so may be the nodes it goes on from.
void preservation_test::leave(number n) {
  --info_[n].residents;
  for (; !alive(n) && nodes_->parent(n) != kNone; n = nodes_->parent(n))
    --info_[nodes_->parent(n)].living_children;
}

// The part of schema s grows by attribute, which starts a dependency: its
// closure reaches it. A schema without a closure gets one, unless a whole
// rule answers it; a schema that shares its closure goes on from it in one
// of its own.
void preservation_test::grow(number s, number attribute) {
  if (missing_[s] == 0) return;
  const number n = node_of_[s];
  if (n == kNone) {
    if (answered_.marked(s) && answers(s, attribute)) return;
    answered_.unmark(s);
    useful_part(s, part_);
    if (answered_by_memory(s)) return;
    const number own = own_node(s, kNone);
    for (number name : part_) reach(own, name, kNone);
    return;
  }
  if (nodes_->reached(n, attribute)) return;
  if (info_[n].slots == 1 && !info_[n].shared) {
    reach(n, attribute, kNone);
    return;
  }
  useful_part(s, part_);
  if (answered_by_memory(s)) return leave(n);
  info_[n].shared = true;
  const number own = own_node(s, n);  // before n may lose its last schema
  leave(n);
  reach(own, attribute, kNone);
}

// A new node for schema s alone, going on from parent (or kNone).
number preservation_test::own_node(number s, number parent) {
  const number n = nodes_->add(parent);
  info_.push_back({});
  node_info& x = info_[n];
  x.schema = s;
  x.residents = 1;
  x.slots = 1;
  x.first_resident = static_cast<number>(residents_.size());
  residents_.push_back(s);
  node_of_[s] = n;
  if (parent != kNone) ++info_[parent].living_children;
  return n;
}
