// The working sets that the analysis empties once per test: what a map
// held before clear(), or in the room it grew out of, never comes back.
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

// Keys present with the value they were given, and the others absent.
void expect_exactly(const scratch_map& map, uint64_t first, uint64_t end,
                    uint64_t absent_first, uint64_t absent_end) {
  for (uint64_t key = first; key < end; ++key) {
    const number* value = map.find(key);
    ASSERT_NE(value, nullptr) << key;
    EXPECT_EQ(*value, key + 1) << key;
  }
  for (uint64_t key = absent_first; key < absent_end; ++key)
    EXPECT_EQ(map.find(key), nullptr) << key;
}

void add_range(scratch_map& map, uint64_t first, uint64_t end) {
  for (uint64_t key = first; key < end; ++key)
    *map.add(key).first = static_cast<number>(key + 1);
}

// A map grows into the room of tables it had before, shrinks after small
// uses and keeps only some keys: at each step, it holds just what was added
// since the last clear() and kept.
TEST(ScratchMap, HoldsOnlyWhatWasAddedSinceClear) {
  scratch_map map;
  add_range(map, 0, 1000);  // grows five times
  expect_exactly(map, 0, 1000, 1000, 1100);
  EXPECT_EQ(map.size(), 1000u);

  map.clear();
  add_range(map, 5000, 5010);
  expect_exactly(map, 5000, 5010, 0, 1000);

  map.keep_if([](uint64_t key, number&) { return key < 5005; });
  expect_exactly(map, 5000, 5005, 5005, 5010);
  expect_exactly(map, 0, 0, 0, 1000);
  EXPECT_EQ(map.size(), 5u);

  add_range(map, 2000, 4000);  // into the room the first table had
  expect_exactly(map, 2000, 4000, 0, 1000);
  expect_exactly(map, 5000, 5005, 5005, 5010);

  for (int use = 0; use < 40; ++use) {  // small uses: the table shrinks
    map.clear();
    add_range(map, use, use + 3);
    expect_exactly(map, use, use + 3, 2000, 2100);
  }
  map.clear();
  add_range(map, 10000, 12000);  // and grows again over stale room
  expect_exactly(map, 10000, 12000, 0, 100);
  expect_exactly(map, 0, 0, 2000, 4000);
}

}  // namespace
