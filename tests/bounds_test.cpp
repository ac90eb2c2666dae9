// The bound of a test, shared by tests whose bounds are the same set, and
// the names relevant to a test's right side.
#include "bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graph.h"
#include "reading.h"
#include "relevance.h"

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
  const char* starts[] = {"x",  "x", "xa", "ab", "ab", "abx", "bx", "y",
                          "xy", "c", "cd", "e",  "ec", "xe",  "x",  "ab"};
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

// The closing dependencies are numbered so that those with one first name
// follow one another, and each still comes from the tested dependency it
// names: with every name in one schema, it has that one's sides.
TEST(Closing, DependenciesWithOneFirstNameLieTogether) {
  const input in = read_input_text(
      "a,b,c,d,e,f\n\n"
      "a,b->c\nd->e\nb,c->a\na,e->f\nd,f->a\nc->b\ne,b->d\nf->a,c\n",
      "grouped");
  const dependency_graph graph(in.model);
  const watched_dependencies& closing = graph.closing();
  ASSERT_EQ(closing.size(), graph.dependency_count());
  for (number attribute = 0; attribute < graph.name_count(); ++attribute) {
    const std::span<const number> row = closing.first[attribute];
    for (size_t i = 1; i < row.size(); ++i)
      EXPECT_EQ(row[i], row[i - 1] + 1) << attribute;
  }
  for (number d = 0; d < closing.size(); ++d) {
    const number tested = graph.closing_tested()[d];
    EXPECT_EQ(sorted(closing.left[d]), sorted(graph.left(tested))) << d;
    EXPECT_EQ(sorted(closing.right[d]), sorted(graph.right(tested))) << d;
  }
}

// A schema answers for each name whether it holds it, whether it is asked
// through bits or by a search: schemas of 1 to 70 of 600 names, whose
// widths straddle where the bits begin.
TEST(Graph, SchemasOfEveryWidthTellWhatTheyHold) {
  std::string text;
  for (const int width : {1, 7, 8, 9, 10, 63, 64, 70}) {
    for (int i = 0; i < width; ++i)
      text += (i ? ",n" : "n") + std::to_string((i * 37 + width) % 600);
    text += "\n";
  }
  for (int i = 0; i < 600; ++i) text += "n" + std::to_string(i) + "\n";
  text += "\nn0->n1\n";
  const input in = read_input_text(text, "widths");
  const dependency_graph graph(in.model);
  for (number s = 0; s < graph.schema_count(); ++s) {
    const std::span<const number> members = graph.members(s);
    for (number a = 0; a < graph.name_count(); ++a)
      ASSERT_EQ(graph.holds(s, a),
                std::find(members.begin(), members.end(), a) != members.end())
          << s << " " << a;
  }
}

// Dependencies over one-letter names, 'a' the first, each "left>right".
watched_dependencies lettered(const std::vector<std::string>& lines) {
  table left, right;
  const auto numbers = [](const std::string& text) {
    std::vector<number> row;
    for (char c : text) row.push_back(static_cast<number>(c - 'a'));
    return row;
  };
  for (const std::string& line : lines) {
    const size_t arrow = line.find('>');
    left.add_row(numbers(line.substr(0, arrow)));
    right.add_row(numbers(line.substr(arrow + 1)));
  }
  return watched_dependencies::make(left, right, 26,
                                    std::vector<number>(26, 0));
}

const std::vector<std::string> kLettered = {"x>a", "x>b", "ab>c", "c>d",
                                            "y>x", "e>c", "d>y",  "x>f"};

// The dependencies of kLettered relevant to the names wanted, in its order;
// or "none" when find() gives up within budget.
std::vector<std::string> relevant(const std::string& wanted, size_t budget) {
  const watched_dependencies dependencies = lettered(kLettered);
  work_count work;
  relevant_names names(dependencies, 26, work);
  std::vector<number> start;
  for (char c : wanted) start.push_back(static_cast<number>(c - 'a'));
  if (!names.find(start, budget)) return {"none"};
  std::vector<std::string> found;
  for (number d = 0; d < dependencies.size(); ++d)
    if (names.dependency(d)) found.push_back(kLettered[d]);
  return found;
}

// A dependency is relevant when its right side holds a name wanted or a
// name on the left side of one that is; the budget bounds what the
// relevant dependencies hold, one for each and its names.
TEST(Relevance, LeadsBackFromTheRightSide) {
  using v = std::vector<std::string>;
  const v all_but_f = {"x>a", "x>b", "ab>c", "c>d", "y>x", "e>c", "d>y"};
  const struct {
    const char* wanted;
    size_t budget;
    v found;
  } rows[] = {
      {"d", 100, all_but_f},
      {"f", 100, {"x>a", "x>b", "ab>c", "c>d", "y>x", "e>c", "d>y", "x>f"}},
      {"e", 0, {}},  // nothing leads to it
      {"ab", 100, all_but_f},
      {"d", 22, all_but_f},  // 4 for ab>c, 3 for each of the six others
      {"d", 21, {"none"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.wanted);
    EXPECT_EQ(relevant(row.wanted, row.budget), row.found);
  }
  // Cut off the cycle, a name leads back only so far.
  const watched_dependencies open = lettered({"x>a", "a>b", "y>c", "b>d"});
  work_count work;
  relevant_names names(open, 26, work);
  ASSERT_TRUE(names.find(std::vector<number>{'b' - 'a'}, 100));
  EXPECT_EQ(std::vector<bool>({names.dependency(0), names.dependency(1),
                               names.dependency(2), names.dependency(3)}),
            std::vector<bool>({true, true, false, false}));
}

// Of what a bound applied, closures follow only the relevant: here, of
// those starting with x, x>b and not x>a.
TEST(Relevance, FiltersWhatTheBoundApplied) {
  const watched_dependencies dependencies = lettered({"x>a", "x>b", "b>c"});
  work_count work;
  closure bound(dependencies, 26, work);
  bound.compute(std::vector<number>{'x' - 'a'});
  followed_dependencies followed(26);
  followed.follow(dependencies, bound);
  relevant_names names(dependencies, 26, work);
  ASSERT_TRUE(names.find(std::vector<number>{'c' - 'a'}, 100));
  EXPECT_EQ(followed.starting('x' - 'a').size(), 2u);
  const std::span<const number> kept = names.starting(followed, 'x' - 'a');
  EXPECT_EQ(std::vector<number>(kept.begin(), kept.end()),
            std::vector<number>{1});
}

}  // namespace
