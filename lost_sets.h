// The derived sets of dependencies found lost, each with the left side it
// is the whole derived set of, kept so that later tests that come to the
// same set are known lost without closures.
//
// A kept set L is closed: no schema's closure adds to it. So a left side X
// that lies in L derives only names of L, and X's derived set is L as soon
// as it is known to hold all of L: when X derives, by its classes alone, the
// left side L came from, or when the names X has derived by sound steps are
// all of L. A dependency whose right side L misses is then lost. The tests
// of a cycle whose schemas split it into classes, each dependency losing a
// third of the cycle, so take each third's closures once, in whatever order
// their lines come.
//
// What it keeps true: a set is kept once, however often it is lost; sets are
// kept up to a total size of four times the names (at least 1024) and 64
// sets, the oldest dropped first.
//
// What it costs: keeping a set, its size and a look at each kept set;
// asking whether a left side derives one, for each of the kAsked newest,
// a binary search per name of the left side and of the right side, and
// what derives() costs; asking whether a derived set is one, a look at each
// kept set, and for one of the same size, the derived set's size twice.
#ifndef FDKEEP_LOST_SETS_H_
#define FDKEEP_LOST_SETS_H_

#include <algorithm>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "closure.h"
#include "scratch.h"

class lost_sets {
 public:
  // How many of the newest sets a left side is compared with.
  static constexpr size_t kAsked = 4;

  // Sets over the names below names; counts its work in work.
  lost_sets(size_t names, work_count& work);

  // Keeps derived, the whole derived set of left, a dependency's left side
  // found lost.
  void keep(std::span<const number> left, const stamped_set& derived);

  // The names of one of the kAsked newest sets that holds left and misses
  // a name of wanted, and whose own left side derives(left side) says left
  // derives; empty when there is none. That set is then left's whole
  // derived set.
  template <typename Derives>
  std::span<const number> derived_by(std::span<const number> left,
                                     std::span<const number> wanted,
                                     Derives derives);

  // True when derived, a left side and names that it derives, is a kept
  // set: it is then that left side's whole derived set.
  bool holds(const stamped_set& derived);

 private:
  struct kept {
    uint64_t sum;               // of the members' mixed numbers
    std::vector<number> left;   // the left side it is the derived set of
    std::vector<number> names;  // ascending
  };

  uint64_t sum_of(const stamped_set& set) const;
  // True when set holds every member of names.
  bool contains(const kept& set, const stamped_set& names);

  size_t most_;  // the total size kept at most
  size_t total_ = 0;
  marks marked_;  // the members of the set compared
  work_count& work_;
  std::deque<kept> sets_;  // the newest first
};

template <typename Derives>
std::span<const number> lost_sets::derived_by(std::span<const number> left,
                                              std::span<const number> wanted,
                                              Derives derives) {
  const size_t asked = std::min(kAsked, sets_.size());
  for (size_t i = 0; i < asked; ++i) {
    const kept& set = sets_[i];
    const auto in_set = [&](number a) {
      ++work_.names;
      return std::binary_search(set.names.begin(), set.names.end(), a);
    };
    if (std::all_of(left.begin(), left.end(), in_set) &&
        !std::all_of(wanted.begin(), wanted.end(), in_set) &&
        derives(std::span<const number>(set.left)))
      return set.names;
  }
  return {};
}

#endif  // FDKEEP_LOST_SETS_H_
