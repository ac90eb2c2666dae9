// The names of a model in ascending byte order, as an explanation lists
// them: the order is found once per run, and each list after that sorts
// numbers by their place in it, or walks it, instead of comparing bytes.
//
// What it keeps true: a list holds each name given once, in ascending order
// of bytes (distinct names never compare equal).
//
// What it costs: O(n log n) byte comparisons once, for n names; then per
// list of the first m of k names O(min(k + m log m, n)) without comparing
// bytes, and a walk stops at the m-th name.
#ifndef FDKEEP_BYTE_ORDER_H_
#define FDKEEP_BYTE_ORDER_H_

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model.h"
#include "scratch.h"

class byte_order {
 public:
  // The order of names, which must outlive it.
  explicit byte_order(const name_table& names);

  // Sets list to the names of set in ascending byte order, or to the first
  // most of them.
  void list(const stamped_set& set, std::vector<std::string_view>& list,
            size_t most = SIZE_MAX);

  // Puts the first most of names, distinct numbers of names, in ascending
  // byte order at their front; what follows them is not kept. Returns how
  // many are in order: most, or all when there are fewer.
  size_t sort(std::span<number> names, size_t most = SIZE_MAX);

 private:
  void first_by_place(std::span<number> names, size_t wanted) const;
  // True when a walk of every name costs less than sorting count of them.
  bool walk_cheaper(size_t count) const;

  const name_table& names_;
  std::vector<number> by_bytes_, place_, scratch_;
  marks picked_;
};

#endif  // FDKEEP_BYTE_ORDER_H_
