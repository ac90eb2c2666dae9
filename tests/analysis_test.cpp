// The closure and the preservation test, called directly: tables of small
// cases, and random cases against the checkers written from the definition.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "cases.h"
#include "definition.h"
#include "gtest/gtest.h"
#include "main.h"
#include "test_util.h"

namespace {

using rule = std::pair<schema, schema>;

// A dependency map from "left->right" texts, each side an attribute list.
dependency_map dependencies(std::initializer_list<const char*> lines) {
  dependency_map map;
  for (std::string_view line : lines) {
    const size_t arrow = line.find("->");
    map.insert_or_assign(schema(line.substr(0, arrow)),
                         schema(line.substr(arrow + 2)));
  }
  return map;
}

decomposition schemas(std::initializer_list<const char*> lines) {
  decomposition result;
  for (const char* line : lines) result.emplace(line);
  return result;
}

TEST(LinearCutoff, ClosesUnderTheWholeMap) {
  const struct {
    const char* what;
    dependency_map map;
    schema universe, start;
    std::string closure;
  } rows[] = {
      {"chain from its start", dependencies({"K->L", "L->M", "M->N"}),
       schema("K,L,M,N"), schema("K"), "[K][L][M][N]"},
      {"chain from its middle", dependencies({"K->L", "L->M", "M->N"}),
       schema("K,L,M,N"), schema("L"), "[L][M][N]"},
      {"two-name left side reached by two dependencies",
       dependencies({"A->K", "B->L", "K,L->M"}), schema("A,B,K,L,M"),
       schema("A,B"), "[A][B][K][L][M]"},
      {"half a left side is not enough", dependencies({"A->K", "K,L->M"}),
       schema("A,K,L,M"), schema("A"), "[A][K]"},
      {"empty map", dependencies({}), schema("A,B"), schema("A"), "[A]"},
      {"empty start", dependencies({"A->B"}), schema("A,B"), schema(), ""},
      {"empty left side applies in every call",
       dependency_map{{schema(), schema("B")}, {schema("B"), schema("C")}},
       schema("A,B,C"), schema(), "[B][C]"},
      {"start outside the universe stays and counts as reached",
       dependencies({"X->B"}), schema("A,B"), schema("X"), "[B][X]"},
      {"right side outside the universe is added", dependencies({"A->Y"}),
       schema("A"), schema("A"), "[A][Y]"},
      {"left-side name outside universe and start must not fire",
       dependencies({"A,Q->B", "Q->C"}), schema("A,B,C"), schema("A"), "[A]"},
      {"such a name fires once it is reached", dependencies({"A,Q->B", "A->Q"}),
       schema("A,B"), schema("A"), "[A][B][Q]"},
      {"empty name is an ordinary name", dependencies({"->A", "A->,B"}),
       schema("A,B"), schema(""), "[][A][B]"},
      {"right side already closed", dependencies({"A->B", "B->A"}),
       schema("A,B"), schema("A,B"), "[A][B]"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const dependency_map map = row.map;
    const schema universe = row.universe, start = row.start;
    EXPECT_EQ(render(linear_cutoff(universe, map, start)), row.closure);
    EXPECT_EQ(linear_cutoff(universe, map, start),
              linear_cutoff(universe, map, start));
    EXPECT_EQ(map, row.map);
    EXPECT_EQ(universe, row.universe);
    EXPECT_EQ(start, row.start);
  }
}

TEST(Keep, DecidesPreservation) {
  const struct {
    const char* what;
    decomposition schemas;
    dependency_map map;
    bool preserved;
  } rows[] = {
      {"worked example, D->A needs three passes", schemas({"A,B", "B,D"}),
       dependencies({"A->B", "B->D", "D->A"}), true},
      {"a lost dependency", schemas({"A,D", "B,D"}),
       dependencies({"A,B->D", "D->B"}), false},
      {"empty map", schemas({"A"}), dependencies({}), true},
      {"empty map, empty decomposition", schemas({}), dependencies({}), true},
      {"empty decomposition, trivial dependency", schemas({}),
       dependencies({"A,B->A"}), true},
      {"empty decomposition", schemas({}), dependencies({"A->B"}), false},
      {"right side leaves the universe", schemas({"A,B"}),
       dependencies({"A->B,Q"}), false},
      {"empty right side is the empty name", schemas({"A,B"}),
       dependencies({"A->"}), false},
      {"empty right side, the empty name in a schema", schemas({"A,"}),
       dependencies({"A->"}), true},
      {"both sides in one schema", schemas({"A,B,C", "C,D"}),
       dependencies({"A->B", "C->D"}), true},
      {"only through another schema's closure", schemas({"A,C", "B"}),
       dependencies({"A->B", "B->C"}), false},
      {"transitive through schemas", schemas({"A,B", "B,C"}),
       dependencies({"A->B,C", "B->C"}), true},
      {"a later equal left side replaces the right side",
       schemas({"A,B", "B,C"}), dependencies({"A->B", "B->C", "A->C"}), false},
      {"a closure through a lost middle", schemas({"A,C", "B,D"}),
       dependencies({"A->B", "B->C"}), false},
      {"projection keeps a derived dependency", schemas({"A,C", "B,C"}),
       dependencies({"A->B", "B->C"}), false},
      {"left side outside every schema", schemas({"A,B"}),
       dependencies({"Q->A", "A->B"}), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const decomposition d = row.schemas;
    const dependency_map map = row.map;
    const schema universe = universe_of(d);
    EXPECT_EQ(keep(universe, d, map), row.preserved);
    EXPECT_EQ(d, row.schemas);
    EXPECT_EQ(map, row.map);
    EXPECT_EQ(universe, universe_of(row.schemas));
  }
}

// Runs keep, linear_cutoff and explain on rounds random cases against the
// checkers written from the definition, also in a shuffled order of lines,
// and expects each verdict in more than one case in shape.share.
void agree_with_definition(case_shape shape, int rounds) {
  case_maker maker(20261208, shape);
  std::mt19937_64 random(7);
  int verdicts[2] = {0, 0};
  decomposition d;
  dependency_map map;
  for (int round = 0; round < rounds; ++round) {
    maker.make(d, map);
    const schema universe = universe_of(d);
    const std::optional<bool> expected = preserved_by_definition(d, map);
    ASSERT_TRUE(expected.has_value());
    ++verdicts[*expected];
    ASSERT_EQ(keep(universe, d, map), *expected)
        << "round " << round << ", input:\n"
        << as_input(d, map);
    expect_explained(d, map);
    const std::string shuffled = shuffled_input(d, map, random);
    expect_in_line_order(shuffled);
    ASSERT_FALSE(::testing::Test::HasFailure())
        << "round " << round << ", input:\n"
        << shuffled;

    const schema start =
        maker.names().to_schema(random() & ((mask{1} << shape.names) - 1));
    ASSERT_EQ(linear_cutoff(universe, map, start),
              closure_by_definition(map, start))
        << "start " << render(start) << ", input:\n"
        << as_input(d, map);
  }
  EXPECT_GT(verdicts[0], rounds / shape.share) << verdicts[0] << " lost";
  EXPECT_GT(verdicts[1], rounds / shape.share) << verdicts[1] << " preserved";
}

TEST(Keep, AgreesWithTheDefinitionOnRandomSmallInputs) {
  agree_with_definition({.names = 7,
                         .schemas = 3,
                         .schema_size = 3,
                         .dependencies = 3,
                         .chain = 5},
                        5000);
}

// Crowded schemas: many schemas share names of the tested left sides, so
// that closures are shared, and go on from the shared closure of the
// left side's names; most dependencies cross schemas.
TEST(Keep, AgreesWithTheDefinitionOnRandomCrowdedSchemas) {
  agree_with_definition({.names = 8,
                         .schemas = 6,
                         .schema_size = 5,
                         .dependencies = 7,
                         .chain = 4,
                         .inside = 2,
                         .right = 3,
                         .share = 10},
                        6000);
}

// Cycles of dependencies with one name on each side link the names of a
// schema that derive each other, and derived sets take in their classes
// whole, through any number of schemas.
TEST(Keep, AgreesWithTheDefinitionOnRandomCycles) {
  agree_with_definition({.names = 8,
                         .schemas = 6,
                         .schema_size = 4,
                         .dependencies = 4,
                         .chain = 4,
                         .inside = 4,
                         .right = 1,
                         .share = 10,
                         .cycle = 8},
                        6000);
}

// Long chains make closures reach many attributes, which the test remembers
// and reuses across dependencies.
TEST(Keep, AgreesWithTheDefinitionOnRandomLongerChains) {
  agree_with_definition({.names = 34,
                         .schemas = 10,
                         .schema_size = 5,
                         .dependencies = 7,
                         .chain = 30},
                        1000);
}

// U is held by no schema but leads to C, so A,E->D is kept only through it;
// W leads nowhere, and what gives only W is left out of every closure.
TEST(Keep, FollowsUnheldNamesThatLeadToHeldOnes) {
  expect_in_line_order(
      "A,B,C\nC,D\nE,A\nE,B\n\nA,B->U,W\nU->C\nC->D\nE->A,B\nA,E->D\n"
      "D->W\n");
}

}  // namespace
