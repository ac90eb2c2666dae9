// Names that derive each other in the presence of another name. For a name
// c, each dependency whose left side is c and one other name a leads from a
// to the names of its right side: a closure that holds c and a reaches
// them. Two names of a schema that also holds c, which lead to each other
// that way, are linked under c; names joined by such links, through any
// number of schemas that hold c, form a class under c. A derived set that
// holds c and one name of a class under c holds the whole class, so a test
// whose left side holds c, a name of a class and nothing to derive beyond
// that class is decided at once; the links of each class form a tree, along
// which a derivation is shown.
//
// What it keeps true: a class under c joins only names of which a derived
// set holding c and any one takes in all: each link lies in one schema
// that holds c, and its two names lead to each other under c.
//
// What it costs: sorting the edges of the two-name dependencies once per
// run, then per name c their strongly connected components and a walk of
// the schemas that hold c, within a budget of four times the input's size
// past which the remaining names get no classes (classes only spare work).
// Memory O(M) for M the total size of the dependencies; a lookup is one
// hash probe, a way along links its length.
#ifndef FDKEEP_CONTEXTS_H_
#define FDKEEP_CONTEXTS_H_

#include <span>
#include <vector>

#include "classes.h"
#include "graph.h"
#include "scratch.h"

class context_classes {
 public:
  // The classes under each name of graph.
  explicit context_classes(const dependency_graph& graph);

  // True when some class holds more than one name.
  bool any() const { return any_; }

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
  // The names under which attribute is in a class.
  std::span<const number> contexts_of(number attribute) const {
    if (!any_) return {};
    return {contexts_.data() + first_context_[attribute],
            contexts_.data() + first_context_[attribute + 1]};
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

  void root_trees(number c, const std::vector<number>& names,
                  const std::vector<local_link>& links);
  void index_contexts(size_t width);

  scratch_map class_;  // context and name: its class
  scratch_map at_;     // context and name: its place in tree_
  std::vector<step_up> tree_;
  std::vector<name_classes::link> links_;
  scratch_map names_at_;         // context: where its names begin
  std::vector<number> names_;    // per context, its names, then their count
  std::vector<number> first_context_, contexts_;  // per name, its contexts
  bool any_ = false;
};

#endif  // FDKEEP_CONTEXTS_H_
