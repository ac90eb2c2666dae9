#include "contexts.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A name leading to another under a context.
struct edge {
  number context, from, to;
};

uint64_t hash_of(std::span<const number> names) {
  uint64_t hash = 14695981039346656037u;
  for (number name : names) hash = (hash ^ name) * 1099511628211u;
  return hash;
}

}  // namespace

number context_classes::find(std::span<const number> names) const {
  for (uint64_t hash = hash_of(names);; ++hash) {  // on a collision, the next
    const number* known = contexts_.find(hash);
    if (known == nullptr) return kNone;
    const std::span<const number> other = names_of(*known);
    if (std::equal(names.begin(), names.end(), other.begin(), other.end()))
      return *known;
  }
}

number context_classes::intern(std::span<const number> names) {
  for (uint64_t hash = hash_of(names);; ++hash) {
    const auto [slot, added] =
        contexts_.add(hash, static_cast<number>(first_name_.size() - 1));
    if (added) {
      names_.insert(names_.end(), names.begin(), names.end());
      first_name_.push_back(static_cast<number>(names_.size()));
      return *slot;
    }
    const std::span<const number> other = names_of(*slot);
    if (std::equal(names.begin(), names.end(), other.begin(), other.end()))
      return *slot;
  }
}

number context_classes::context_of(std::span<const number> names) const {
  return names.empty() || names.size() > kMostNames ? kNone : find(names);
}

bool context_classes::holds_all(const dependency_graph& graph, number s,
                                number context) const {
  for (number name : names_of(context))
    if (!graph.holds(s, name)) return false;
  return true;
}

context_classes::context_classes(const dependency_graph& graph) {
  // The edges of the left sides of two to four names, under each context
  // that one of their names leaves.
  const numbered_input& model = graph.model();
  std::vector<edge> edges;
  std::vector<number> rest;
  for (size_t d = 0; d < model.left.size(); ++d) {
    const std::span<const number> left = model.left[d];
    if (left.size() < 2 || left.size() > kMostNames + 1) continue;
    for (number from : left) {
      rest.clear();
      for (number name : left)
        if (name != from) rest.push_back(name);
      const number context = intern(rest);
      for (number to : model.right[d])
        if (!std::binary_search(left.begin(), left.end(), to))
          edges.push_back({context, from, to});
    }
  }
  std::sort(edges.begin(), edges.end(), [](const edge& a, const edge& b) {
    return a.context != b.context ? a.context < b.context : a.from < b.from;
  });
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
    // Within each schema that holds the context, every name is linked to
    // the first name of its component there. The schemas are those of the
    // context's rarest name that hold the others too.
    const std::span<const number> held = names_of(c);
    const number rarest = *std::min_element(
        held.begin(), held.end(), [&](number a, number b) {
          return graph.containing(a).size() < graph.containing(b).size();
        });
    union_find sets(n);
    std::vector<bool> linked(n, false);
    links.clear();
    seen = marks(count);
    first.resize(count);
    for (number s : graph.containing(rarest)) {
      budget -= static_cast<long long>(held.size());
      if (!holds_all(graph, s, c)) continue;
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

// Lists, per context, its names in a class, and per name the contexts it is
// in a class under and the contexts with classes whose names hold it.
void context_classes::index_contexts(size_t width) {
  std::vector<std::pair<number, number>> pairs;  // name, context
  at_.keep_if([&](uint64_t key, number&) {
    pairs.push_back({static_cast<number>(key), static_cast<number>(key >> 32)});
    return true;
  });
  std::vector<std::pair<number, number>> holding;  // name, context
  const auto by_name = [&](std::vector<std::pair<number, number>>& list,
                           std::vector<number>& first,
                           std::vector<number>& contexts) {
    std::sort(list.begin(), list.end());
    first.assign(width + 1, 0);
    for (const auto& [name, context] : list) {
      ++first[name + 1];
      contexts.push_back(context);
    }
    for (size_t a = 0; a < width; ++a) first[a + 1] += first[a];
  };
  std::sort(pairs.begin(), pairs.end(), [](const auto& x, const auto& y) {
    return x.second != y.second ? x.second < y.second : x.first < y.first;
  });
  for (size_t i = 0; i < pairs.size();) {
    const number context = pairs[i].second;
    *members_at_.add(context).first = static_cast<number>(members_.size());
    const size_t count_at = members_.size();
    members_.push_back(0);
    for (; i < pairs.size() && pairs[i].second == context; ++i) {
      members_.push_back(pairs[i].first);
      ++members_[count_at];
    }
    for (number name : names_of(context)) holding.push_back({name, context});
  }
  by_name(pairs, first_under_, under_);
  by_name(holding, first_with_, with_);
}

std::span<const name_classes::link> context_classes::links(
    number context, number attribute) const {
  const number* at = at_.find(pair_key(context, attribute));
  if (at == nullptr) return {};
  const step_up& x = tree_[*at];
  return {links_.data() + x.first_link, x.link_count};
}

std::span<const number> context_classes::names_under(number context) const {
  const number* at = members_at_.find(context);
  if (at == nullptr) return {};
  return {members_.data() + *at + 1, members_[*at]};
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
