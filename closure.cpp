#include "closure.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// closure

closure::closure(const watched_dependencies& dependencies, size_t names,
                 work_count& work)
    : dependencies_(dependencies),
      work_(work),
      reached_(names),
      applied_(dependencies.size()),
      place_(dependencies.size()),
      waiting_head_(names),
      waiting_(names),
      applied_list_(dependencies.size()),
      started_(names) {}

bool closure::started_from(std::span<const number> start) const {
  return start.size() == start_size_ &&
         std::all_of(start.begin(), start.end(), [&](number attribute) {
           return started_.marked(attribute);
         });
}

// Starts a closure of start: its names reached, and the dependencies with
// an empty left side applied.
void closure::begin(std::span<const number> start) {
  reached_.clear();
  applied_.clear();
  waiting_.clear();
  waits_.clear();
  applied_count_ = 0;
  applied_size_ = 0;
  ++work_.closures;
  started_.clear();
  for (number attribute : start) {
    reached_.insert(attribute);
    started_.mark(attribute);
  }
  start_size_ = reached_.size();
  at_start_ = 0;
  for (number dependency : dependencies_.unconditional) apply(dependency);
}

// Looks at the dependencies whose first name is attribute, and at those
// waiting on it.
void closure::process(number attribute) {
  ++work_.names;
  for (number dependency : dependencies_.first[attribute])
    look_at(dependency, 1);
  if (!waiting_.marked(attribute)) return;
  for (number w = waiting_head_[attribute]; w != kNone; w = waits_[w].second)
    look_at(waits_[w].first, place_[waits_[w].first] + 1);
}

// Walks the left side of dependency from place to the first name not
// reached, and waits there; applies the dependency when there is none.
void closure::look_at(number dependency, number place) {
  ++work_.dependencies;
  const std::span<const number> left = dependencies_.left[dependency];
  while (place < left.size() && reached_.contains(left[place])) ++place;
  if (place == left.size()) return apply(dependency);
  place_[dependency] = place;
  const number attribute = left[place];
  const number next =
      waiting_.marked(attribute) ? waiting_head_[attribute] : kNone;
  waiting_.mark(attribute);
  waiting_head_[attribute] = static_cast<number>(waits_.size());
  waits_.push_back({dependency, next});
}

void closure::apply(number dependency) {
  applied_.mark(dependency);
  applied_list_[applied_count_++] = dependency;
  applied_size_ += 1 + dependencies_.left[dependency].size() +
                   dependencies_.right[dependency].size();
  work_.names += dependencies_.right[dependency].size();
  for (number attribute : dependencies_.right[dependency])
    reached_.insert(attribute);
}

// ---------------------------------------------------------------------------
// closure_nodes

closure_nodes::closure_nodes(const dependency_graph& graph, work_count& work)
    : dependencies_(graph.closing()),
      work_(work),
      waited_on_(graph.name_count()),
      known_(graph.name_count()) {}

void closure_nodes::clear() {
  known_node_ = kNone;
  nodes_.clear();
  events_.clear();
  waits_.clear();
  reached_.clear();
  places_.clear();
  waiting_.clear();
  waited_on_.clear();
}

number closure_nodes::add(number parent) {
  ++work_.closures;
  nodes_.push_back({parent});
  return static_cast<number>(nodes_.size() - 1);
}

bool closure_nodes::reached(number n, number attribute) const {
  return cause(n, attribute) != nullptr;
}

const number* closure_nodes::cause(number n, number attribute) const {
  for (; n != kNone; n = nodes_[n].parent)
    if (const number* own = reached_.find(pair_key(n, attribute))) return own;
  return nullptr;
}

bool closure_nodes::went_on_below(number n, number owner,
                                  number dependency) const {
  for (; n != owner; n = nodes_[n].parent)
    if (places_.find(pair_key(n, dependency)) != nullptr) return true;
  return false;
}

bool closure_nodes::reach(number n, number attribute, number cause,
                          bool remember) {
  ++nodes_[n].offered;
  if (n != known_node_) {  // what the node was found to reach, from now
    known_.clear();
    known_node_ = n;
  }
  const bool processed = dependencies_.on_left[attribute];
  if (!processed && !remember) {
    if (!reached(n, attribute)) return true;
    known_.mark(attribute);
    return false;
  }
  known_.mark(attribute);
  for (number up = nodes_[n].parent; up != kNone; up = nodes_[up].parent)
    if (reached_.find(pair_key(up, attribute)) != nullptr) return false;
  const auto [slot, added] = reached_.add(pair_key(n, attribute));
  if (!added) return false;
  *slot = cause;
  if (!processed) return true;
  const number e = static_cast<number>(events_.size());
  events_.push_back({attribute, kNone});
  node& x = nodes_[n];
  ++x.names;
  if (x.last_event == kNone) {
    x.first_event = e;
  } else {
    events_[x.last_event].next = e;
  }
  x.last_event = e;
  return true;
}

bool closure_nodes::advance(number n, number dependency, number place,
                            bool waited) {
  const std::span<const number> left = dependencies_.left[dependency];
  // One with a single name is looked at once, when its name is processed,
  // and never waits: it needs no place.
  if (left.size() == 1) return true;
  // One with two names waits only on its second, so where it waits is
  // known without a place; when that wait is met, it applies, and no other
  // wait of it is left on the way up (its first name was processed in one
  // node only, the one it waits in).
  if (left.size() == 2) {
    if (waited || reached(n, left[1])) return true;
    wait_on(n, left[1], dependency);
    return false;
  }
  while (place < left.size() && reached(n, left[place])) ++place;
  if (place == left.size()) {
    // One that applies at its first look never waited, so no wait of it can
    // be met again: it needs no mark.
    if (waited) *places_.add(pair_key(n, dependency)).first = kApplied;
    return true;
  }
  *places_.add(pair_key(n, dependency)).first = place;
  wait_on(n, left[place], dependency);
  return false;
}

void closure_nodes::wait_on(number n, number attribute, number dependency) {
  waited_on_.mark(attribute);
  const auto [head, added] = waiting_.add(pair_key(n, attribute), kNone);
  const number w = static_cast<number>(waits_.size());
  waits_.push_back({dependency, *head});
  *head = w;
}
