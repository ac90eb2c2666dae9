#include "classes.h"

#include <algorithm>
#include <utility>

namespace {

// The strongly connected components of the graph whose edges lead from the
// one name on the left side of a dependency to each name of its right side:
// per name, the number of its component; empty when every component is a
// single name.
std::vector<number> components(const numbered_input& model, size_t width) {
  // The edges, grouped by the name they leave, by counting.
  std::vector<number> first_edge(width + 1, 0), edges;
  for (size_t d = 0; d < model.left.size(); ++d)
    if (model.left[d].size() == 1)
      first_edge[model.left[d][0] + 1] +=
          static_cast<number>(model.right[d].size());
  for (size_t a = 0; a < width; ++a) first_edge[a + 1] += first_edge[a];
  if (first_edge[width] == 0) return {};
  edges.resize(first_edge[width]);
  {
    std::vector<number> at(first_edge.begin(), first_edge.end() - 1);
    for (size_t d = 0; d < model.left.size(); ++d)
      if (model.left[d].size() == 1)
        for (number b : model.right[d]) edges[at[model.left[d][0]]++] = b;
  }
  number count = 0;
  std::vector<number> component =
      strong_components(width, first_edge, edges, count);
  if (count == width) return {};
  return component;
}

}  // namespace

// Tarjan's algorithm, with an explicit stack of (node, next edge) instead of
// recursion. Kept out of line: inlined under link-time optimisation, it
// draws a false warning from GCC 12 about freeing its vectors.
[[gnu::noinline]] std::vector<number> strong_components(
    size_t width, std::span<const number> first_edge,
    std::span<const number> edges, number& count) {
  std::vector<number> component(width, kNone), index(width, kNone),
      low(width, 0), stack;
  std::vector<bool> on_stack(width, false);
  std::vector<std::pair<number, number>> walk;  // name, next edge
  number next_index = 0, next_component = 0;
  for (number root = 0; root < width; ++root) {
    if (index[root] != kNone) continue;
    if (first_edge[root] == first_edge[root + 1]) {  // alone: no way out
      index[root] = next_index++;
      component[root] = next_component++;
      continue;
    }
    walk.push_back({root, first_edge[root]});
    index[root] = low[root] = next_index++;
    stack.push_back(root);
    on_stack[root] = true;
    while (!walk.empty()) {
      auto& [v, edge] = walk.back();
      if (edge < first_edge[v + 1]) {
        const number w = edges[edge++];
        if (index[w] == kNone) {
          index[w] = low[w] = next_index++;
          stack.push_back(w);
          on_stack[w] = true;
          walk.push_back({w, first_edge[w]});
        } else if (on_stack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      const number done = v;
      walk.pop_back();
      if (!walk.empty())
        low[walk.back().first] = std::min(low[walk.back().first], low[done]);
      if (low[done] != index[done]) continue;
      number w;
      do {
        w = stack.back();
        stack.pop_back();
        on_stack[w] = false;
        component[w] = next_component;
      } while (w != done);
      ++next_component;
    }
  }
  count = next_component;
  return component;
}

name_classes::name_classes(const dependency_graph& graph) {
  const size_t width = graph.name_count();
  const std::vector<number> component = components(graph.model(), width);
  if (component.empty()) return;
  // Within each schema, every name is linked to the first name of its
  // component there, unless a link joins them already.
  union_find sets(width);
  std::vector<std::pair<number, link>> found;  // a, {b, schema}
  marks seen(width);
  std::vector<number> first(width);
  for (number s = 0; s < graph.schema_count(); ++s) {
    seen.clear();
    for (number attribute : graph.members(s)) {
      const number c = component[attribute];
      if (!seen.marked(c)) {
        seen.mark(c);
        first[c] = attribute;
      } else if (sets.join(first[c], attribute)) {
        found.push_back({first[c], {attribute, s}});
      }
    }
  }
  any_ = !found.empty();
  class_of_.resize(width);
  for (number a = 0; a < width; ++a) class_of_[a] = sets.find(a);
  // The links, both ways, grouped by name.
  first_link_.assign(width + 1, 0);
  for (const auto& [a, l] : found) {
    ++first_link_[a + 1];
    ++first_link_[l.attribute + 1];
  }
  for (size_t a = 0; a < width; ++a) first_link_[a + 1] += first_link_[a];
  links_.resize(2 * found.size());
  std::vector<number> at(first_link_.begin(), first_link_.end() - 1);
  for (const auto& [a, l] : found) {
    links_[at[a]++] = l;
    links_[at[l.attribute]++] = {a, l.schema};
  }
  root_trees(width);
  list_held(graph);
}

void name_classes::list_held(const dependency_graph& graph) {
  first_held_.assign(1, 0);
  for (number s = 0; s < graph.schema_count(); ++s) {
    const size_t begin = held_.size();
    for (number attribute : graph.members(s))
      if (!links(attribute).empty())
        held_.push_back({class_of_[attribute], attribute});
    const auto mine = held_.begin() + static_cast<std::ptrdiff_t>(begin);
    std::sort(mine, held_.end());
    held_.erase(std::unique(mine, held_.end(),
                            [](const auto& a, const auto& b) {
                              return a.first == b.first;
                            }),
                held_.end());
    first_held_.push_back(held_.size());
  }
}

number name_classes::member_in(number schema, number attribute) const {
  const auto begin =
      held_.begin() + static_cast<std::ptrdiff_t>(first_held_[schema]);
  const auto end =
      held_.begin() + static_cast<std::ptrdiff_t>(first_held_[schema + 1]);
  const number c = class_of_[attribute];
  const auto found = std::lower_bound(
      begin, end, c, [](const auto& held, number k) { return held.first < k; });
  return found != end && found->first == c ? found->second : kNone;
}

// Roots each tree at its first name: every other name gets the link to its
// parent, and its depth, by a walk from the root.
void name_classes::root_trees(size_t width) {
  parent_.assign(width, {kNone, kNone});
  depth_.assign(width, 0);
  std::vector<number> stack;
  for (number root = 0; root < width; ++root) {
    if (parent_[root].attribute != kNone || links(root).empty()) continue;
    parent_[root] = {root, kNone};  // seen; a root is its own parent
    stack.push_back(root);
    while (!stack.empty()) {
      const number a = stack.back();
      stack.pop_back();
      for (const link& l : links(a)) {
        if (parent_[l.attribute].attribute != kNone) continue;
        parent_[l.attribute] = {a, l.schema};
        depth_[l.attribute] = depth_[a] + 1;
        stack.push_back(l.attribute);
      }
    }
  }
}

void name_classes::path(number from, number to,
                        std::vector<link>& steps) const {
  steps.clear();
  // The name where the two ways up meet.
  number a = from, b = to;
  while (a != b) {
    if (depth_[a] == 0 && depth_[b] == 0) return;  // not one class
    if (depth_[a] >= depth_[b]) {
      a = parent_[a].attribute;
    } else {
      b = parent_[b].attribute;
    }
  }
  for (; from != a; from = parent_[from].attribute)
    steps.push_back({parent_[from].attribute, parent_[from].schema});
  const size_t down = steps.size();
  for (; to != a; to = parent_[to].attribute)
    steps.push_back({to, parent_[to].schema});
  std::reverse(steps.begin() + static_cast<std::ptrdiff_t>(down), steps.end());
}
