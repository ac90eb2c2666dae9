#include "part_tree.h"

#include <algorithm>

part_tree::part_tree(size_t names)
    : count_(names), counted_(names), leads_(names) {}

void part_tree::build(std::vector<number>& names,
                      std::span<const range> parts) {
  counted_.clear();
  for (const range& part : parts)
    for (number i = part.begin; i < part.end; ++i) {
      const number attribute = names[i];
      if (!counted_.marked(attribute)) {
        counted_.mark(attribute);
        count_[attribute] = 0;
      }
      ++count_[attribute];
    }
  const auto before = [&](number a, number b) {
    const bool la = leads_.marked(a), lb = leads_.marked(b);
    if (la != lb) return la;
    return count_[a] != count_[b] ? count_[a] > count_[b] : a < b;
  };
  // A name that one part alone holds leads where no other part goes: such
  // names end their part, in no order, after the others.
  shared_end_.clear();
  for (const range& part : parts) {
    const auto shared =
        std::partition(names.begin() + part.begin, names.begin() + part.end,
                       [&](number attribute) { return count_[attribute] > 1; });
    std::sort(names.begin() + part.begin, shared, before);
    shared_end_.push_back(static_cast<number>(shared - names.begin()));
  }
  make_nodes(names, parts);
}

// Makes a node for every beginning of a part, found through a map from a
// node and the name that follows it, then keeps those that a part ends at
// or where parts part ways, each going on from the nearest kept node above
// it that may have nodes below it.
void part_tree::make_nodes(std::span<const number> names,
                           std::span<const range> parts) {
  made_.clear();
  depth_.clear();
  children_.clear();
  edges_.clear();
  node_of_.assign(parts.size(), kNone);
  const auto add = [&](number parent, number begin, number depth) {
    made_.push_back({parent, begin, begin + depth});
    depth_.push_back(depth);
    children_.push_back(0);
    if (parent != kNone) ++children_[parent];
    return static_cast<number>(made_.size() - 1);
  };
  number empty = kNone;  // the node of the empty parts
  for (size_t i = 0; i < parts.size(); ++i) {
    const range part = parts[i];
    number at = kNone;
    if (part.begin == part.end)
      at = empty = empty == kNone ? add(kNone, part.begin, 0) : empty;
    for (number k = part.begin; k < shared_end_[i]; ++k) {
      const auto [child, added] = edges_.add(pair_key(at, names[k]), kNone);
      if (added) *child = add(at, part.begin, k + 1 - part.begin);
      at = *child;
    }
    if (shared_end_[i] < part.end)
      at = add(at, part.begin, part.end - part.begin);
    node_of_[i] = at;
    ++made_[at].parts;
  }
  // kept_: per node, its number in nodes_, or kNone; above_: per node, the
  // kept node that it, or the nodes below it, go on from; level_: per node
  // of nodes_, how many nodes are above it; stack_: its depth in names.
  const number count = static_cast<number>(made_.size());
  kept_.assign(count, kNone);
  above_.assign(count, kNone);
  level_.clear();
  stack_.clear();
  nodes_.clear();
  for (number v = 0; v < count; ++v) {
    const node& x = made_[v];
    number parent = kNone;
    if (x.parent != kNone)
      parent = kept_[x.parent] != kNone ? kept_[x.parent] : above_[x.parent];
    // A node at the deepest level has no nodes below it.
    if (parent != kNone && level_[parent] == kDepth)
      parent = nodes_[parent].parent;
    above_[v] = parent;
    const number level = parent == kNone ? 0 : level_[parent] + 1;
    if (x.parts == 0 && (children_[v] < 2 || level == kDepth)) continue;
    kept_[v] = static_cast<number>(nodes_.size());
    const number depth = parent == kNone ? 0 : stack_[parent];
    nodes_.push_back({parent, x.begin + depth, x.end, x.parts});
    level_.push_back(level);
    stack_.push_back(depth_[v]);
  }
  for (number& at : node_of_) at = kept_[at];
}
