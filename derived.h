// Derived sets computed from the numbered model alone, for what the
// explanation shows beyond the engine's reports: derivations whose every
// step is needed, and schemas that would keep a lost dependency.
//
// The derived set of a left side X grows by steps: a step on a schema S adds
// to the derived set Z the names of S that the closure of Z's part inside S,
// under all dependencies, reaches. It never decides preservation itself; it
// replays steps that the engine found, and tries whether an added schema
// would keep a dependency, starting from the derived set the engine reported.
//
// What it keeps true: every closure is the closure by the definition; a
// replay of a subsequence of steps derives a subset of what the whole
// sequence derives, which is why dropping steps or names one at a time,
// each once, leaves no step or name that could still be dropped.
//
// What it costs: a closure costs the dependencies whose left sides hold the
// names it reaches, and their right sides when they apply, and stops once it
// has reached every name of its schema; working sets are stamped, so nothing
// costs the size of the input. A derivation of k steps costs at most 4k +
// 144 replayed steps, whatever k: trials of dropping a step stop at a bound
// (kTrialSteps), and are taken again once when that left steps untried and
// at most kAllTried are kept. All the work of one object is bounded by
// kWorkPerValue times the input's size, plus kWorkBase, plus what allow()
// grants (the explanation grants kWorkPerLostDependency to each lost
// dependency's schema, so that those of the last lines are not starved by
// the first): past that it gives up, and the explanation shows what the test
// traced. Beside that bound, the tries for a lost dependency take its
// derived set once, its size.
// Memory: the inverted left sides and schemas, O(M + S).
#ifndef FDKEEP_DERIVED_H_
#define FDKEEP_DERIVED_H_

#include <span>
#include <vector>

#include "model.h"
#include "scratch.h"

// The step replays that trials of dropping steps may take for a derivation,
// beyond one for every two steps.
constexpr size_t kTrialSteps = 64;
// A derivation whose kept steps are no more than these has all of them
// tried: their trials fit in kTrialSteps plus half the steps.
constexpr size_t kAllTried = 11;

// The work that a derivations object may do over its life: names and
// dependencies a closure processes, names of schemas a step reads; so much
// per name, schema name and dependency name of the input, and some more.
constexpr size_t kWorkPerValue = 32;
constexpr size_t kWorkBase = size_t{1} << 20;
// The work that the search for each lost dependency's schema may do beyond
// that, even once the rest is spent: enough to shrink a schema of a few
// names.
constexpr size_t kWorkPerLostDependency = 1024;

// The steps of a shown derivation: schemas by their places, in order, and
// every name each adds to the derived set, ascending by number.
struct derivation_steps {
  std::vector<size_t> places;
  std::vector<size_t> ends;   // per step: where its names end in added
  std::vector<number> added;  // step after step

  size_t size() const { return places.size(); }
  bool empty() const { return places.empty(); }
  // The names that step i adds.
  std::span<const number> adds(size_t i) const {
    const size_t first = i ? ends[i - 1] : 0;
    return {added.data() + first, ends[i] - first};
  }
};

// Closures and steps over one model, which must outlive it.
class derivations {
 public:
  explicit derivations(const numbered_input& model);
  // The same, allowed work units of work in all instead.
  derivations(const numbered_input& model, size_t work);

  // True once the work allowed (kWorkPerValue, kWorkBase) is spent. From
  // then on, needed_steps returns nothing and keeps_with false.
  bool exhausted() const { return work_left_ == 0; }
  // Adds work units to the work left, even once it was spent.
  void allow(size_t work) { work_left_ += work; }

  // The steps on the schemas at places, in order, that a derivation of right
  // from left needs, each with all it adds when the kept steps are replayed
  // from left. Each step is dropped once, in order, when the steps after it,
  // replayed, still reach right; a step that alone adds a name of right
  // that no later step's schema holds is kept without a trial. So dropping
  // any one kept step and replaying the rest no longer reaches right, as
  // long as the trials fit in kTrialSteps plus half the steps in step
  // replays (every derivation of up to 11 steps fits); past that, the steps
  // left untried are kept, and when no more than kAllTried steps are kept,
  // they are all tried again, so that every step of a derivation of up to
  // kAllTried steps is needed. When the replay of places does not reach
  // right, returns nothing, and also when the work allowed runs out. Costs O(k)
  // replayed steps for k places, each a closure that stops once it has
  // reached every name of its schema.
  derivation_steps needed_steps(std::span<const number> left,
                                std::span<const number> right,
                                std::span<const size_t> places);

  // Starts the tries of schemas for a lost dependency from derived, which
  // must be a derived set of the decomposition (closed under its steps):
  // costs its size once for all the tries that follow.
  void start_tries(std::span<const number> derived);

  // True when adding the schema extra (names ascending) to the decomposition
  // lets the derived set grow from the one start_tries() was given to hold
  // every name of right. Costs one closure for extra and one for each schema
  // visited again because it holds a name that joined, and taking out what
  // the try before added. False when the work allowed runs out.
  bool keeps_with(std::span<const number> extra,
                  std::span<const number> right);

 private:
  // Takes work from what is left; false, and nothing left, when there is
  // not enough.
  bool spend(size_t work);
  // One pass of trials for needed_steps over kept, the steps of all by
  // their index, and sizes, the derived set's size after each; drops the
  // steps that are not needed and sets dropped then. False when the trials'
  // bound left steps untried.
  bool drop_steps(const derivation_steps& all, std::span<const number> left,
                  std::span<const number> right, std::vector<size_t>& kept,
                  std::vector<size_t>& sizes, bool& dropped);
  // Closes start under all dependencies into reached_, stopping once wanted
  // names marked in wanted_ are reached.
  void close(std::span<const number> start, size_t wanted);
  // True when step kept[i] of all, replayed, adds a name of right that no
  // later kept step's schema holds, so that no replay without it reaches
  // right.
  bool alone_adds_right(const derivation_steps& all,
                        const std::vector<size_t>& kept, size_t i,
                        std::span<const number> right);
  // Adds to set what a step on the schema names adds, and lists the names
  // added in fresh unless it is null. Returns how many were added.
  size_t step(std::span<const number> names, stamped_set& set,
              std::vector<number>* fresh);
  // True when set holds every name of names.
  bool holds_all(const stamped_set& set, std::span<const number> names) const;

  const numbered_input& model_;
  table uses_;     // per name: the dependencies whose left sides hold it
  table holders_;  // per name: the schemas that hold it
  stamped_set reached_, derived_, trial_;
  stamped_set tried_;     // the derived set of start_tries(), then a try's
  size_t tried_base_ = 0;  // the size of that derived set
  marks counted_, queued_, marked_, wanted_;
  std::vector<number> unmet_;  // per dependency counted: left names unreached
  std::vector<number> part_, queue_, schema_queue_, fresh_;
  size_t work_left_;
};

#endif  // FDKEEP_DERIVED_H_
