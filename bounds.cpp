#include "bounds.h"

#include <algorithm>

bounds::bounds(const watched_dependencies& dependencies, size_t names,
               work_count& work)
    : work_(work),
      first_(dependencies, names, work),
      second_(dependencies, names, work),
      held_by_(names),
      first_head_(names),
      listed_(names),
      name_limit_(dependencies.left.value_count() + names),
      wait_head_(names),
      waiting_(names) {}

bool bounds::take(std::span<const number> start) {
  if (taken_ && at_start_->started_from(start)) return false;
  const bool within =
      taken_ && std::all_of(start.begin(), start.end(), [&](number a) {
        return kept_->reached().contains(a);
      });
  if (within && names_.size() > 0) {
    waiting_.clear();
    waits_.clear();
    if (scratch_->compute_until(start, [&](number attribute) {
          return completes_a_kept_start(attribute);
        })) {
      at_start_ = scratch_;
      keep_start(start);
      return false;
    }
  } else {
    scratch_->compute(start);
  }
  // Within the kept bound, a closure as large is the kept bound.
  if (within && scratch_->reached().size() == kept_->reached().size()) {
    at_start_ = scratch_;
    keep_start(start);
    return false;
  }
  std::swap(kept_, scratch_);
  at_start_ = kept_;
  taken_ = true;
  for (size_t s = 0; s < names_.size(); ++s)
    for (number attribute : names_[s]) held_by_[attribute] = 0;
  names_ = table();
  kept_names_ = 0;
  listed_.clear();
  firsts_.clear();
  keep_start(start);
  return true;
}

// Start closes to the kept bound: a later closure that reaches all of it
// is the kept bound too. Kept while the starts hold no more names than the
// dependencies do.
void bounds::keep_start(std::span<const number> start) {
  if (start.empty() || kept_names_ + start.size() > name_limit_) return;
  // The rarest name first, where the start waits until it is reached; the
  // others in any order, as a walk looks at each at most once per closure.
  // A linear pick, not a sort: a start can be as wide as the pool.
  order_.assign(start.begin(), start.end());
  std::iter_swap(order_.begin(),
                 std::min_element(order_.begin(), order_.end(),
                                  [&](number a, number b) {
                                    return held_by_[a] < held_by_[b] ||
                                           (held_by_[a] == held_by_[b] && a < b);
                                  }));
  const number id = static_cast<number>(names_.size());
  names_.add_row(order_);
  kept_names_ += order_.size();
  place_.resize(names_.size());
  for (number attribute : order_) ++held_by_[attribute];
  const number first = order_.front();
  const number next = listed_.marked(first) ? first_head_[first] : kNone;
  listed_.mark(first);
  first_head_[first] = static_cast<number>(firsts_.size());
  firsts_.push_back({id, next});
}

// Attribute is reached: the starts that wait on it first, or have come to
// it, go on to their next name not reached. True when one has none left.
bool bounds::completes_a_kept_start(number attribute) {
  if (listed_.marked(attribute))
    for (number e = first_head_[attribute]; e != kNone; e = firsts_[e].second)
      if (walk(firsts_[e].first, 1)) return true;
  if (!waiting_.marked(attribute)) return false;
  for (number w = wait_head_[attribute]; w != kNone; w = waits_[w].second)
    if (walk(waits_[w].first, place_[waits_[w].first] + 1)) return true;
  return false;
}

// Start walks its names from place to the first not reached, and waits
// there; true when there is none.
bool bounds::walk(number start, number place) {
  ++work_.dependencies;
  const std::span<const number> names = names_[start];
  const stamped_set& reached = scratch_->reached();
  while (place < names.size() && reached.contains(names[place])) ++place;
  if (place == names.size()) return true;
  place_[start] = place;
  const number attribute = names[place];
  const number next = waiting_.marked(attribute) ? wait_head_[attribute] : kNone;
  waiting_.mark(attribute);
  wait_head_[attribute] = static_cast<number>(waits_.size());
  waits_.push_back({start, next});
  return false;
}
