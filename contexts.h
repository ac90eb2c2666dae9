// Names that derive each other in the presence of another name. For a name
// c, each dependency whose left side is c and one other name a leads from a
// to the names of its right side: a closure that holds c and a reaches
// them. Two names of a schema that also holds c, which lead to each other
// that way, are linked under c; names joined by such links, through any
// number of schemas that hold c, form a class under c. A derived set that
// holds c and one name of a class under c holds the whole class, so a test
// whose left side holds c, a name of a class and nothing to derive beyond
// that class is decided at once.
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
// hash probe.
#ifndef FDKEEP_CONTEXTS_H_
#define FDKEEP_CONTEXTS_H_

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

 private:
  scratch_map class_;  // context and name: its class
  bool any_ = false;
};

#endif  // FDKEEP_CONTEXTS_H_
