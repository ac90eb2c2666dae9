// The bound of a test: the closure of its derived set's held names under
// the closing dependencies, shared by the tests whose bounds are the same.
//
// Where every pair of names closes a whole pool, every test's bound is the
// pool, each taken afresh at the cost of all the dependencies. So the last
// bound taken is kept with the starts that closed to it. A new start that
// lies within it is closed only until it reaches every name of one of those
// starts: its closure then holds that start's, which is the kept bound, and
// lies in the kept bound, so it is the kept bound.
//
// What it keeps true: bound() is the closure of the last start taken, and
// applied_at_start() what that closure applied before any name beyond its
// start.
//
// What it costs: a bound at most what closing its start costs, plus, as in
// a closure, a look at each kept start whose first name, or the name it
// waits on, is reached: a start waits on one name at a time, so a name
// that every start holds costs nothing. The kept starts hold no more names
// than the dependencies do; past that, no more are kept.
#ifndef FDKEEP_BOUNDS_H_
#define FDKEEP_BOUNDS_H_

#include <span>
#include <utility>
#include <vector>

#include "closure.h"
#include "model.h"
#include "scratch.h"

class bounds {
 public:
  // Closes under dependencies, which must outlive it, over names numbered
  // below names; counts its work in work.
  bounds(const watched_dependencies& dependencies, size_t names,
         work_count& work);

  // Makes the bound the closure of start, distinct names. True when it is
  // another set than the bound before, whose closure object it replaces.
  bool take(std::span<const number> start);

  // The closure of the last start taken; valid until the next take() that
  // returns true.
  const closure& bound() const { return *kept_; }
  const stamped_set& reached() const { return kept_->reached(); }
  bool applied(number dependency) const { return kept_->applied(dependency); }

  // The dependencies that the closure of the last start applied before any
  // name beyond it.
  std::span<const number> applied_at_start() const {
    return at_start_->applied_at_start();
  }

 private:
  void keep_start(std::span<const number> start);
  bool completes_a_kept_start(number attribute);
  bool walk(number start, number place);

  work_count& work_;
  closure first_, second_;
  closure* kept_ = &first_;     // the bound
  closure* scratch_ = &second_;  // the closure of a start that may be it
  const closure* at_start_ = &first_;  // the last start's own closure
  bool taken_ = false;
  // The starts known to close to the kept bound, each with its names in
  // the order it waits on them: first the name that the fewest starts held
  // when it was kept. Per name: how many starts hold it, and the starts
  // that wait on it first (start, next). Per closure being taken: where
  // each start waits, and on each name, the starts waiting there.
  table names_;
  std::vector<number> held_by_, first_head_;
  marks listed_;
  std::vector<std::pair<number, number>> firsts_;
  size_t kept_names_ = 0, name_limit_;
  std::vector<number> place_, wait_head_;
  marks waiting_;
  std::vector<std::pair<number, number>> waits_;
  std::vector<number> order_;
};

#endif  // FDKEEP_BOUNDS_H_
