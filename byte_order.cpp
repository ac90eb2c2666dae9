#include "byte_order.h"

#include <algorithm>
#include <bit>

byte_order::byte_order(const name_table& names)
    : names_(names), picked_(names.size()) {
  by_bytes_.resize(names.size());
  for (number a = 0; a < by_bytes_.size(); ++a) by_bytes_[a] = a;
  std::sort(by_bytes_.begin(), by_bytes_.end(),
            [&](number a, number b) { return names.name(a) < names.name(b); });
  place_.resize(names.size());
  for (number i = 0; i < by_bytes_.size(); ++i) place_[by_bytes_[i]] = i;
}

// Puts the first wanted of names, by their places in the order, in order at
// their front: a selection, then a sort of only those, which costs less than
// a heap of them when they are many.
void byte_order::first_by_place(std::span<number> names, size_t wanted) const {
  const auto before = [&](number a, number b) { return place_[a] < place_[b]; };
  const auto end = names.begin() + static_cast<ptrdiff_t>(wanted);
  std::nth_element(names.begin(), end, names.end(), before);
  std::sort(names.begin(), end, before);
}

bool byte_order::walk_cheaper(size_t count) const {
  return count * std::bit_width(count) >= by_bytes_.size();
}

void byte_order::list(const stamped_set& set,
                      std::vector<std::string_view>& list, size_t most) {
  const std::span<const number> members = set.members();
  const size_t wanted = std::min(most, members.size());
  list.resize(wanted);
  size_t count = 0;
  if (walk_cheaper(members.size())) {
    for (auto a = by_bytes_.begin(); count < wanted; ++a)
      if (set.contains(*a)) list[count++] = names_.name(*a);
    return;
  }
  scratch_.assign(members.begin(), members.end());
  first_by_place(scratch_, wanted);
  for (; count < wanted; ++count) list[count] = names_.name(scratch_[count]);
}

size_t byte_order::sort(std::span<number> names, size_t most) {
  const size_t wanted = std::min(most, names.size());
  if (!walk_cheaper(names.size())) {
    first_by_place(names, wanted);
    return wanted;
  }
  picked_.clear();
  for (number a : names) picked_.mark(a);
  size_t count = 0;
  for (auto a = by_bytes_.begin(); count < wanted; ++a)
    if (picked_.marked(*a)) names[count++] = *a;
  return wanted;
}
