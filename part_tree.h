// The parts of the schemas whose closures start together, arranged as a tree
// of the names they begin with. Each part's names are ordered with the names
// that lead somewhere (the caller marks them) first, then by how many of the
// parts hold them, most first, and parts that begin alike share the node of
// what they begin with. A closure per node, going on from its parent's, then
// takes each shared beginning once: a name that many parts hold, and
// whatever long way of dependencies it starts, is walked once per round
// instead of once per schema. A name that leads nowhere costs a closure
// nothing to add, so it comes last even where more parts hold it.
//
// What it keeps true: the names of a node, after those of the nodes above
// it, are a beginning of every part that ends at or below it; equal parts
// end at one node; a node that no part ends at has two or more nodes below
// it; no node has more than kDepth nodes above it (beginnings deeper than
// that are not shared: their parts go on from the deepest node allowed).
//
// What it costs: O(N) for N names of all parts, to count the names, plus
// sorting the names of each part that other parts hold too, and a map probe
// for each of those to find the nodes.
#ifndef FDKEEP_PART_TREE_H_
#define FDKEEP_PART_TREE_H_

#include <span>
#include <vector>

#include "scratch.h"

class part_tree {
 public:
  // The most nodes above a node: a closure that goes on from others looks a
  // name up in each of them.
  static constexpr number kDepth = 4;

  // A part: names[begin, end) of the buffer given to build().
  struct range {
    number begin, end;
  };
  // A node: its names are names[begin, end), its parent a node before it or
  // kNone, and parts tells how many parts end at it.
  struct node {
    number parent, begin, end;
    number parts = 0;
  };

  // A tree for parts whose names are numbers below names.
  explicit part_tree(size_t names);

  // Arranges parts, ranges of names, reordering the names of each part in
  // place. Names within one part must be distinct.
  void build(std::vector<number>& names, std::span<const range> parts);

  // Names marked here come first among the names of a part that other parts
  // hold too (a name that one part alone holds ends it, in no order);
  // cleared by clear_leading().
  void mark_leading(number attribute) { leads_.mark(attribute); }
  void clear_leading() { leads_.clear(); }

  // The nodes, each after its parent.
  const std::vector<node>& nodes() const { return nodes_; }
  // The node at which part i, in the order given to build(), ends.
  number node_of(size_t i) const { return node_of_[i]; }

 private:
  void make_nodes(std::span<const number> names, std::span<const range> parts);

  std::vector<number> count_;       // per name: the parts that hold it
  std::vector<number> shared_end_;  // per part: where its own names start
  marks counted_, leads_;
  scratch_map edges_;  // a node and a name: the node that name leads to
  std::vector<number> depth_, children_, kept_, above_, level_, stack_;
  std::vector<node> made_, nodes_;
  std::vector<number> node_of_;
};

#endif  // FDKEEP_PART_TREE_H_
