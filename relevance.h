// The names that can lead to a test's right side, and the dependencies
// that reach them: closures that follow only those derive every name of
// the right side that closures following every dependency derive.
//
// A name is relevant when it is a name of the right side, or on the left
// side of a dependency whose right side holds a relevant name; such a
// dependency is relevant too. A derivation of a relevant name needs only
// relevant dependencies, whose left sides hold only relevant names. So the
// closure of any set, following relevant dependencies only, reaches the
// same relevant names as the whole closure; and a derived set grown by
// such closures takes in the right side exactly when it would have. It may
// take in less of the rest, so a lost test that shows its derived set does
// not use them.
//
// What it keeps true: after find() returns true, dependency() and
// starting() tell the relevant dependencies of the wanted names given, of
// those the followed dependencies list.
//
// What it costs: find() walks back from the wanted names, over each
// dependency whose right side holds a relevant name, once, with its left
// side, and gives up once the dependencies found hold more than the budget
// given; the first find() also indexes the dependencies by the names of
// their right sides, O(M). The wanted names of the last find() cost a look
// at each, when found or not found with as large a budget. starting()
// costs, once per name and set, the length of the followed list it
// filters.
#ifndef FDKEEP_RELEVANCE_H_
#define FDKEEP_RELEVANCE_H_

#include <span>
#include <vector>

#include "closure.h"
#include "graph.h"
#include "scratch.h"

class relevant_names {
 public:
  // Over dependencies, which must outlive it, and names numbered below
  // names; counts its work in work.
  relevant_names(const watched_dependencies& dependencies, size_t names,
                 work_count& work);

  // Finds the names relevant to wanted, distinct names, if the relevant
  // dependencies' size (one for each, and its names) is at most budget.
  // True when found; otherwise nothing is marked.
  bool find(std::span<const number> wanted, size_t budget);

  // True when dependency is relevant to the wanted names last found.
  bool dependency(number d) const { return dependencies_marked_.marked(d); }

  // Of the dependencies followed lists as starting with attribute, those
  // relevant to the wanted names last found.
  std::span<const number> starting(followed_dependencies& followed,
                                   number attribute);

  // What followed lists has changed: the filtered lists are made again.
  void forget_lists() { lists_.clear(); }

 private:
  const watched_dependencies& dependencies_;
  work_count& work_;
  size_t name_count_;
  table producers_;  // per name: the dependencies whose right side holds it
  bool indexed_ = false;
  marks names_, dependencies_marked_;
  std::vector<number> queue_;
  std::vector<number> last_wanted_;  // of the last find(), with its budget
  size_t tried_budget_ = 0;
  size_t size_ = 0;       // of the relevant dependencies, when found
  bool found_ = false;    // and whether it found them
  filtered_lists lists_;  // of the followed lists, the relevant
};

#endif  // FDKEEP_RELEVANCE_H_
