// An independent checker of dependency preservation, written straight from
// the definition and sharing no code with linear_cutoff or keep: the
// dependencies are projected onto each schema by closing every subset of
// it, and each dependency is then tested against the union of the
// projections. Exponential in the size of a schema, so for small cases only.
#ifndef FDKEEP_TESTS_DEFINITION_H_
#define FDKEEP_TESTS_DEFINITION_H_

#include <optional>
#include <string>
#include <string_view>

#include "main.h"
#include "preservation.h"

// The closure of start under the dependencies, by applying them until
// nothing changes.
schema closure_by_definition(const dependency_map& dependencies,
                             const schema& start);

// Whether the decomposition preserves the dependencies; nothing when the case
// is too large to check this way (more than 64 names, or a schema of more
// than 12).
std::optional<bool> preserved_by_definition(const decomposition& schemas,
                                            const dependency_map& dependencies);

// Whether the decomposition preserves the dependencies, by the passes of the
// textbook test on whole schemas: the derived set of each left side grows by
// what the closure of its part inside each schema adds to that schema, pass
// after pass, until a pass adds nothing. Polynomial, for inputs too large to
// project.
bool preserved_by_passes(const decomposition& schemas,
                         const dependency_map& dependencies);

// The derived set of left by those passes: all that the decomposition
// derives from it.
schema derived_by_passes(const decomposition& schemas,
                         const dependency_map& dependencies,
                         const schema& left);

// What is wrong with report, explain()'s report on the dependency left ->
// right, checked without trusting the engine: replayed from the left side,
// a derivation must reach the right side, each step adding only new names
// that the closure of the derived set's part inside its schema reaches; a
// lost dependency's derived set must be the one the passes give, miss
// exactly the reported names, and the suggested schema must keep it. The
// empty string when nothing is wrong.
std::string explanation_fault(const decomposition& schemas,
                              const dependency_map& dependencies,
                              const schema& left, const schema& right,
                              const dependency_report& report);

// Reads an input file's text: lines end at line feeds, the lines before the
// first empty line are schemas, every later non-empty line a dependency cut
// at its first "->", a later equal left side replacing the right side. False
// when a dependency line has no "->".
bool read_input(std::string_view input, decomposition& schemas,
                dependency_map& dependencies);

// The verdict for an input file's text, read as above. Nothing when a
// dependency line has no "->" or the case is too large, as above.
std::optional<bool> verdict_by_definition(std::string_view input);

#endif  // FDKEEP_TESTS_DEFINITION_H_
