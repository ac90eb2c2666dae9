#include "relevance.h"

#include <algorithm>

relevant_names::relevant_names(const watched_dependencies& dependencies,
                               size_t names, work_count& work)
    : dependencies_(dependencies),
      work_(work),
      name_count_(names),
      names_(names),
      dependencies_marked_(dependencies.size()),
      lists_(names) {}

bool relevant_names::find(std::span<const number> wanted, size_t budget) {
  work_.names += wanted.size();
  // The same names as last time: found, or not found with as much.
  if (std::equal(wanted.begin(), wanted.end(), last_wanted_.begin(),
                 last_wanted_.end()) &&
      (found_ || budget <= tried_budget_))
    return found_ && size_ <= budget;
  if (!indexed_) {
    producers_ = dependencies_.right.inverted(name_count_);
    indexed_ = true;
  }
  found_ = false;
  forget_lists();
  names_.clear();
  dependencies_marked_.clear();
  queue_.clear();
  for (number attribute : wanted) {
    names_.mark(attribute);
    queue_.push_back(attribute);
  }
  size_t spent = 0, looked = 0;  // the size found, and the work
  bool whole = true;
  while (!queue_.empty() && whole) {
    const number attribute = queue_.back();
    queue_.pop_back();
    for (number d : producers_[attribute]) {
      if (dependencies_marked_.marked(d)) continue;
      const std::span<const number> left = dependencies_.left[d];
      spent += 1 + left.size() + dependencies_.right[d].size();
      looked += 1 + left.size();
      if (spent > budget) {
        whole = false;
        break;
      }
      dependencies_marked_.mark(d);
      for (number earlier : left)
        if (!names_.marked(earlier)) {
          names_.mark(earlier);
          queue_.push_back(earlier);
        }
    }
  }
  work_.dependencies += looked;
  last_wanted_.assign(wanted.begin(), wanted.end());
  tried_budget_ = budget;
  if (!whole) {  // out of budget: nothing is relevant
    names_.clear();
    dependencies_marked_.clear();
    return false;
  }
  size_ = spent;
  found_ = true;
  return true;
}

std::span<const number> relevant_names::starting(
    followed_dependencies& followed, number attribute) {
  return lists_.of(
      attribute,
      [&](number a) {
        const std::span<const number> all = followed.starting(a);
        work_.dependencies += all.size();
        return all;
      },
      [&](number d) { return dependencies_marked_.marked(d); });
}
