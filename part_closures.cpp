// The closures of the schemas' parts in one test (preservation_test.h):
// started together, arranged so that parts that begin alike go on from one
// closure, run a name at a time, and offered what they reach to the
// schemas they serve.
//
// What it keeps true: a node serves only schemas that are not done; a name
// a node reaches joins Z at once when a schema the node serves holds it; a
// node that others go on from is finished before they go on, and changes
// no more.
//
// What it costs: each node processes each name it reaches once, with the
// dependencies the test follows (closure.h); offering a name costs the
// shorter of the node's list of schemas and the name's; the nodes' state
// is collected once it outgrows a limit in proportion to the input.
#include <algorithm>
#include <bit>

#include "preservation_test.h"

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
      if (!followed(parts_[i]).empty()) tree_.mark_leading(parts_[i]);
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
  const auto starting = [&](number attribute) { return followed(attribute); };
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
  if (nodes_->known_to_have_reached(n, attribute)) return;
  const number s = info_[n].schema;
  const bool own = s != kNone && info_[n].slots == 1;
  const bool remember =
      own ? graph_.holds(s, attribute) : graph_.held(attribute);
  if (own && !remember && info_[n].followers == kNone &&
      !graph_.closing().on_left[attribute]) {
    // A name that its one schema does not hold and that starts nothing
    // changes nothing here: it is only counted as offered, without the
    // lookups on the way up that a wide right side would repeat.
    nodes_->offered_only(n);
    return;
  }
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
