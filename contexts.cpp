#include "contexts.h"

#include <algorithm>
#include <vector>

#include "classes.h"

namespace {

// A name leading to another under a context.
struct edge {
  number context, from, to;
};

// The edges of the two-name dependencies of model, grouped by context.
std::vector<edge> context_edges(const numbered_input& model) {
  std::vector<edge> edges;
  for (size_t d = 0; d < model.left.size(); ++d) {
    const std::span<const number> left = model.left[d];
    if (left.size() != 2) continue;
    for (number to : model.right[d]) {
      if (to == left[0] || to == left[1]) continue;
      edges.push_back({left[0], left[1], to});
      edges.push_back({left[1], left[0], to});
    }
  }
  std::sort(edges.begin(), edges.end(), [](const edge& a, const edge& b) {
    return a.context != b.context ? a.context < b.context : a.from < b.from;
  });
  return edges;
}

}  // namespace

context_classes::context_classes(const dependency_graph& graph) {
  const std::vector<edge> edges = context_edges(graph.model());
  long long budget = 4 * static_cast<long long>(graph.size()) + 4096;
  scratch_map local;  // name: its number among the context's names
  std::vector<number> names, first_edge, targets, first, class_id;
  marks seen;
  number next_class = 0;
  for (size_t begin = 0, end; begin < edges.size() && budget > 0;
       begin = end) {
    const number c = edges[begin].context;
    for (end = begin; end < edges.size() && edges[end].context == c;) ++end;
    budget -= static_cast<long long>(end - begin);
    // The context's names, numbered, and its edges by the name they leave.
    local.clear();
    names.clear();
    const auto id = [&](number name) {
      const auto [slot, added] =
          local.add(name, static_cast<number>(names.size()));
      if (added) names.push_back(name);
      return *slot;
    };
    for (size_t i = begin; i < end; ++i) {
      id(edges[i].from);
      id(edges[i].to);
    }
    const size_t n = names.size();
    first_edge.assign(n + 1, 0);
    for (size_t i = begin; i < end; ++i) ++first_edge[id(edges[i].from) + 1];
    for (size_t v = 0; v < n; ++v) first_edge[v + 1] += first_edge[v];
    targets.resize(end - begin);
    {
      std::vector<number> at(first_edge.begin(), first_edge.end() - 1);
      for (size_t i = begin; i < end; ++i)
        targets[at[id(edges[i].from)]++] = id(edges[i].to);
    }
    number count = 0;
    const std::vector<number> component =
        strong_components(n, first_edge, targets, count);
    if (count == n) continue;  // no two names lead to each other
    // Within each schema that holds c, every name is linked to the first
    // name of its component there.
    union_find sets(n);
    std::vector<bool> linked(n, false);
    seen = marks(count);
    first.resize(count);
    for (number s : graph.containing(c)) {
      const std::span<const number> members = graph.members(s);
      budget -= static_cast<long long>(members.size());
      if (budget <= 0) break;
      seen.clear();
      for (number member : members) {
        const number* v = local.find(member);
        if (v == nullptr) continue;
        const number k = component[*v];
        if (!seen.marked(k)) {
          seen.mark(k);
          first[k] = *v;
        } else if (sets.join(first[k], *v)) {
          linked[first[k]] = linked[*v] = true;
        }
      }
    }
    class_id.assign(n, kNone);
    for (number v = 0; v < n; ++v) {
      if (!linked[v]) continue;
      number& k = class_id[sets.find(v)];
      if (k == kNone) k = next_class++;
      *class_.add(pair_key(c, names[v])).first = k;
      any_ = true;
    }
  }
}
