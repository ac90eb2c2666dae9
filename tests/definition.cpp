#include "definition.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

// Sets of names as bit masks over the names of one case.
using mask = uint64_t;
struct bit_rule {
  mask left, right;
};

mask naive_closure(mask start, const std::vector<bit_rule>& rules) {
  mask closed = start;
  for (bool grew = true; grew;) {
    grew = false;
    for (const bit_rule& r : rules)
      if ((r.left & ~closed) == 0 && (r.right & ~closed) != 0) {
        closed |= r.right;
        grew = true;
      }
  }
  return closed;
}

}  // namespace

schema closure_by_definition(const dependency_map& dependencies,
                             const schema& start) {
  schema closed = start;
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [left, right] : dependencies)
      if (closed.contains(left) && !closed.contains(right)) {
        closed = closed + right;
        grew = true;
      }
  }
  return closed;
}

std::optional<bool> preserved_by_definition(
    const decomposition& schemas, const dependency_map& dependencies) {
  std::map<std::string, int> bits;
  auto to_mask = [&](const schema& s) {
    mask m = 0;
    for (const std::string& name : s) {
      const int bit =
          bits.emplace(name, static_cast<int>(bits.size())).first->second;
      if (bit < 64) m |= mask{1} << bit;
    }
    return m;
  };
  std::vector<bit_rule> rules;
  for (const auto& [left, right] : dependencies)
    rules.push_back({to_mask(left), to_mask(right)});
  std::vector<mask> parts;
  for (const schema& s : schemas) {
    if (s.size() > 12) return std::nullopt;
    parts.push_back(to_mask(s));
  }
  if (bits.size() > 64) return std::nullopt;

  std::vector<bit_rule> projected;
  for (mask part : parts)
    for (mask subset = part;; subset = (subset - 1) & part) {
      projected.push_back({subset, naive_closure(subset, rules) & part});
      if (subset == 0) break;
    }
  for (const bit_rule& r : rules)
    if ((r.right & ~naive_closure(r.left, projected)) != 0) return false;
  return true;
}

schema derived_by_passes(const decomposition& schemas,
                         const dependency_map& dependencies,
                         const schema& left) {
  schema derived = left, before;
  do {  // at least one pass: an empty left side can grow too
    before = derived;
    for (const schema& s : schemas)
      derived = derived + closure_by_definition(dependencies, derived * s) * s;
  } while (derived != before);
  return derived;
}

bool preserved_by_passes(const decomposition& schemas,
                         const dependency_map& dependencies) {
  for (const auto& [left, right] : dependencies)
    if (!derived_by_passes(schemas, dependencies, left).contains(right))
      return false;
  return true;
}

std::string explanation_fault(const decomposition& schemas,
                              const dependency_map& dependencies,
                              const schema& left, const schema& right,
                              const dependency_report& report) {
  using outcome = dependency_report::outcome;
  const std::vector<schema> by_place(schemas.begin(), schemas.end());
  switch (report.how) {
    case outcome::within_left_side:
      return left.contains(right) ? "" : "right side not within left side";
    case outcome::inside_one_schema:
      return report.place < by_place.size() &&
                     by_place[report.place].contains(left + right)
                 ? ""
                 : "no schema holds both sides";
    case outcome::derived: {
      schema derived = left;
      for (const dependency_report::step& step : report.steps) {
        if (step.place >= by_place.size()) return "no such schema";
        const schema& s = by_place[step.place];
        const std::span<const std::string_view> names = report.added(step);
        schema added;
        for (std::string_view name : names) added.emplace(name);
        if (!std::is_sorted(names.begin(), names.end()) ||
            added.size() != names.size())
          return "a step's names are not in order";
        if (!(closure_by_definition(dependencies, derived * s) * s)
                 .contains(added))
          return "a step adds what its schema does not give";
        if (added.empty() || !(added * derived).empty())
          return "a step adds nothing new";
        derived = derived + added;
      }
      return derived.contains(right) ? "" : "the steps miss the right side";
    }
    case outcome::lost: {
      schema derived, missing;
      for (std::string_view name : report.derived) derived.emplace(name);
      for (std::string_view name : report.missing) missing.emplace(name);
      if (!std::is_sorted(report.derived.begin(), report.derived.end()) ||
          derived.size() != report.derived.size() ||
          !std::is_sorted(report.missing.begin(), report.missing.end()) ||
          missing.size() != report.missing.size())
        return "names not in order";
      if (derived != derived_by_passes(schemas, dependencies, left))
        return "wrong derived set";
      if (missing != right - derived || missing.empty())
        return "wrong missing names";
      decomposition kept = schemas;
      kept.insert(left + missing);
      return derived_by_passes(kept, dependencies, left).contains(right)
                 ? ""
                 : "the suggested schema does not keep it";
    }
  }
  return "no outcome";
}

bool read_input(std::string_view input, decomposition& schemas,
                dependency_map& dependencies) {
  bool in_schemas = true;
  while (!input.empty()) {
    const size_t feed = input.find('\n');
    const std::string_view line = input.substr(0, feed);
    input.remove_prefix(feed == std::string_view::npos ? input.size()
                                                       : feed + 1);
    if (line.empty()) {
      in_schemas = false;
    } else if (in_schemas) {
      schemas.emplace(line);
    } else {
      const size_t arrow = line.find("->");
      if (arrow == std::string_view::npos) return false;
      dependencies.insert_or_assign(schema(line.substr(0, arrow)),
                                    schema(line.substr(arrow + 2)));
    }
  }
  return true;
}

std::optional<bool> verdict_by_definition(std::string_view input) {
  decomposition schemas;
  dependency_map dependencies;
  if (!read_input(input, schemas, dependencies)) return std::nullopt;
  return preserved_by_definition(schemas, dependencies);
}
