// Names that derive each other in the presence of other names. A context K
// is a set of at most three names that, with one more name a, makes the
// left side of a dependency: that dependency leads from a to the names of
// its right side, and a closure that holds K and a reaches them. Two names
// of a schema that also holds K, which lead to each other that way, are
// linked under K; names joined by such links, through any number of
// schemas that hold K, form a class under K. A derived set that holds K and
// one name of a class under K holds the whole class, so a test whose left
// side holds K, a name of a class and nothing to derive beyond that class
// is decided at once; the links of each class form a tree, along which a
// derivation is shown.
//
// What it keeps true: a class under K joins only names of which a derived
// set holding K and any one takes in all: each link lies in one schema
// that holds K, and its two names lead to each other under K.
//
// What it costs: the left sides of two to four names give each of their
// names' contexts once per run, sorted; then per context its strongly
// connected components and a walk of the schemas that hold it, within a
// budget of four times the input's size past which the remaining contexts
// get no classes (classes only spare work). Memory O(M) for M the total
// size of the dependencies; a lookup is a hash probe and a comparison of
// at most three names, a way along links its length.
#ifndef FDKEEP_CONTEXTS_H_
#define FDKEEP_CONTEXTS_H_

#include <span>
#include <vector>

#include "classes.h"
#include "graph.h"
#include "scratch.h"

class context_classes {
 public:
  // The most names a context holds.
  static constexpr size_t kMostNames = 3;

  // The classes under the contexts of graph.
  explicit context_classes(const dependency_graph& graph);

  // True when some class holds more than one name.
  bool any() const { return any_; }
  // How many contexts there are, numbered from 0.
  size_t context_count() const { return first_name_.size() - 1; }

  // The context of names (ascending, distinct), or kNone when no left side
  // makes one of them.
  number context_of(std::span<const number> names) const;
  // The names of context, ascending.
  std::span<const number> names_of(number context) const {
    return {names_.data() + first_name_[context],
            names_.data() + first_name_[context + 1]};
  }

  // The class of attribute under context, or kNone when it is in none.
  number class_of(number context, number attribute) const {
    const number* found = class_.find(pair_key(context, attribute));
    return found == nullptr ? kNone : *found;
  }

  // The names linked to attribute under context, each with its schema.
  std::span<const name_classes::link> links(number context,
                                            number attribute) const;
  // The names that are in a class under context.
  std::span<const number> names_under(number context) const;
  // The contexts under which attribute is in a class.
  std::span<const number> contexts_of(number attribute) const {
    if (!any_) return {};
    return {under_.data() + first_under_[attribute],
            under_.data() + first_under_[attribute + 1]};
  }
  // The contexts with classes that hold attribute among their names.
  std::span<const number> contexts_with(number attribute) const {
    if (!any_) return {};
    return {with_.data() + first_with_[attribute],
            with_.data() + first_with_[attribute + 1]};
  }

  // The way along links under context from name from to name to, of one
  // class under it: puts into steps each name after from, in order, with
  // the schema of the link that reaches it. Costs the length of the ways up
  // from both to where they meet.
  void path(number context, number from, number to,
            std::vector<name_classes::link>& steps) const;

 private:
  // Two names linked in a schema, by their numbers among a context's names.
  struct local_link {
    number a, b, schema;
  };
  // A name's parent in its tree of links, the schema of their link (kNone
  // at the root, which is its own parent), and its depth.
  struct step_up {
    number parent, schema, depth;
    number first_link = 0, link_count = 0;  // in links_
  };

  number intern(std::span<const number> names);
  number find(std::span<const number> names) const;
  bool holds_all(const dependency_graph& graph, number s,
                 number context) const;
  void root_trees(number c, const std::vector<number>& names,
                  const std::vector<local_link>& links);
  void index_contexts(size_t width);

  std::vector<number> names_, first_name_{0};  // per context, its names
  scratch_map contexts_;  // hash of a context's names: the context
  scratch_map class_;     // context and name: its class
  scratch_map at_;        // context and name: its place in tree_
  std::vector<step_up> tree_;
  std::vector<name_classes::link> links_;
  scratch_map members_at_;  // context: where its names in classes begin
  std::vector<number> members_;  // per context, those names' count, them
  std::vector<number> first_under_, under_;  // per name, contexts of it
  std::vector<number> first_with_, with_;    // per name, contexts with it
  bool any_ = false;
};

#endif  // FDKEEP_CONTEXTS_H_
