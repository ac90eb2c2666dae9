// The explanation: how names are shown, what each outcome reads like, the
// JSON, and the fdkeep-explain program beside fdkeep.
#include "explain.h"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "byte_order.h"
#include "gtest/gtest.h"
#include "json_check.h"
#include "shape_input.h"
#include "shapes.h"
#include "test_util.h"

namespace {

using namespace std::string_literals;

const std::string kYes = "f\u00fcgg\u0151s\u00e9g\u00f6rz\u0151\n";  // UTF-8

std::string explained(const std::string& text, explanation_format format) {
  std::string out;
  write_explanation(read_input_text(text, "in"), "in", format,
                    [&](std::string_view piece) { out += piece; },
                    messages(language::english));
  return out;
}

TEST(Explanation, TextOfEachOutcome) {
  const std::string input =
      "A,B\nB,C\nC,D\n y,\n\n"
      "A->B\nB->C\nC->D\nB,x->D\n->\n y->\nD->A,z\nA,B->C\n";
  EXPECT_EQ(explained(input, explanation_format::text),
            "line 6: A->B\n"
            "  preserved: both sides lie in one schema, line 1: A,B\n"
            "line 7: B->C\n"
            "  preserved: both sides lie in one schema, line 2: B,C\n"
            "line 8: C->D\n"
            "  preserved: both sides lie in one schema, line 3: C,D\n"
            "line 9: B,x->D\n"
            "  preserved: derived in 2 steps\n"
            "    line 2: B,C\n"
            "      adds {C}\n"
            "    line 3: C,D\n"
            "      adds {D}\n"
            "line 10: ->\n"
            "  preserved: its right side lies within its left side\n"
            "line 11: \" y->\"\n"
            "  preserved: both sides lie in one schema, line 4: \" y,\"\n"
            "line 12: D->A,z\n"
            "  LOST: the decomposition derives from {D} only {A, B, C, D}\n"
            "    missing: {z}\n"
            "    in no schema: {z}\n"
            "    a schema that would keep it: {D, z}\n"
            "line 13: A,B->C\n"
            "  preserved: derived in 1 step\n"
            "    line 2: B,C\n"
            "      adds {C}\n"
            "\nto keep every lost dependency, add 1 schema:\n"
            "  {D, z}\n"
            "    keeps line 12\n"
            "\n8 dependencies, 1 lost: nem " +
                kYes);
  EXPECT_EQ(explained("A\n", explanation_format::text),
            "0 dependencies, none lost: " + kYes);
}

TEST(Explanation, JsonKeepsNamesByteForByte) {
  const std::string json = explained(
      "v\xe1ros,\x01,a\"b\n\nv\xe1ros->\x01,a\"b\n", explanation_format::json);
  EXPECT_TRUE(well_formed_json(json)) << json;
  EXPECT_EQ(json,
            "{\"input\": \"in\", \"results\": [\n"
            "{\"line\": 3, \"text\": {\"hex\": \"76e1726f732d3e012c612262\"}, "
            "\"left\": [{\"hex\": \"76e1726f73\"}], "
            "\"right\": [\"\\u0001\", \"a\\\"b\"], "
            "\"preserved\": true, \"how\": \"one_schema\", \"schema\": "
            "{\"line\": 1, \"text\": {\"hex\": \"76e1726f732c012c612262\"}}}\n"
            "], \"repair\": [], \"dependencies\": 1, \"lost\": 0, "
            "\"preserved\": true, "
            "\"verdict\": \"" +
                kYes.substr(0, kYes.size() - 1) + "\"}\n");
}

// The repair of the whole decomposition: each schema and the lines of the
// lost dependencies it keeps.
TEST(Explanation, JsonRepair) {
  const std::string json = explained("A,B\n\nA->C\nA,B->C\nB->\xff\n",
                                     explanation_format::json);
  EXPECT_TRUE(well_formed_json(json)) << json;
  EXPECT_NE(json.find("\"suggested_schema\": [\"A\", \"C\"]}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\n], \"repair\": [{\"schema\": [\"A\", \"C\"], "
                      "\"keeps\": [3, 4]}, {\"schema\": [\"B\", "
                      "{\"hex\": \"ff\"}], \"keeps\": [5]}], "
                      "\"dependencies\": 3, \"lost\": 3, "),
            std::string::npos)
      << json;
}

// Once the work that all share is spent, derivations are shown as the
// test traced them, and the JSON marks each such derivation as the text
// does.
TEST(Explanation, MarksDerivationsAsTracedInTextAndJson) {
  const hostile_shape* shape = shape_named("cycle under a name");
  ASSERT_NE(shape, nullptr);
  const std::string input = make_shape(*shape, 25'000, false, 1);
  const auto count = [](const std::string& text, const std::string& mark) {
    size_t n = 0;
    for (size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + 1))
      ++n;
    return n;
  };
  const std::string json = explained(input, explanation_format::json);
  EXPECT_TRUE(well_formed_json(json));
  const size_t traced = count(json, "\"steps_as_traced\": true");
  EXPECT_GT(traced, 0u);
  EXPECT_EQ(count(explained(input, explanation_format::text), ", as traced\n"),
            traced);
}

// One report serves every dependency in turn, so a long derivation or a
// large lost set must not show up in the next one's report: each holds
// only the lists of its own outcome. Every hostile shape mixes outcomes
// in shuffled order, kept and lost.
TEST(Explanation, EachReportHoldsOnlyTheListsOfItsOutcome) {
  using outcome = dependency_report::outcome;
  size_t derived = 0, lost_count = 0;
  for (const hostile_shape& shape : hostile_shapes())
    for (const bool lost : {false, true}) {
      SCOPED_TRACE(std::string(shape.name) + (lost ? ", lost" : ""));
      const input in = read_input_text(make_shape(shape, 4'000, lost, 3), "in");
      explain(in.model, {}, [&](size_t, const dependency_report& r) {
        const bool shows_steps = r.how == outcome::derived;
        const bool shows_sets = r.how == outcome::lost;
        derived += shows_steps;
        lost_count += shows_sets;
        EXPECT_EQ(r.steps.empty(), !shows_steps);
        EXPECT_EQ(r.added_names.empty(), !shows_steps);
        EXPECT_EQ(r.derived.empty(), !shows_sets);
        EXPECT_EQ(r.derived_numbers.empty(), !shows_sets);
        if (!shows_sets) {
          EXPECT_TRUE(r.missing.empty());
        }
        if (r.how != outcome::inside_one_schema) {
          EXPECT_EQ(r.place, 0u);
        }
      });
    }
  EXPECT_GT(derived, 100u);
  EXPECT_GT(lost_count, 100u);
}

// The explanations of the first lines may spend the work that all share;
// each lost dependency still has work of its own, enough to shrink a schema
// of a few names. A schema whose search could not end says so.
TEST(Explanation, EachLostDependencyShrinksItsSchemaWithWorkOfItsOwn) {
  // No schema, so every dependency is lost: forty names of a pool of a
  // hundred, drawn apart, give one more.
  std::string spending = "\n";
  std::mt19937 random(20261210);
  for (int line = 0; line < 40; ++line) {
    std::vector<int> pool(100);
    std::iota(pool.begin(), pool.end(), 0);
    for (int i = 0; i < 40; ++i) {
      std::swap(pool[i], pool[i + random() % (100 - i)]);
      spending += "p" + std::to_string(pool[i]) + (i < 39 ? "," : "->");
    }
    spending += "p" + std::to_string(pool[40]) + "\n";
  }
  EXPECT_NE(explained(spending + "b->c\na,b->c\n", explanation_format::text)
                .find("line 43: a,b->c\n"
                      "  LOST: the decomposition derives from {a, b} only "
                      "{a, b}\n"
                      "    missing: {c}\n"
                      "    in no schema: {c}\n"
                      "    a schema that would keep it: {b, c}\n"),
            std::string::npos);

  // Every name is needed, and 151 take more tries than a search is given.
  const std::string cut = "\na->" + hostile::run_of("m", 0, 149) + "\n";
  EXPECT_NE(explained(cut, explanation_format::text)
                .find("    a schema that would keep it, perhaps with names "
                      "it does not need: {a, m0, m1, m10, "),
            std::string::npos);
  const std::string json = explained(cut, explanation_format::json);
  EXPECT_TRUE(well_formed_json(json)) << json;
  EXPECT_NE(json.find("\"m99\"], \"suggested_schema_unfinished\": true}"),
            std::string::npos)
      << json;
  EXPECT_EQ(explained("\na->" + hostile::run_of("m", 0, 99) + "\n",
                      explanation_format::json)
                .find("unfinished"),
            std::string::npos);
}

// a12->b,a0 is traced along the chain's links to a0, and b then from
// {a1,a2,b}, which the trace passed on its way: replayed whole, that
// earlier step gives b, and the later one, which would add nothing, is not
// shown, though the 13 steps outrun the trials of each step.
TEST(Explanation, ShowsNoStepThatAddsNothing) {
  std::string schemas, dependencies;
  for (int i = 0; i < 12; ++i) {
    const std::string a = "a" + std::to_string(i),
                      next = "a" + std::to_string(i + 1);
    schemas += a + "," + next + (i == 1 ? ",b\n" : "\n");
    dependencies += a + "->" + next + "\n";
  }
  const std::string text =
      explained(schemas + "\n" + dependencies + "a12->b,a0\n",
                explanation_format::text);
  EXPECT_NE(text.find("a12->b,a0\n  preserved: derived in 12 steps\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("adds {}"), std::string::npos) << text;
}

// The closure of {a, y} in the first schema reaches e, which it does not
// hold, and c, which does not lead to e: the derived set of the lost
// dependency shows c all the same.
TEST(Explanation, ALostDependencyShowsNamesThatDoNotLeadToItsRightSide) {
  const std::string text = explained("a,c,y\nb,d\ne\n\na->b\nb->c\na,y->e\n",
                                     explanation_format::text);
  EXPECT_NE(text.find("a,y->e\n  LOST: the decomposition derives from {a, y} "
                      "only {a, c, y}\n"),
            std::string::npos)
      << text;
}

// An explanation stays short whatever the input: a long cited line shows
// its start, a long list its first names, a long derivation its first and
// last steps, each saying how much is left out.
TEST(Explanation, LongPiecesAreCut) {
  std::string schemas = "b", dependencies = "c0,z->c300\nb->a1\nc0,a1->zz\n";
  for (int i = 1; i < 300; ++i) schemas += ",a" + std::to_string(i);
  for (int i = 0; i < 300; ++i) {  // a chain of 300 schemas
    const std::string here = "c" + std::to_string(i),
                      next = "c" + std::to_string(i + 1);
    schemas += "\n" + here + "," + next;
    dependencies += here + "->" + next + "\n";
  }
  const std::string input = schemas + "\n\n" + dependencies;

  const std::string text = explained(input, explanation_format::text);
  for (const char* cut : {"derived in 300 steps", "\u2026 280 steps left out",
                          ",a41, \u2026 1231 more bytes", ", \u2026 102 more}"})
    EXPECT_NE(text.find(cut), std::string::npos) << cut;
  EXPECT_LT(text.size(), 100000u);

  const std::string json = explained(input, explanation_format::json);
  EXPECT_TRUE(well_formed_json(json));
  for (const char* cut : {"\"steps_left_out\": 280", "\"text_left_out\": 1231",
                          "\"derived_left_out\": 102"})
    EXPECT_NE(json.find(cut), std::string::npos) << cut;
}

// Names are listed in the order of their bytes, not of their numbers, both
// when a few are sorted and when all are picked from the whole order.
TEST(Explanation, ListsNamesInByteOrder) {
  name_table names;
  for (const char* name : {"b", "a", "\xc3\xa9", "B", "", "ab", "a ", "\x01"})
    names.add(name);
  byte_order order(names);
  for (const std::vector<number>& subset :
       {std::vector<number>{0, 1}, {2, 4, 5}, {0, 1, 2, 3, 4, 5, 6, 7}}) {
    std::vector<std::string> expected;
    for (number a : subset) expected.emplace_back(names.name(a));
    std::sort(expected.begin(), expected.end());
    stamped_set set(names.size());
    for (number a : subset) set.insert(a);
    // All of them, or the first few: by a walk of every name or a sort.
    for (size_t most : {SIZE_MAX, size_t{2}, size_t{1}, size_t{0}}) {
      std::vector<std::string_view> listed;
      order.list(set, listed, most);
      const size_t count = std::min(most, expected.size());
      const std::vector<std::string> want(expected.begin(),
                                          expected.begin() + count);
      EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()), want);
      std::vector<number> first = subset;
      ASSERT_EQ(order.sort(first, most), count);
      std::vector<std::string> sorted_first;
      for (size_t i = 0; i < count; ++i)
        sorted_first.emplace_back(names.name(first[i]));
      EXPECT_EQ(sorted_first, want);
    }
  }
}

// A step that adds many names lists the first few asked for, or none when
// the step is not listed, and says how many it adds in all.
TEST(Explanation, ListsTheFirstNamesOfALongStep) {
  const ::input in = read_input_text(
      "k,j,i,h,g,f,e,d,c,b,a\na,z\n\nj->i\ni->h\nh->g\ng->f\nf->e\ne->d\n"
      "d->c\nc->b\nb->a\na->z\nj,k->z\n", "in");
  std::vector<std::vector<std::string>> listed;
  for (const listing& most : {listing{}, listing{.names = 3},
                              listing{.names = 3, .steps = 0}})
    explain(in.model, {}, [&](size_t place, const dependency_report& report) {
      if (place != 10) return;
      ASSERT_EQ(report.steps.size(), 2u);
      EXPECT_EQ(report.steps[0].added_in_all, 9u);
      const auto names = report.added(report.steps[0]);
      listed.emplace_back(names.begin(), names.end());
    }, most);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0], (std::vector<std::string>{"a", "b", "c", "d", "e", "f",
                                                 "g", "h", "i"}));
  EXPECT_EQ(listed[1], (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(listed[2].empty());
}

// The program, from the command line: statuses, output and messages.
TEST(ExplainProgram, CommandLine) {
  scratch_dir dir;
  write_file(dir / "lost", "A,D\nB,D\n\nA,B->D\nD->B\n");
  write_file(dir / "kept", "A,B\n\nA->B\n");
  write_file(dir / "bad", "A\n\nA->B\nAB\n");
  const std::string usage = "usage: fdkeep-explain [--json] [--quiet] INPUT\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out_end, err;
  } rows[] = {
      {{dir / "kept"}, 0, "none lost: " + kYes, ""},
      {{dir / "lost"}, 1, "1 lost: nem " + kYes, ""},
      {{"--quiet", dir / "lost"}, 1, "", ""},
      {{"--json", "--", dir / "kept"},
       0,
       "\"preserved\": true, \"verdict\": \"" +
           kYes.substr(0, kYes.size() - 1) + "\"}\n",
       ""},
      {{dir / "bad"},
       2,
       "",
       "fdkeep-explain: " + dir / "bad" + ":4: dependency has no \"->\"\n"},
      {{dir / "missing"},
       2,
       "",
       "fdkeep-explain: cannot open input file '" + dir / "missing" +
           "': No such file or directory\n"},
      {{}, 2, "", usage},
      {{dir / "kept", dir / "lost"}, 2, "", usage},
      {{"--jsn", dir / "kept"}, 2, "", usage},
      {{"--version"}, 0, "fdkeep-explain " FDKEEP_VERSION "\n", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    const outcome run = run_program(FDKEEP_EXPLAIN_BINARY, row.args, {}, dir);
    EXPECT_EQ(run.status, row.status);
    EXPECT_TRUE(run.out.ends_with(row.out_end)) << run.out;
    EXPECT_EQ(run.out.empty(), row.out_end.empty()) << run.out;
    EXPECT_EQ(run.err, row.err);
  }

  const outcome piped =
      run_program(FDKEEP_EXPLAIN_BINARY, {"-"}, {}, dir, dir / "lost");
  EXPECT_EQ(piped.status, 1);
  EXPECT_EQ(piped.out,
            run_program(FDKEEP_EXPLAIN_BINARY, {dir / "lost"}, {}, dir).out);
}

TEST(ExplainProgram, OutputThatCannotBeWrittenIsAFailure) {
  scratch_dir dir;
  write_file(dir / "in", "A,B\n\nA->B\n");
  const std::string command = std::string(FDKEEP_EXPLAIN_BINARY) + " " +
                              (dir / "in") + " >/dev/full 2>" + (dir / "err");
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
  EXPECT_EQ(read_file(dir / "err"),
            "fdkeep-explain: cannot write standard output: No space left on "
            "device\n");
}

// fdkeep-explain's verdict is fdkeep's on every shipped example and every
// input of the fuzz corpus, and both reject the same inputs.
TEST(ExplainProgram, VerdictIsFdkeeps) {
  scratch_dir dir;
  int inputs = 0;
  for (const char* folder : {FDKEEP_EXAMPLES_DIR, FDKEEP_CORPUS_DIR})
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() == ".out") continue;
      const std::string input = entry.path().string();
      SCOPED_TRACE(input);
      ++inputs;
      const outcome tool = run_tool({input, dir / "out"}, dir);
      const outcome explained =
          run_program(FDKEEP_EXPLAIN_BINARY, {"--quiet", input}, {}, dir);
      if (tool.status != 0) {  // a line without "->"
        EXPECT_EQ(explained.status, 2);
        continue;
      }
      const bool lost =
          read_file(dir / "out")
              .ends_with(
                  "nem \x66\xFC\x67\x67\xF5\x73\xE9\x67\xF6\x72\x7A\xF5\n");
      EXPECT_EQ(explained.status, lost ? 1 : 0);
    }
  EXPECT_GE(inputs, 10);
}

}  // namespace
