#include "cases.h"

#include "definition.h"
#include "model.h"
#include "preservation.h"
#include "reading.h"
#include "test_util.h"

namespace {

// A schema as an attribute list.
std::string list_of(const schema& s) {
  std::string text;
  for (auto name = s.begin(); name != s.end(); ++name)
    text += (name == s.begin() ? "" : ",") + *name;
  return text;
}

}  // namespace

schema universe_of(const decomposition& d) {
  schema u;
  for (const schema& s : d) u = u + s;
  return u;
}

// The input file that describes a case, to show a failing case in full.
std::string as_input(const decomposition& d, const dependency_map& map) {
  auto list = [](const schema& s) {
    std::string text;
    for (const std::string& name : s) text += (text.empty() ? "" : ",") + name;
    return text;
  };
  std::string text;
  for (const schema& s : d) text += list(s) + "\n";
  text += "\n";
  for (const auto& [left, right] : map)
    text += list(left) + "->" + list(right) + "\n";
  return text;
}

// Checks every report of explain() with the checker written from the
// definition, and its verdict against keep()'s.
void expect_explained(const decomposition& d, const dependency_map& map) {
  auto entry = map.begin();
  const bool preserving =
      explain(d, map, {}, [&](size_t, const dependency_report& report) {
        const auto& [left, right] = *entry++;
        EXPECT_EQ(explanation_fault(d, map, left, right, report), "")
            << render(left) << "->" << render(right);
      });
  EXPECT_EQ(preserving, keep(universe_of(d), d, map));
}

// The input file of a case with its lines shuffled within their sections.
// A schema of the empty name alone would be an empty line, which ends the
// schemas: it is left out.
std::string shuffled_input(const decomposition& d, const dependency_map& map,
                           std::mt19937_64& random) {
  std::vector<std::string> schemas, dependencies;
  for (const schema& s : d)
    if (!list_of(s).empty()) schemas.push_back(list_of(s));
  for (const auto& [left, right] : map)
    dependencies.push_back(list_of(left) + "->" + list_of(right));
  std::shuffle(schemas.begin(), schemas.end(), random);
  std::shuffle(dependencies.begin(), dependencies.end(), random);
  std::string result;
  for (const std::string& line : schemas) result += line + "\n";
  result += "\n";
  for (const std::string& line : dependencies) result += line + "\n";
  return result;
}

// Tests input as the run does, in the order of its lines: the verdict, and
// each dependency's outcome in the explanation, against the passes of the
// textbook test, and each report with the checker written from the
// definition.
void expect_in_line_order(const std::string& input) {
  decomposition d;
  dependency_map map;
  ASSERT_TRUE(read_input(input, d, map));
  const ::input in = read_input_text(input, "in");
  // The place in d of each schema of the model, which keeps the lines'
  // order.
  std::vector<size_t> place_in_d;
  for (size_t p = 0; p < in.model.schemas.size(); ++p)
    place_in_d.push_back(static_cast<size_t>(std::distance(
        d.begin(), d.find(schema_of(in.model, in.model.schemas[p])))));
  bool preserved = true;
  explain(in.model, {}, [&](size_t place, dependency_report report) {
    const schema left = schema_of(in.model, in.model.left[place]);
    const schema right = schema_of(in.model, in.model.right[place]);
    const bool kept = derived_by_passes(d, map, left).contains(right);
    preserved = preserved && kept;
    EXPECT_EQ(report.how != dependency_report::outcome::lost, kept)
        << render(left) << "->" << render(right);
    if (report.how == dependency_report::outcome::inside_one_schema)
      report.place = place_in_d[report.place];
    for (dependency_report::step& step : report.steps)
      step.place = place_in_d[step.place];
    EXPECT_EQ(explanation_fault(d, map, left, right, report), "")
        << render(left) << "->" << render(right);
  });
  EXPECT_EQ(preserves(in.model), preserved);
}

// Reads input and checks what explain() reports of it, as expect_explained.
void expect_explained(const std::string& input) {
  SCOPED_TRACE(input);
  decomposition d;
  dependency_map map;
  ASSERT_TRUE(read_input(input, d, map));
  expect_explained(d, map);
}
