// The bound of a test, shared by tests whose bounds are the same set.
#include "bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graph.h"
#include "reading.h"

namespace {

// The numbers of the names in text, one letter a name, ascending.
std::vector<number> names_of(const input& in, const std::string& text) {
  std::vector<number> names;
  for (char c : text) {
    number attribute = kNone;
    EXPECT_TRUE(in.model.names.find(std::string(1, c), attribute)) << c;
    names.push_back(attribute);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<number> sorted(std::span<const number> values) {
  std::vector<number> result(values.begin(), values.end());
  std::sort(result.begin(), result.end());
  return result;
}

// Each start in turn: the bound is the start's closure, with what that
// applied from the start, as a closure taken afresh finds them, and it is
// another set exactly when that closure differs from the one before.
TEST(Bounds, AreTheClosureOfEachStart) {
  const input in = read_input_text(
      "x,a,e\na,b,c\nc,d\ny,x\n\nx->a\nx->b\na,b->c\nc->d\ny->x\ne->c\n",
      "bounds");
  const dependency_graph graph(in.model);
  work_count work;
  bounds shared(graph.closing(), graph.name_count(), work);
  closure fresh(graph.closing(), graph.name_count(), work);
  // Again, within, as large or smaller, beyond, and reaching earlier starts.
  const char* starts[] = {"x", "x",  "xa", "ab", "ab", "abx", "bx", "y",
                          "xy", "c", "cd", "e",  "ec", "xe", "x",  "ab"};
  std::vector<number> before;
  for (const char* text : starts) {
    SCOPED_TRACE(text);
    const std::vector<number> start = names_of(in, text);
    const bool changed = shared.take(start);
    fresh.compute(start);
    const std::vector<number> now = sorted(fresh.reached().members());
    EXPECT_EQ(changed, now != before);
    before = now;
    EXPECT_EQ(sorted(shared.reached().members()), now);
    EXPECT_EQ(sorted(shared.applied_at_start()),
              sorted(fresh.applied_at_start()));
    for (number d = 0; d < graph.closing().size(); ++d)
      EXPECT_EQ(shared.applied(d), fresh.applied(d)) << d;
  }
}

// In a pool where every pair of names closes the whole pool, the pairs
// after the first are closed only until they reach a pair closed before.
TEST(Bounds, PairsOfAPoolShareItsClosure) {
  constexpr int kNames = 40;
  std::string text;
  for (int i = 0; i < kNames; ++i) text += (i ? ",p" : "p") + std::to_string(i);
  text += "\n\n";
  for (int i = 0; i < kNames; ++i)
    for (int j = i + 1; j < kNames; ++j)
      text += "p" + std::to_string(i) + ",p" + std::to_string(j) + "->p" +
              std::to_string((i + 1) % kNames) + ",p" +
              std::to_string((j + 1) % kNames) + "\n";
  const input in = read_input_text(text, "pool");
  const dependency_graph graph(in.model);
  work_count work;
  bounds shared(graph.closing(), graph.name_count(), work);
  ASSERT_TRUE(shared.take(std::vector<number>{0, 1}));
  ASSERT_EQ(shared.reached().size(), static_cast<size_t>(kNames));
  const uint64_t first = work.total();
  int pairs = 0;
  for (number i = 2; i < kNames; ++i)
    for (number j = i + 1; j < kNames; j += 3, ++pairs)
      EXPECT_FALSE(shared.take(std::vector<number>{i, j}));
  // A closure of the pool for each costs `first`.
  EXPECT_LT(work.total() - first, pairs * first / 4);
}

}  // namespace
