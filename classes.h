// Names that a derived set takes in together. Two names of one schema that
// derive each other, each from the other alone, through dependencies with
// one name on the left side, are linked: whenever the derived set holds one
// of them, the closure of the schema's part reaches the other, so the
// derived set holds both. Names joined by links, through any number of
// schemas, form a class; a derived set that holds one name of a class holds
// the whole class.
//
// What it keeps true: every link joins two names of its schema that derive
// each other alone; the links form a forest, one tree per class, so a walk
// along them from any name of a class meets every name of it once.
//
// What it costs: O(M + S) time and memory once per run, M the total size of
// the dependencies and S that of the schemas: the strongly connected
// components of the one-name dependencies, then one pass over the schemas,
// and one walk of each tree from its root, and O(S log S) to list the
// classes each schema holds names of; a way between two names costs the
// links from each up to where they meet.
#ifndef FDKEEP_CLASSES_H_
#define FDKEEP_CLASSES_H_

#include <span>
#include <utility>
#include <vector>

#include "graph.h"

class name_classes {
 public:
  // A name linked to another, and the schema that links them.
  struct link {
    number attribute, schema;
  };

  // The classes of the names of graph.
  explicit name_classes(const dependency_graph& graph);

  // True when some class holds more than one name.
  bool any() const { return any_; }

  // The class of attribute, as a number shared by its names; only when
  // any().
  number class_of(number attribute) const { return class_of_[attribute]; }

  // The names linked to attribute, each with its schema.
  std::span<const link> links(number attribute) const {
    if (!any_) return {};
    return {links_.data() + first_link_[attribute],
            links_.data() + first_link_[attribute + 1]};
  }

  // A name of the class of attribute, which has links, that schema holds,
  // or kNone. O(log) of the classes the schema holds names of.
  number member_in(number schema, number attribute) const;

  // The way along links from name from to name to, of one class: puts into
  // steps each name after from, in order, with the schema of the link that
  // reaches it (none for names of two classes). Costs the length of the
  // ways up from both to where they meet.
  void path(number from, number to, std::vector<link>& steps) const;

 private:
  void root_trees(size_t width);
  void list_held(const dependency_graph& graph);

  std::vector<number> class_of_;
  std::vector<number> first_link_;  // per name, and one past the last
  std::vector<link> links_;
  std::vector<link> parent_;     // per name: its parent and their link
  std::vector<number> depth_;    // per name: links to the root
  // Per schema, from first_held_[schema]: one name it holds of each class
  // with links, as (class, name), by class.
  std::vector<size_t> first_held_;
  std::vector<std::pair<number, number>> held_;
  bool any_ = false;
};

// The strongly connected components of a graph over width nodes whose
// edges leave node v at edges[first_edge[v]] up to edges[first_edge[v + 1]]:
// per node, the number of its component, below count. O(nodes + edges).
std::vector<number> strong_components(size_t width,
                                      std::span<const number> first_edge,
                                      std::span<const number> edges,
                                      number& count);

// Sets over the numbers below a size, joined by size with path halving.
class union_find {
 public:
  explicit union_find(size_t size) : parent_(size), size_(size, 1) {
    for (number a = 0; a < size; ++a) parent_[a] = a;
  }
  number find(number a) {
    while (parent_[a] != a) a = parent_[a] = parent_[parent_[a]];
    return a;
  }
  // Joins the sets of a and b; false when they were one already.
  bool join(number a, number b) {
    a = find(a);
    b = find(b);
    if (a == b) return false;
    if (size_[a] < size_[b]) std::swap(a, b);
    parent_[b] = a;
    size_[a] += size_[b];
    return true;
  }

 private:
  std::vector<number> parent_, size_;
};

#endif  // FDKEEP_CLASSES_H_
