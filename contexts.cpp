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
  std::vector<local_link> links;
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
    links.clear();
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
          links.push_back({first[k], *v, s});
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
    root_trees(c, names, links);
  }
  index_contexts(graph.name_count());
}

// Lists, per context, its names in a class, and per name the contexts it is
// in a class under.
void context_classes::index_contexts(size_t width) {
  std::vector<std::pair<number, number>> pairs;  // name, context
  at_.keep_if([&](uint64_t key, number&) {
    pairs.push_back({static_cast<number>(key), static_cast<number>(key >> 32)});
    return true;
  });
  std::sort(pairs.begin(), pairs.end());
  first_context_.assign(width + 1, 0);
  for (const auto& [name, context] : pairs) {
    ++first_context_[name + 1];
    contexts_.push_back(context);
  }
  for (size_t a = 0; a < width; ++a) first_context_[a + 1] += first_context_[a];
  std::sort(pairs.begin(), pairs.end(), [](const auto& x, const auto& y) {
    return x.second != y.second ? x.second < y.second : x.first < y.first;
  });
  for (size_t i = 0; i < pairs.size();) {
    const number context = pairs[i].second;
    *names_at_.add(context).first = static_cast<number>(names_.size());
    const size_t count_at = names_.size();
    names_.push_back(0);
    for (; i < pairs.size() && pairs[i].second == context; ++i) {
      names_.push_back(pairs[i].first);
      ++names_[count_at];
    }
  }
}

std::span<const name_classes::link> context_classes::links(
    number context, number attribute) const {
  const number* at = at_.find(pair_key(context, attribute));
  if (at == nullptr) return {};
  const step_up& x = tree_[*at];
  return {links_.data() + x.first_link, x.link_count};
}

std::span<const number> context_classes::names_under(number context) const {
  const number* at = names_at_.find(context);
  if (at == nullptr) return {};
  return {names_.data() + *at + 1, names_[*at]};
}

// Roots each tree of links under c at its first name, as name_classes does:
// every other name gets its parent, the schema of their link, and its depth.
void context_classes::root_trees(number c, const std::vector<number>& names,
                                 const std::vector<local_link>& links) {
  const size_t n = names.size();
  std::vector<number> first_link(n + 1, 0);
  std::vector<std::pair<number, number>> ends(2 * links.size());  // v, link
  for (const local_link& l : links) {
    ++first_link[l.a + 1];
    ++first_link[l.b + 1];
  }
  for (size_t v = 0; v < n; ++v) first_link[v + 1] += first_link[v];
  {
    std::vector<number> at(first_link.begin(), first_link.end() - 1);
    for (number i = 0; i < links.size(); ++i) {
      ends[at[links[i].a]++] = {links[i].b, i};
      ends[at[links[i].b]++] = {links[i].a, i};
    }
  }
  std::vector<bool> seen(n, false);
  std::vector<number> stack;
  const auto place = [&](number v, number parent, number schema,
                         number depth) {
    *at_.add(pair_key(c, names[v])).first = static_cast<number>(tree_.size());
    tree_.push_back({parent, schema, depth,
                     static_cast<number>(links_.size()),
                     first_link[v + 1] - first_link[v]});
    for (number e = first_link[v]; e < first_link[v + 1]; ++e)
      links_.push_back({names[ends[e].first], links[ends[e].second].schema});
  };
  for (number root = 0; root < n; ++root) {
    if (seen[root] || first_link[root] == first_link[root + 1]) continue;
    seen[root] = true;
    place(root, names[root], kNone, 0);
    stack.push_back(root);
    while (!stack.empty()) {
      const number v = stack.back();
      stack.pop_back();
      const number depth = tree_[*at_.find(pair_key(c, names[v]))].depth;
      for (number e = first_link[v]; e < first_link[v + 1]; ++e) {
        const auto [w, i] = ends[e];
        if (seen[w]) continue;
        seen[w] = true;
        place(w, names[v], links[i].schema, depth + 1);
        stack.push_back(w);
      }
    }
  }
}

void context_classes::path(number c, number from, number to,
                           std::vector<name_classes::link>& steps) const {
  steps.clear();
  const auto up = [&](number a) -> const step_up& {
    return tree_[*at_.find(pair_key(c, a))];
  };
  number a = from, b = to;
  while (a != b) {
    if (up(a).depth >= up(b).depth) {
      a = up(a).parent;
    } else {
      b = up(b).parent;
    }
  }
  for (; from != a; from = up(from).parent)
    steps.push_back({up(from).parent, up(from).schema});
  const size_t down = steps.size();
  for (; to != a; to = up(to).parent) steps.push_back({to, up(to).schema});
  std::reverse(steps.begin() + static_cast<std::ptrdiff_t>(down), steps.end());
}
