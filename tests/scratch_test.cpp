// A scratch map holds just what was added since clear() and kept: never
// what it held before, nor what the room it grew into or shrank to held.
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

void add_range(scratch_map& map, uint64_t first, uint64_t end) {
  for (uint64_t key = first; key < end; ++key)
    *map.add(key).first = static_cast<number>(key + 1);
}

// Keys in [first, end) with the values they were given, none in [gone,
// gone_end).
void expect_exactly(const scratch_map& map, uint64_t first, uint64_t end,
                    uint64_t gone, uint64_t gone_end) {
  for (uint64_t key = first; key < end; ++key)
    ASSERT_TRUE(map.find(key) != nullptr && *map.find(key) == key + 1) << key;
  for (uint64_t key = gone; key < gone_end; ++key)
    EXPECT_EQ(map.find(key), nullptr) << key;
}

TEST(ScratchMap, HoldsOnlyWhatWasAddedSinceClear) {
  scratch_map map;
  add_range(map, 0, 1000);  // grows five times
  expect_exactly(map, 0, 1000, 1000, 1100);
  map.clear();
  add_range(map, 5000, 5010);
  map.keep_if([](uint64_t key, number&) { return key < 5005; });
  expect_exactly(map, 5000, 5005, 5005, 5010);
  expect_exactly(map, 0, 0, 0, 1000);
  add_range(map, 2000, 4000);  // into the room the first table had
  expect_exactly(map, 2000, 4000, 0, 1000);
  for (int use = 0; use < 40; ++use) {  // small uses: the table shrinks
    map.clear();
    add_range(map, use, use + 3);
    expect_exactly(map, use, use + 3, 2000, 2100);
  }
  map.clear();
  add_range(map, 10000, 12000);  // and grows again over stale room
  expect_exactly(map, 10000, 12000, 2000, 4000);
  EXPECT_EQ(map.size(), 2000u);
}

}  // namespace
