// The steps and schemas an explanation shows beyond the engine's reports,
// checked with the checkers written from the definition (definition.h):
// every step of a derivation is needed, each suggested schema keeps its
// dependency and loses it without any one of its names, and the repair of
// the whole decomposition, added to it, preserves every dependency.
#include "repair.h"

#include <random>
#include <string>
#include <vector>

#include "definition.h"
#include "explain.h"
#include "gtest/gtest.h"
#include "shapes.h"
#include "test_util.h"

namespace {

// What a step on s adds to derived, by the definition.
schema step_by_definition(const dependency_map& map, const schema& derived,
                          const schema& s) {
  return (closure_by_definition(map, derived * s) * s) - derived;
}

// Whether the steps, replayed from left, reach right, each adding exactly
// what the definition says; all but the step skipped.
bool replay_reaches(const std::vector<schema>& schemas,
                    const dependency_map& map, const schema& left,
                    const schema& right, const derivation_steps& steps,
                    const numbered_input& model, size_t skipped) {
  schema derived = left;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i == skipped) continue;
    const schema added =
        step_by_definition(map, derived, schemas[steps.places[i]]);
    if (skipped == steps.size()) {
      EXPECT_EQ(render(added), render(schema_of(model, steps.adds(i))))
          << "step " << i;
    }
    derived = derived + added;
  }
  return derived.contains(right);
}

// Checks every derivation and suggested schema of a case and its whole
// repair; returns how many dependencies were lost.
int expect_repairs_hold(const decomposition& d, const dependency_map& map) {
  const numbered_input model = number_input(d, map);
  const std::vector<schema> schemas(d.begin(), d.end());
  derivations with(model);
  std::vector<repair_schema> suggested;
  explain(model, {}, [&](size_t place, const dependency_report& report) {
    const schema left = schema_of(model, model.left[place]),
                 right = schema_of(model, model.right[place]);
    SCOPED_TRACE(render(left) + "->" + render(right));
    if (report.how == dependency_report::outcome::derived) {
      std::vector<size_t> places;
      for (const dependency_report::step& step : report.steps)
        places.push_back(step.place);
      const derivation_steps steps =
          with.needed_steps(model.left[place], model.right[place], places);
      ASSERT_FALSE(steps.empty());
      EXPECT_LE(steps.size(), places.size());
      EXPECT_TRUE(replay_reaches(schemas, map, left, right, steps, model,
                                 steps.size()));
      for (size_t i = 0; i < steps.size(); ++i)
        EXPECT_FALSE(replay_reaches(schemas, map, left, right, steps, model, i))
            << "step " << i << " is not needed";
    }
    if (report.how != dependency_report::outcome::lost) return;
    std::vector<number> derived;
    for (std::string_view name : report.derived) {
      number attribute;
      ASSERT_TRUE(model.names.find(name, attribute));
      derived.push_back(attribute);
    }
    std::sort(derived.begin(), derived.end());
    const suggestion found =
        suggested_schema(with, model.left[place], model.right[place], derived);
    const schema r = schema_of(model, found.names);
    const schema missing = right - derived_by_passes(d, map, left);
    EXPECT_TRUE(found.irreducible || (left + missing).size() > 128);
    EXPECT_TRUE((left + missing).contains(r)) << render(r);
    const auto keeps = [&](const schema& added) {
      decomposition more = d;
      more.insert(added);
      return derived_by_passes(more, map, left).contains(right);
    };
    EXPECT_TRUE(keeps(r)) << render(r);
    if (found.irreducible)
      for (const std::string& name : r) {
        schema smaller = r;
        smaller.erase(name);
        EXPECT_FALSE(keeps(smaller))
            << render(r) << " keeps it without [" << name << "]";
      }
    suggested.push_back({found.names, {place}});
  });

  const std::vector<repair_schema> repair = whole_repair(suggested);
  decomposition repaired = d;
  std::vector<size_t> kept;
  for (const repair_schema& s : repair) {
    repaired.insert(schema_of(model, s.names));
    kept.insert(kept.end(), s.keeps.begin(), s.keeps.end());
  }
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept.size(), suggested.size()) << "each lost dependency once";
  EXPECT_EQ(std::adjacent_find(kept.begin(), kept.end()), kept.end());
  EXPECT_LE(repair.size(), suggested.size());
  EXPECT_TRUE(preserved_by_passes(repaired, map));
  EXPECT_TRUE(preserves(number_input(repaired, map)));
  const std::optional<bool> by_definition =
      preserved_by_definition(repaired, map);
  EXPECT_TRUE(by_definition.value_or(true));
  return static_cast<int>(suggested.size());
}

// Random cases over a few names, some of them hostile: the empty name, a
// byte that is not UTF-8, an ellipsis, a right-to-left override.
TEST(Repairs, HoldOnRandomInputs) {
  const std::vector<std::string> names = {
      "A", "B", "C", "D", "E", "F", "G", "", "\xff", "\u2026 1 more",
      "x\u202e"};
  std::mt19937 random(20261209);
  const auto pick = [&](size_t n) { return random() % n; };
  const auto draw = [&](size_t most) {
    schema s;
    for (size_t n = 1 + pick(most); n > 0; --n)
      s.insert(names[pick(names.size())]);
    return s;
  };
  int lost = 0;
  for (int round = 0; round < 1500; ++round) {
    decomposition d;
    dependency_map map;
    for (size_t n = 1 + pick(5); n > 0; --n) d.insert(draw(4));
    for (size_t n = 1 + pick(6); n > 0; --n)
      map.insert_or_assign(draw(3), draw(2));
    lost += expect_repairs_hold(d, map);
    ASSERT_FALSE(::testing::Test::HasFailure()) << "round " << round;
  }
  EXPECT_GT(lost, 500);
}

// Small instances of every hostile shape, preserved and lost.
TEST(Repairs, HoldOnHostileShapes) {
  for (const hostile_shape& shape : hostile_shapes())
    for (int n : {6, 10})
      for (bool lost : {false, true}) {
        SCOPED_TRACE(std::string(shape.name) + " n=" + std::to_string(n) +
                     (lost ? " lost" : ""));
        decomposition d;
        dependency_map map;
        ASSERT_TRUE(read_input(shape.make(n, lost, 1), d, map));
        expect_repairs_hold(d, map);
      }
}

// The place in model of the schema of the two names one and two.
size_t place_of(const numbered_input& model, const std::string& one,
                const std::string& two) {
  size_t s = 0;
  while (s < model.schemas.size() &&
         schema_of(model, model.schemas[s]) != schema(one + "," + two))
    ++s;
  return s;
}

// A chain a -> c1 -> ... -> c12 held link by link, between a step {a,u},
// which the first trial drops, and a step {u,v}, which adds v only after
// u: the chain's trials spend the bound before {u,v} comes, but as it adds
// nothing once {a,u} is gone, it goes too.
TEST(Repairs, AStepThatAddsNothingGoesAfterTheTrials) {
  std::string schemas = "a,u\nu,v\n", dependencies = "a->u\nu->v\n";
  for (int i = 1; i <= 12; ++i) {
    const std::string from = i == 1 ? "a" : "c" + std::to_string(i - 1);
    schemas += from + ",c" + std::to_string(i) + "\n";
    dependencies += from + "->c" + std::to_string(i) + "\n";
  }
  decomposition d;
  dependency_map map;
  ASSERT_TRUE(read_input(schemas + "\n" + dependencies, d, map));
  const numbered_input model = number_input(d, map);
  std::vector<size_t> places = {place_of(model, "a", "u")};
  for (int i = 1; i <= 12; ++i)
    places.push_back(place_of(model,
                              i == 1 ? "a" : "c" + std::to_string(i - 1),
                              "c" + std::to_string(i)));
  places.push_back(place_of(model, "u", "v"));
  number a, c12;
  ASSERT_TRUE(model.names.find("a", a) && model.names.find("c12", c12));
  const number left[] = {a}, right[] = {c12};
  derivations with(model);
  const derivation_steps shown = with.needed_steps(left, right, places);
  for (size_t i = 0, first = 0; i < shown.size(); first = shown.ends[i++])
    EXPECT_LT(first, shown.ends[i]) << "step " << i << " adds nothing";
  EXPECT_EQ(shown.size(), 12u);
}

// A chain a -> c1 -> ... -> c9, held link by link, and side steps that add
// names a gives and nothing needs: the first four spend most trials, and the
// fifth, among the chain's steps, is left untried. With ten steps kept, all
// are tried again, and the fifth goes too.
TEST(Repairs, ShortDerivationsHaveEveryStepTried) {
  std::string schemas, dependencies = "a->c1,x1,x2,x3,x4,x5\n";
  for (int i = 1; i <= 9; ++i) {
    const std::string from = i == 1 ? "a" : "c" + std::to_string(i - 1),
                      to = "c" + std::to_string(i);
    schemas += from + "," + to + "\n";
    if (i > 1) dependencies += from + "->" + to + "\n";
  }
  for (int i = 1; i <= 5; ++i) schemas += "a,x" + std::to_string(i) + "\n";
  decomposition d;
  dependency_map map;
  ASSERT_TRUE(read_input(schemas + "\n" + dependencies, d, map));
  const numbered_input model = number_input(d, map);
  std::vector<size_t> places;
  for (const char* x : {"x1", "x2", "x3", "x4"})
    places.push_back(place_of(model, "a", x));
  for (int i = 1; i <= 9; ++i) {
    if (i == 7) places.push_back(place_of(model, "a", "x5"));
    places.push_back(place_of(model,
                              i == 1 ? "a" : "c" + std::to_string(i - 1),
                              "c" + std::to_string(i)));
  }
  number a, c9;
  ASSERT_TRUE(model.names.find("a", a) && model.names.find("c9", c9));
  const number left[] = {a}, right[] = {c9};
  derivations with(model);
  EXPECT_EQ(with.needed_steps(left, right, places).size(), 9u);
  // Whatever work is allowed, the steps shown are those needed, or none
  // when the trials ran out of work before they could tell.
  for (size_t work = 0; work < 4096; ++work) {
    derivations limited(model, work);
    const size_t shown = limited.needed_steps(left, right, places).size();
    EXPECT_TRUE(shown == 0 || shown == 9u) << work << " units: " << shown;
  }
}

// Out of work, a derivations object gives up rather than answer wrongly:
// no steps, no schema kept, and a suggested schema as it started.
TEST(Repairs, OutOfWorkGivesUp) {
  decomposition d;
  dependency_map map;
  ASSERT_TRUE(read_input("A,B\nB,C\n\nA->B\nB->C\nA->C\nA,D->C\n", d, map));
  const numbered_input model = number_input(d, map);
  derivations with(model, 0);
  EXPECT_TRUE(with.exhausted());
  explain(model, {}, [&](size_t place, const dependency_report& report) {
    const size_t places[] = {0, 1};
    if (report.how == dependency_report::outcome::derived) {
      EXPECT_TRUE(
          with.needed_steps(model.left[place], model.right[place], places)
              .empty());
    }
  });
  number a, b, c;
  ASSERT_TRUE(model.names.find("A", a) && model.names.find("B", b) &&
              model.names.find("C", c));
  const std::vector<number> left = {a}, right = {c}, derived = {a, b};
  with.start_tries(derived);
  EXPECT_FALSE(with.keeps_with(left, right));
  const suggestion found = suggested_schema(with, left, right, derived);
  EXPECT_EQ(found.names.size(), 2u);
  EXPECT_FALSE(found.irreducible);
}

// The examples that showed a step that was not needed, a step that showed
// less than it adds, and a schema larger than needed, as the program
// writes them.
TEST(Repairs, ExplanationText) {
  const struct {
    std::string input, expected;
  } rows[] = {
      {"G,B,A\nG,\xff\nA,\xff,B,F\n\n"
       "G,B->F\nF,G,B->\xff\nA,\xff->F\n\xff->A\nG->B\n",
       "line 5: G,B->F\n"
       "  preserved: derived in 2 steps\n"
       "    line 2: \"G,\\xff\"\n"
       "      adds {\"\\xff\"}\n"
       "    line 3: \"A,\\xff,B,F\"\n"
       "      adds {A, F}\n"},
      {"A,B,C\nB,D\n\nA,E->D\nA->B\nB->C,D\n",
       "line 4: A,E->D\n"
       "  preserved: derived in 2 steps\n"
       "    line 1: A,B,C\n"
       "      adds {B, C}\n"
       "    line 2: B,D\n"
       "      adds {D}\n"},
      {"A,B\n\nA->C\nA,B->C\nB->D\n",
       "line 3: A->C\n"
       "  LOST: the decomposition derives from {A} only {A}\n"
       "    missing: {C}\n"
       "    in no schema: {C}\n"
       "    a schema that would keep it: {A, C}\n"
       "line 4: A,B->C\n"
       "  LOST: the decomposition derives from {A, B} only {A, B}\n"
       "    missing: {C}\n"
       "    in no schema: {C}\n"
       "    a schema that would keep it: {A, C}\n"
       "line 5: B->D\n"
       "  LOST: the decomposition derives from {B} only {B}\n"
       "    missing: {D}\n"
       "    in no schema: {D}\n"
       "    a schema that would keep it: {B, D}\n"
       "\n"
       "to keep every lost dependency, add 2 schemas:\n"
       "  {A, C}\n"
       "    keeps lines 3, 4\n"
       "  {B, D}\n"
       "    keeps line 5\n"},
  };
  for (const auto& row : rows) {
    std::string out;
    write_explanation(read_input_text(row.input, "in"), "in",
                      explanation_format::text,
                      [&](std::string_view piece) { out += piece; },
                      messages(language::english));
    EXPECT_TRUE(out.starts_with(row.expected)) << out;
  }
}

}  // namespace
