// The closure machinery: the closure of a set of names under dependencies,
// where each dependency waits on one name of its left side at a time.
//
// A dependency is looked at first when its first name (the rarest, in the
// order its left side is kept in) is reached; it then walks its left side
// forward to the first name not reached yet and waits on that name. Its place
// on the left side only moves forward, so a dependency costs the length of
// its left side once, however many names reach it; a name that many left
// sides hold, but is the rarest of few of them, costs little to reach.
//
// Two forms share this: closure, one closure computed to its end, and
// closure_nodes, many closures at once that can stop and go on, some of
// which go on from finished ones instead of starting afresh. Between them,
// followed_dependencies lists what one closure applied, by first name, for
// the others to follow.
//
// What they keep true: a dependency applies exactly when every name of its
// left side has been reached; it applies once, and every name is processed
// once per closure.
//
// What they cost: for each name reached, the dependencies whose first name it
// is, and for each dependency looked at, its left side once and, when it
// applies, its right side. Working sets are stamped, so a closure costs what
// it reaches and not the size of the input.
#ifndef FDKEEP_CLOSURE_H_
#define FDKEEP_CLOSURE_H_

#include <algorithm>
#include <span>
#include <vector>

#include "graph.h"
#include "scratch.h"

// What the machinery has done, counted so that tests can bound it.
struct work_count {
  uint64_t names = 0;         // names processed by a closure or a rule base
  uint64_t dependencies = 0;  // dependencies or rules looked at
  uint64_t closures = 0;      // closures begun
  uint64_t schemas = 0;       // schemas looked at for the names they hold
  // Not work: the most entries that closures of one test held at once.
  uint64_t peak_state = 0;

  uint64_t total() const { return names + dependencies + closures + schemas; }
};

// One closure at a time, each computed to its end.
class closure {
 public:
  // Closes under dependencies, which must outlive it; counts its work in
  // work.
  closure(const watched_dependencies& dependencies, size_t names,
          work_count& work);

  // Closes start: afterwards reached() holds start and every name that the
  // dependencies reach from it, and applied() tells which dependencies
  // applied.
  void compute(std::span<const number> start) {
    compute_until(start, [](number) { return false; });
  }

  // Closes start as compute() does, but stops once every name of start has
  // been processed and stop(attribute) is true for a name reached, each
  // name asked once. True when it stopped: reached() and applied() then
  // hold only a part of the closure, and applied_at_start() all of its own.
  template <typename Stop>
  bool compute_until(std::span<const number> start, Stop stop);

  // True when start, distinct names, is the set the last compute() started
  // from: its results stand for start too.
  bool started_from(std::span<const number> start) const;

  const stamped_set& reached() const { return reached_; }
  bool applied(number dependency) const { return applied_.marked(dependency); }
  // The size of the dependencies applied: one for each, and its names.
  size_t applied_size() const { return applied_size_; }

  // The dependencies applied before any name beyond start was processed:
  // among them, every dependency whose left side lies in start.
  std::span<const number> applied_at_start() const {
    return {applied_list_.data(), at_start_};
  }

 private:
  void begin(std::span<const number> start);
  void process(number attribute);
  void look_at(number dependency, number from);
  void apply(number dependency);

  const watched_dependencies& dependencies_;
  work_count& work_;
  stamped_set reached_;
  marks applied_;
  std::vector<number> place_;  // per dependency waiting: where on its left
  std::vector<number> waiting_head_;  // per name: first waiting, if marked
  marks waiting_;                     // names with dependencies waiting
  std::vector<std::pair<number, number>> waits_;  // dependency, next
  // In the order they applied: room for each dependency once.
  std::vector<number> applied_list_;
  size_t applied_count_ = 0, applied_size_ = 0;
  size_t at_start_ = 0;
  marks started_;                 // the start of the last closure
  size_t start_size_ = SIZE_MAX;  // none yet
};

template <typename Stop>
bool closure::compute_until(std::span<const number> start, Stop stop) {
  begin(start);
  size_t asked = 0;
  // reached_ lists every name once; walking the list processes each.
  for (size_t next = 0; next < reached_.members().size(); ++next) {
    if (next == start_size_) at_start_ = applied_count_;
    if (next >= start_size_)
      for (; asked < reached_.members().size(); ++asked)
        if (stop(reached_.members()[asked])) return true;
    process(reached_.members()[next]);
  }
  if (reached_.size() <= start_size_) at_start_ = applied_count_;
  return false;
}

// The dependencies that one closure applied, listed by their first name:
// those that closures bounded by it follow. A name that starts many
// dependencies, of which the bound applied few, costs those few after the
// first look.
class followed_dependencies {
 public:
  explicit followed_dependencies(size_t names) : lists_(names) {}

  // Follows what bound applied of dependencies, which both must outlive the
  // next call, and forgets what was listed before.
  void follow(const watched_dependencies& dependencies, const closure& bound) {
    dependencies_ = &dependencies;
    bound_ = &bound;
    lists_.clear();
  }

  // The dependencies whose first name is attribute that the bound applied:
  // listed on the first call for attribute, at the cost of all whose first
  // name it is.
  std::span<const number> starting(number attribute) {
    return lists_.of(
        attribute, [&](number a) { return dependencies_->first[a]; },
        [&](number dependency) { return bound_->applied(dependency); });
  }

 private:
  const watched_dependencies* dependencies_ = nullptr;
  const closure* bound_ = nullptr;
  filtered_lists lists_;
};

// Many closures at once, each a node. A node starts from names given to it,
// reaches names through the dependencies that a filter lets through, and
// processes them when asked to, a few at a time. A node can go on from a
// parent, a node that has finished and changes no more: it sees what the
// parent, and the nodes the parent goes on from, reached as its own, and
// holds only what differs. A lookup costs one probe per node on that way;
// a name offered again to the node last offered one, a look. A dependency
// of three names or more keeps its place on its left side in a table; one
// of two names, which can only wait on its second, keeps none, which
// spares dense pools of pairs a table entry per dependency and node.
class closure_nodes {
 public:
  // Follows the closing dependencies of graph, which must outlive it; counts
  // its work in work.
  closure_nodes(const dependency_graph& graph, work_count& work);

  // Forgets every node.
  void clear();

  // A new node, going on from parent (kNone for none), which must have
  // processed every name it reached.
  number add(number parent);

  number parent(number node) const { return nodes_[node].parent; }
  size_t size() const { return nodes_.size(); }

  // True when node, or a node it goes on from, has reached attribute.
  bool reached(number node, number attribute) const;

  // The dependency through which node (or a node it goes on from) reached
  // attribute, kNone for a name it started from; nullptr when none did.
  const number* cause(number node, number attribute) const;

  // Node reaches attribute through the dependency cause (kNone for a name it
  // starts from). Returns false when it had reached it already. A name on no
  // left side is not kept to be processed, and is remembered only when
  // remember says so. Ask known_to_have_reached() first: it answers the
  // names offered again without the lookups.
  bool reach(number node, number attribute, number cause, bool remember);

  // Node is offered a name that it neither keeps nor remembers: only
  // counted in offered().
  void offered_only(number node) { ++nodes_[node].offered; }

  // True, and node counted as offered attribute, when node is known to
  // have reached attribute already, as reach() would find at more cost:
  // for the node last offered a name, what it was found to have reached.
  bool known_to_have_reached(number node, number attribute) {
    if (node != known_node_ || !known_.marked(attribute)) return false;
    ++nodes_[node].offered;
    return true;
  }

  // True when node has reached names it has not processed yet.
  bool pending(number node) const { return nodes_[node].first_event != kNone; }
  // How many names node has reached and kept to process.
  number names(number node) const { return nodes_[node].names; }
  // How many times node was offered a name, kept or not: what its closure
  // cost, where a dependency with a long right side reaches many names that
  // start nothing.
  number offered(number node) const { return nodes_[node].offered; }

  // Processes the next name that node reached: looks at the dependencies
  // whose first name it is among those that starting(attribute) gives, a
  // range of the dependencies to follow, and at those waiting on it, and
  // calls reached(attribute, dependency) for each name of the right side of
  // each that applies, until that returns false. Requires pending(node).
  template <typename Starting, typename Reached>
  void process_next(number node, Starting starting, Reached reached);

  // The number of entries the nodes hold, for a limit on them.
  size_t state() const {
    return reached_.size() + places_.size() + waits_.size();
  }

  // Forgets what every node for which keep(node) is false holds.
  template <typename Keep>
  void collect(Keep keep);

 private:
  struct node {
    number parent;
    number first_event = kNone, last_event = kNone;  // names to process
    number names = 0;
    number offered = 0;  // names reached, kept or not, and again
  };
  struct event {
    number attribute, next;
  };
  struct wait {
    number dependency, next;
  };

  // Walks dependency's left side from place in node; true when it applies
  // (and it is then marked applied there when it waited, here or in the
  // parent), otherwise waits on the first name not reached.
  bool advance(number node, number dependency, number place, bool waited);

  // True when dependency has a place of its own in node or in a node it
  // goes on from, below owner.
  bool went_on_below(number node, number owner, number dependency) const;

  // Asks for what the first look at dependency in node will read: the
  // second name's entry, for one of two names, or else its place.
  void prefetch_look(number node, number dependency) const {
    const std::span<const number> left = dependencies_.left[dependency];
    if (left.size() == 2) {
      reached_.prefetch(pair_key(node, left[1]));
    } else {
      places_.prefetch(pair_key(node, dependency));
    }
  }

  static constexpr number kApplied = kNone;  // the place of one that applied
  void wait_on(number node, number attribute, number dependency);

  const watched_dependencies& dependencies_;
  work_count& work_;
  std::vector<node> nodes_;
  std::vector<event> events_;
  std::vector<wait> waits_;
  scratch_map reached_;  // node and name: the dependency that reached it
  scratch_map places_;   // node and dependency of three names or more:
                         // where on its left it waits
  scratch_map waiting_;  // node and name: the first dependency waiting on it
  marks waited_on_;      // names that some node has waited on since clear()
  // Names that known_node_, the node last offered a name, is known to have
  // reached: offers of a wide right side again and again to the node that
  // runs cost a look, not a probe per node on its way up.
  marks known_;
  number known_node_ = kNone;
  std::vector<wait> spare_waits_;    // room for collect()
  std::vector<event> spare_events_;  // room for collect()
};

template <typename Starting, typename Reached>
void closure_nodes::process_next(number n, Starting starting, Reached reached) {
  node& x = nodes_[n];
  const event e = events_[x.first_event];
  x.first_event = e.next;
  if (e.next == kNone) x.last_event = kNone;
  ++work_.names;
  const number attribute = e.attribute;
  // The dependencies whose first name it is, then those waiting on it here,
  // then those waiting on it in the nodes it goes on from: as they are
  // finished, they wait there on a name those never reach.
  const auto run = [&](number dependency, number place, bool waited) {
    ++work_.dependencies;
    if (!advance(n, dependency, place, waited)) return true;
    work_.names += dependencies_.right[dependency].size();
    for (number r : dependencies_.right[dependency])
      if (!reached(r, dependency)) return false;
    return true;
  };
  // Each of these looks up its second name in a table as large as the
  // test's state, or adds its place to one, a miss each: asked for a few
  // ahead, the misses overlap.
  const std::span<const number> first = starting(attribute);
  constexpr size_t kAhead = 4;
  for (size_t i = 0; i < std::min(kAhead, first.size()); ++i)
    prefetch_look(n, first[i]);
  for (size_t i = 0; i < first.size(); ++i) {
    if (i + kAhead < first.size()) prefetch_look(n, first[i + kAhead]);
    if (!run(first[i], 1, false)) return;
  }
  if (!waited_on_.marked(attribute)) return;
  for (number owner = n; owner != kNone; owner = nodes_[owner].parent) {
    const number* head = waiting_.find(pair_key(owner, attribute));
    if (head == nullptr) continue;
    for (number w = *head; w != kNone; w = waits_[w].next) {
      const number dependency = waits_[w].dependency;
      if (dependencies_.left[dependency].size() == 2) {
        if (!run(dependency, 1, true)) return;
        continue;
      }
      if (owner != n && went_on_below(n, owner, dependency))
        continue;  // it took its own way below the owner
      // From where it waits now, which is past this name when the entry is
      // stale: a node and the node it goes on from can both reach a name,
      // and a dependency that waited on it in one may have gone on since.
      const number place = *places_.find(pair_key(owner, dependency));
      if (place != kApplied && !run(dependency, place, true)) return;
    }
  }
}

template <typename Keep>
void closure_nodes::collect(Keep keep) {
  known_node_ = kNone;
  const auto living = [&](uint64_t key, number&) {
    return keep(static_cast<number>(key >> 32));
  };
  reached_.keep_if(living);
  places_.keep_if(living);
  // The waits and the names to process of the living, relinked, in the room
  // the last collect() freed.
  std::vector<wait>& waits = spare_waits_;
  waits.clear();
  waiting_.keep_if([&](uint64_t key, number& head) {
    if (!keep(static_cast<number>(key >> 32))) return false;
    number previous = kNone;
    for (number w = head; w != kNone; w = waits_[w].next) {
      const number at = static_cast<number>(waits.size());
      waits.push_back({waits_[w].dependency, kNone});
      if (previous == kNone) {
        head = at;
      } else {
        waits[previous].next = at;
      }
      previous = at;
    }
    return true;
  });
  waits_.swap(waits);
  std::vector<event>& events = spare_events_;
  events.clear();
  for (number n = 0; n < nodes_.size(); ++n) {
    node& x = nodes_[n];
    if (!keep(n) || x.first_event == kNone) {
      x.first_event = x.last_event = kNone;
      continue;
    }
    const number first = static_cast<number>(events.size());
    for (number e = x.first_event; e != kNone; e = events_[e].next)
      events.push_back(
          {events_[e].attribute, static_cast<number>(events.size() + 1)});
    events.back().next = kNone;
    x.first_event = first;
    x.last_event = static_cast<number>(events.size() - 1);
  }
  events_.swap(events);
}

#endif  // FDKEEP_CLOSURE_H_
