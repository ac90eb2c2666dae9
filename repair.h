// Repairs: for a lost dependency, a schema that, added to the decomposition
// as given, keeps it, with no name that could be left out; and for the
// whole decomposition, one short list of such schemas that, added together,
// keep every lost dependency.
//
// What it keeps true: a suggested schema always keeps its dependency (a name
// is left out only when the schema without it still keeps the dependency);
// it is irreducible whenever its search ends within its bounds (below),
// which it does for every lost dependency whose left side and missing names
// number up to 128 while the derivations object has work left, and it says
// when the search did not end. Adding schemas only grows
// derived sets, so the whole repair keeps every lost dependency and every
// preserved one stays preserved.
//
// What it costs: a lost dependency's schema starts as its left side and its
// missing names. Names are left out in halves, then quarters, down to one
// name at a time, at most 2n tries for n names and at most kRepairTries
// in all; the derived set is taken once, and each try is one
// derivations::keeps_with (a closure for the schema and one for each schema
// visited again). The whole repair looks for a
// schema that holds another only among those that hold the other's rarest
// name: O(r s) for r suggested schemas of s names at most when names are
// spread, O(r^2 s) at worst.
#ifndef FDKEEP_REPAIR_H_
#define FDKEEP_REPAIR_H_

#include <cstddef>
#include <span>
#include <vector>

#include "derived.h"
#include "model.h"

// The most tries a lost dependency's schema is given.
constexpr size_t kRepairTries = 256;

// A schema to add, names ascending by number, and the lost dependencies it
// keeps, as numbers the caller gives them (the explanation gives their line
// numbers).
struct repair_schema {
  std::vector<number> names;
  std::vector<size_t> keeps;
};

// A schema suggested for a lost dependency: its names, ascending by number,
// and whether its search ended, so that no name can be left out.
struct suggestion {
  std::vector<number> names;
  bool irreducible = true;
};

// A schema that, added to the decomposition of the model behind with, keeps
// the lost dependency left -> right whose derived set (all that the
// decomposition derives from left) is derived: a subset of left and the
// missing names, irreducible as above.
suggestion suggested_schema(derivations& with, std::span<const number> left,
                            std::span<const number> right,
                            std::span<const number> derived);

// One repair for the whole decomposition from the suggested schemas, one per
// lost dependency (keeps: that dependency's number): a schema that another
// holds is merged into it, the lost dependencies it keeps going with it.
// Returns the schemas that remain, each keeps ascending, in the order of
// the first dependency each keeps.
std::vector<repair_schema> whole_repair(std::vector<repair_schema> suggested);

#endif  // FDKEEP_REPAIR_H_
