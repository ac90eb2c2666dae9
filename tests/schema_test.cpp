#include "schema.h"

#include <string>
#include <vector>

#include "model.h"

#include "gtest/gtest.h"
#include "test_util.h"

namespace {

using namespace std::string_literals;

TEST(SchemaParsing, CommasSeparateNamesTakenByteForByte) {
  const struct {
    std::string text;
    std::string names;
  } rows[] = {
      {"", "[]"},  // the empty text is the empty name, not the empty schema
      {"A", "[A]"},
      {"A,B", "[A][B]"},
      {"B,A,B", "[A][B]"},
      {"A,", "[][A]"},
      {",A", "[][A]"},
      {"A,,B", "[][A][B]"},
      {",", "[]"},
      {"A, B", "[ B][A]"},  // the blank belongs to the name
      {" A ,A", "[ A ][A]"},
      {"A\r", "[A\r]"},
      {"A->B,C", "[A->B][C]"},  // an arrow is an ordinary name byte here
      {"a,Z,\xE9,A", "[A][Z][a][\xE9]"},
      {"A\0B,A"s, "[A][A\0B]"s},
      {"\t", "[\t]"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(render(schema(row.text)), row.names) << "text: " << row.text;
}

TEST(SchemaParsing, EmptyTextDiffersFromEmptySchema) {
  EXPECT_NE(schema(""), schema());
  EXPECT_LT(schema(), schema(""));
  EXPECT_EQ(schema("A,B"), schema("B,A,B,A"));
  EXPECT_NE(schema("A,B"), schema("A, B"));
  EXPECT_NE(schema("A"), schema("A\r"));
}

TEST(SchemaOrder, ComparesNamesByteWiseThenLength) {
  // Each row's first schema orders strictly before its second.
  const struct {
    schema smaller;
    schema larger;
  } rows[] = {
      // clang-format off
      {schema(), schema("")},
      {schema(""), schema("A")},
      {schema("A"), schema("A,B")},
      {schema("A,B,Z"), schema("A,D")},
      {schema("A,Z"), schema("B")},
      {schema("Z"), schema("a")},
      {schema("A"), schema("AB")},
      {schema("A10"), schema("A9")},
      {schema("z"), schema("\x80")},  // high bytes order after ASCII
      {schema("\xC1"), schema("\xE9")},
      {schema("A\r"), schema("A\xFF")},
      {schema(",A"), schema("A")},  // the empty name comes first
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(render(row.smaller) + " < " + render(row.larger));
    EXPECT_LT(row.smaller, row.larger);
    EXPECT_FALSE(row.larger < row.smaller);
    EXPECT_NE(row.smaller, row.larger);
  }
}

TEST(SchemaAlgebra, UnionDifferenceIntersection) {
  const struct {
    const char* a;
    const char* b;
    std::string sum, difference, product;
  } rows[] = {
      {"A,B,C", "B,C,D", "[A][B][C][D]", "[A]", "[B][C]"},
      {"A,B", "C", "[A][B][C]", "[A][B]", ""},
      {"A", "A", "[A]", "", "[A]"},
      {",A", "A,a", "[][A][a]", "[]", "[A]"},
      {"\xE9,Z", "Z", "[Z][\xE9]", "[\xE9]", "[Z]"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.a) + " with " + row.b);
    const schema a(row.a), b(row.b);
    EXPECT_EQ(render(a + b), row.sum);
    EXPECT_EQ(render(a - b), row.difference);
    EXPECT_EQ(render(a * b), row.product);
    EXPECT_EQ(a, schema(row.a)) << "an operand changed";
    EXPECT_EQ(b, schema(row.b)) << "an operand changed";
  }
}

TEST(SchemaAlgebra, LawsHoldOnSampleSets) {
  const std::vector<schema> sets = {schema(),           schema(""),
                                    schema("A"),        schema("A,B,C"),
                                    schema("B,D,\xE9"), schema("C, D,a")};
  for (const schema& a : sets) {
    EXPECT_EQ(a - a, schema());
    EXPECT_EQ(a + schema(), a);
    EXPECT_EQ(a * schema(), schema());
    for (const schema& b : sets) {
      SCOPED_TRACE(render(a) + " and " + render(b));
      EXPECT_EQ(a + b, b + a);
      EXPECT_EQ(a * b, b * a);
      EXPECT_EQ((a - b) + (a * b), a);
      EXPECT_EQ((a - b) * b, schema());
      EXPECT_TRUE((a + b).contains(a));
      EXPECT_TRUE(a.contains(a * b));
      EXPECT_EQ(a.contains(b), a * b == b);
    }
  }
}

TEST(SchemaContains, SubsetTest) {
  const struct {
    const schema x, y;
    bool contains;
  } rows[] = {
      {schema(), schema(), true},
      {schema("A"), schema(), true},
      {schema(), schema("A"), false},
      {schema(), schema(""), false},
      {schema("A,B"), schema("B,A"), true},
      {schema("A,B"), schema("A,C"), false},
      {schema("A,B"), schema("A, B"), false},
      {schema(",A"), schema(""), true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.x.contains(row.y), row.contains)
        << render(row.x) << " contains " << render(row.y);
}

TEST(SchemaPrint, NamesInOrderSeparatedByOneBlank) {
  const struct {
    schema s;
    std::string printed;
  } rows[] = {{schema(), ""}, {schema("B,A"), "A B"}, {schema("A,"), " A"}};
  for (const auto& row : rows) {
    testing::internal::CaptureStdout();
    row.s.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.printed);
  }
}

TEST(SchemaCopy, CopiesAreIndependent) {
  schema original("A,B");
  schema copy = original;
  copy.insert("C");
  EXPECT_EQ(render(original), "[A][B]");
  original = copy;
  copy.erase("A");
  EXPECT_EQ(render(original), "[A][B][C]");
}

// Names of every length up to 40, and each of them with one byte changed
// at each place (to a zero byte, too), all get numbers of their own: a name
// is told apart by every byte of it, however it is loaded and hashed.
TEST(NameTable, EveryByteOfANameCounts) {
  name_table names;
  std::vector<std::string> added;
  for (size_t length = 0; length <= 40; ++length) {
    const std::string base(length, 'a');
    added.push_back(base);
    for (size_t at = 0; at < length; ++at)
      for (char other : {'b', '\0'}) {
        std::string changed = base;
        changed[at] = other;
        added.push_back(changed);
      }
  }
  for (size_t i = 0; i < added.size(); ++i)
    ASSERT_EQ(names.add(added[i]), i) << "length " << added[i].size();
  for (size_t i = 0; i < added.size(); ++i) {
    number found = kNone;
    EXPECT_TRUE(names.find(added[i], found));
    EXPECT_EQ(found, i);
    EXPECT_EQ(names.name(static_cast<number>(i)), added[i]);
  }
  number found;
  EXPECT_FALSE(names.find(std::string(41, 'a'), found));
}

// A row holds each name once, ascending by number, whatever the order and
// repeats of the list.
TEST(NameTable, RowsAreAscendingAndEachNameOnce) {
  const struct {
    std::string list;
    std::vector<number> row;
  } rows[] = {
      {"A,B,C", {0, 1, 2}}, {"C,B,A", {0, 1, 2}}, {"A,A", {0}},
      {"B,A,B", {0, 1}},    {"D,,D", {3, 4}},     {"", {4}},
  };
  model_builder builder;
  for (const char* name : {"A", "B", "C"}) builder.number_of(name);
  std::vector<number> row;
  for (const auto& r : rows) {
    builder.parse(r.list, row);
    EXPECT_EQ(row, r.row) << r.list;
  }
}

}  // namespace
