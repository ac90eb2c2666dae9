// Lost sets answer only for the very sets they kept: a derived set of the
// same size but other names, or a left side that a kept set does not hold
// or whose set holds the right side, finds nothing.
#include "lost_sets.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

stamped_set set_of(const std::vector<number>& names) {
  stamped_set set(100);
  for (number name : names) set.insert(name);
  return set;
}

TEST(LostSets, HoldOnlyTheSetsKept) {
  work_count work;
  lost_sets lost(100, work);
  EXPECT_FALSE(lost.holds(set_of({0, 1, 2, 3})));
  lost.keep(std::vector<number>{0, 1}, set_of({3, 1, 0, 2}));
  lost.keep(std::vector<number>{5}, set_of({5, 6, 7, 8}));
  lost.keep(std::vector<number>{0, 1}, set_of({0, 1, 2, 3}));  // once
  const struct {
    std::vector<number> derived;
    bool held;
  } rows[] = {
      {{2, 0, 3, 1}, true},  {{5, 6, 7, 8}, true}, {{0, 1, 2, 4}, false},
      {{0, 1, 2}, false},    {{0, 1, 2, 3, 4}, false},
      {{0, 5, 6, 7}, false},  // the same size as both, in neither
  };
  for (const auto& row : rows)
    EXPECT_EQ(lost.holds(set_of(row.derived)), row.held)
        << ::testing::PrintToString(row.derived);
}

TEST(LostSets, GiveTheSetOfALeftSideThatDerivesWhereItCameFrom) {
  work_count work;
  lost_sets lost(100, work);
  lost.keep(std::vector<number>{0, 1}, set_of({0, 1, 2, 3}));
  const std::vector<number> origin{0, 1};
  const struct {
    std::vector<number> left, wanted;
    bool derives_origin;
    bool found;
  } rows[] = {
      {{2, 3}, {4}, true, true},
      {{2, 3}, {1, 4}, true, true},   // a name of the right side is missed
      {{2, 3}, {1}, true, false},     // the set holds the right side
      {{2, 9}, {4}, true, false},     // the set does not hold the left side
      {{2, 3}, {4}, false, false},    // the left side does not reach {0, 1}
  };
  for (const auto& row : rows) {
    const std::span<const number> set = lost.derived_by(
        row.left, row.wanted, [&](std::span<const number> from) {
          EXPECT_EQ(std::vector<number>(from.begin(), from.end()), origin);
          return row.derives_origin;
        });
    EXPECT_EQ(!set.empty(), row.found)
        << ::testing::PrintToString(row.left) << " -> "
        << ::testing::PrintToString(row.wanted);
    if (!set.empty()) {
      EXPECT_EQ(std::vector<number>(set.begin(), set.end()),
                (std::vector<number>{0, 1, 2, 3}));
    }
  }
}

// The oldest sets go first, past 64 sets or past their room in names (four
// times the names, at least 1024).
TEST(LostSets, DropTheOldestPastTheirRoom) {
  const auto window = [](number first, number size) {
    std::vector<number> names(size);
    for (number i = 0; i < size; ++i) names[i] = first + i;
    return set_of(names);
  };
  work_count work;
  lost_sets pairs(100, work);
  for (number i = 0; i < 70; ++i)
    pairs.keep(std::vector<number>{i}, window(i, 2));
  for (number i = 0; i < 70; ++i)
    EXPECT_EQ(pairs.holds(window(i, 2)), i >= 6) << i;
  lost_sets wide(100, work);  // twelve sets of 88 names outgrow 1024
  for (number i = 0; i < 12; ++i)
    wide.keep(std::vector<number>{i}, window(i, 88));
  for (number i = 0; i < 12; ++i)
    EXPECT_EQ(wide.holds(window(i, 88)), i >= 1) << i;
}

}  // namespace
