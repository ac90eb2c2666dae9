// The preservation test: whether a dependency X -> Y follows from the
// dependencies that hold inside single schemas of the decomposition, and
// what shows it.
//
// A test grows the derived set Z of X: each schema adds what the closure of
// its part of Z, under all dependencies, reaches of its own names. In order:
//  1. The rules (rules.h) are applied to Z itself: dependencies inside one
//     schema, what closures of schemas' parts reached in earlier tests, and
//     dependencies found preserved. On realistic inputs they decide most
//     tests. A dependency found preserved that gives no name of the right
//     side waits until the other rules have nothing more to add: such a
//     rule jumps ahead, and each jump beyond the right side would start a
//     walk of its own. Each name that joins Z brings its class
//     (classes.h) with it: the names that derive each other through
//     one-name dependencies, linked schema by schema. A verdict whose
//     right side lies in the classes of its left side needs no more; nor,
//     without a trace, one whose right side lies in a class under a name
//     of its left side (contexts.h), such as a cycle c,x1->x2, c,x2->x3,
//     ... whose every schema holds c; nor one whose every other name of
//     the right side a schema holds with a name of the class of each name
//     of the left side: that schema's closure reaches the left side, and
//     the dependency itself gives the name, as in a cycle that goes round
//     wide schemas.
//     A traced test whose left side lies in the last lost derived set,
//     and whose names and their classes hold the left side that set came
//     from, derives that same set: it is lost with it, and
//     the dependencies that all lose one cycle are explained without
//     deriving it again. Any test asks the same of the newest lost sets
//     kept from tests whose closures cost four times the set or more
//     (lost_sets.h), and, once the rules have grown Z, whether Z is one of
//     them: a set found lost is closed, so Z is then whole, and the tests
//     of a cycle that splits into classes under a key each take the
//     closures of their class once. When no dependency whose left side Z
//     holds leads out of Z, no schema can add to it: the test is lost with
//     Z as it is. Only the dependencies that no schema rule covers with its
//     whole right side need a look for that, those of their first names in
//     Z.
//  2. Otherwise C, the closure of the held names of Z under every
//     dependency that some closure of a schema's part can apply (graph.h;
//     shared by tests whose bounds are the same set, bounds.h), bounds
//     what any schema can add: only dependencies that C applies are
//     followed, only schemas that hold a name of C not in Z are looked at,
//     and a schema is done once every name it holds of C is in Z. When C
//     applies, from Z alone, dependencies not tested yet, those are tested
//     first, and the test is taken up again once they are rules or lost.
//  3. Each schema's part gets a closure (closure.h): first those of the
//     schemas that hold a name of the right side not in Z, which often
//     derive it alone; then, if they do not, those of the others. Schemas
//     whose parts are equal share one, and parts that begin alike, their
//     names that start a dependency C applied first, then the names that
//     more parts hold, go on from the one closure of what they begin with
//     (part_tree.h): a name that many parts hold is closed once, however
//     far it leads. A schema whose part grows later
//     goes on from its shared closure, which is first finished.
//     Between closures, the rules are applied to what joined Z. What a
//     closure reached of its schema is learned as a rule when the schema is
//     done. When the dependencies that can lead to the right side
//     (relevance.h) are found at a quarter of what the test has cost so
//     far, and hold at most half of what C applied, the closures follow
//     only those: a closure that runs down a wide way that cannot lead to
//     the right side, in every test, stops at its start. Such a test
//     learns no whole rule, and one that is lost and shows its derived set
//     is taken again without it.
//
// Cost, with N the number of dependencies tested, M the total size of the
// dependencies, S that of the schemas and d the number of schemas: applying
// the rules costs O(M + S + the learned rules) per test, and asking a
// schema's whole rules before its closure, at most twice a test, O(S); C
// costs O(M); each closure taken costs O(M), and a test takes at most one
// per schema: O(d M), so O(N d M) for a run, cubic. No design can promise
// less for the verdict of every dependency: three sets of vectors, tests,
// schemas and dependencies, can be written as an input in which a test is
// preserved exactly when some schema and dependency share no coordinate
// with it where all three are 1, so a truly subcubic way to every verdict
// would refute the strong exponential time hypothesis (fdkeep's single
// verdict, which may stop at the first lost dependency, is not covered). On
// every shape we know, the rules and the shared closures leave the work of
// a test at O(M + S), and a run quadratic. What sharing cannot spare: parts
// that each hold a few of many names, each of which starts a long way of
// its own, so that the parts share no beginning and each closure walks the
// ways of its own names; and parts whose names that start long ways are
// held by fewer parts than names that start short ones, so that they come
// late in each part and are walked once per part: O(d M) per test.
// Memory: O(M + S) for the rules, and the closures of one test, which are
// dropped once they hold more than a limit in proportion to the input: dead
// ones, and finished ones whose schemas are then answered by what they
// reached.
#ifndef FDKEEP_PRESERVATION_H_
#define FDKEEP_PRESERVATION_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "closure.h"
#include "graph.h"
#include "model.h"
#include "rules.h"

// How one dependency fares in the preservation test, and what shows it.
struct dependency_report {
  enum class outcome {
    within_left_side,   // the right side lies within the left side
    inside_one_schema,  // one schema holds both sides
    derived,            // the derived set of the left side takes it in
    lost,               // the derived set misses part of the right side
  };
  // A step of a derivation: a schema, as its place in the model, and the
  // names that the closure of the derived set's part inside it adds to the
  // derived set: how many, and the first of them listed, added(step).
  struct step {
    size_t place;
    size_t first_added, added_count;  // listed, in added_names
    size_t added_in_all;
  };

  outcome how = outcome::within_left_side;
  size_t place = 0;  // inside_one_schema: that schema's place
  // derived: the steps that the right side needs, in order. Replayed from
  // the left side, each adds names that the closure of the derived set so
  // far, within its schema, reaches; together they reach the right side.
  std::vector<step> steps;
  // The names that the steps add, step after step, each step's in ascending
  // byte order, or its first when explain() is asked to list fewer. They are
  // views into the model's names.
  std::vector<std::string_view> added_names;
  // lost: all that the decomposition derives from the left side, or its
  // first names when explain() is asked to list fewer, and the right-side
  // names that it does not derive, each in ascending byte order; views into
  // the model's names.
  std::vector<std::string_view> derived, missing;
  // lost: the whole derived set as numbers of the model's names, ascending.
  std::vector<number> derived_numbers;

  // The names listed that step, one of steps, adds.
  std::span<const std::string_view> added(const step& s) const {
    return {added_names.data() + s.first_added, s.added_count};
  }

  // Empties the report for the next dependency; its lists keep their room.
  void clear() {
    how = outcome::within_left_side;
    place = 0;
    steps.clear();
    added_names.clear();
    derived.clear();
    missing.clear();
    derived_numbers.clear();
  }
};

// How much of a long report explain() lists: the first names of a lost
// dependency's derived set, and of each step of a derivation; and of a
// derivation of more steps than steps, only its first and last steps / 2.
struct listing {
  size_t names = SIZE_MAX;
  size_t steps = SIZE_MAX;
};

// True when step i of a derivation of count steps is listed.
inline bool listed_step(const listing& listed, size_t i, size_t count) {
  return count <= listed.steps || i < listed.steps / 2 ||
         i >= count - listed.steps / 2;
}

// True when the decomposition of model preserves every dependency.
bool preserves(const numbered_input& model);

// The same, and the work it took in work.
bool preserves(const numbered_input& model, work_count& work);

// Tests every dependency of model, unlike preserves(), which stops at the
// first lost one, and hands each one's report to report with its place in
// the model. The dependencies are taken in the order of their places in
// order, or in the model's order when order is empty; order must list every
// place once. A lost dependency's report lists its derived set by name as
// far as listed says, all of it by number; a step of a derivation, the
// names it adds as far as listed says, none when the step is not listed.
// Returns what preserves() returns.
bool explain(
    const numbered_input& model, const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report,
    const listing& listed = {});

// The same, and the work it took in work.
bool explain(
    const numbered_input& model, const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report,
    work_count& work, const listing& listed = {});

// The same on a decomposition and a dependency map, whose places are their
// orders.
bool explain(
    const decomposition& schemas, const dependency_map& dependencies,
    const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report);

#endif  // FDKEEP_PRESERVATION_H_
