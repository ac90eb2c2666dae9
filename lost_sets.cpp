#include "lost_sets.h"

#include <algorithm>

namespace {

constexpr size_t kMostSets = 64;

uint64_t mixed(number name) {
  uint64_t x = (name + 1) * 0x9E3779B97F4A7C15u;
  x ^= x >> 31;
  return x * 0xBF58476D1CE4E5B9u;
}

}  // namespace

lost_sets::lost_sets(size_t names, work_count& work)
    : most_(std::max<size_t>(4 * names, 1024)), marked_(names), work_(work) {}

uint64_t lost_sets::sum_of(const stamped_set& set) const {
  work_.names += set.size();
  uint64_t sum = 0;
  for (number name : set.members()) sum += mixed(name);
  return sum;
}

bool lost_sets::contains(const kept& set, const stamped_set& names) {
  marked_.clear();
  for (number name : set.names) marked_.mark(name);
  return std::all_of(names.members().begin(), names.members().end(),
                     [&](number name) { return marked_.marked(name); });
}

void lost_sets::keep(std::span<const number> left,
                     const stamped_set& derived) {
  if (derived.size() > most_) return;
  const uint64_t sum = sum_of(derived);
  for (const kept& set : sets_)
    if (set.sum == sum && set.names.size() == derived.size() &&
        contains(set, derived))
      return;  // kept already
  while (!sets_.empty() &&
         (sets_.size() >= kMostSets || total_ + derived.size() > most_)) {
    total_ -= sets_.back().names.size();
    sets_.pop_back();
  }
  sets_.push_front({sum, {left.begin(), left.end()}, {}});
  derived.ascending(sets_.front().names);
  total_ += derived.size();
}

bool lost_sets::holds(const stamped_set& derived) {
  const auto same_size = [&](const kept& set) {
    return set.names.size() == derived.size();
  };
  if (std::none_of(sets_.begin(), sets_.end(), same_size)) return false;
  const uint64_t sum = sum_of(derived);
  for (const kept& set : sets_) {
    if (set.sum != sum || !same_size(set)) continue;
    work_.names += derived.size();
    if (contains(set, derived)) return true;
  }
  return false;
}
