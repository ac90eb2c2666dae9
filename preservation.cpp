#include "preservation.h"

#include <utility>
#include <vector>

#include "byte_order.h"
#include "preservation_test.h"

namespace {

// How many times a test may ask for others to be tested first: each time,
// some are tested that were not, so a test is repeated at most this often.
constexpr int kAsks = 2;

// Tests dependency, untraced, and before it, the dependencies its test asks
// for, depth first. Calls lost(d) for each dependency found lost, until it
// returns false, and then returns false.
template <typename Lost>
bool test_asking_first(preservation_test& test, number dependency,
                       std::vector<std::pair<number, int>>& stack,
                       Lost lost) {
  stack.assign(1, {dependency, 0});
  while (!stack.empty()) {
    auto& [d, asked] = stack.back();
    const preservation_test::result r = test.test(d, nullptr, asked++ < kAsks);
    if (r == preservation_test::result::first) {
      for (number other : test.first()) stack.push_back({other, 0});
      continue;
    }
    const number done = d;
    stack.pop_back();
    if (r == preservation_test::result::lost && !lost(done)) return false;
  }
  return true;
}

}  // namespace

bool preserves(const numbered_input& model) {
  work_count work;
  return preserves(model, work);
}

// Tests the dependencies in order, each after those it asks for: when the
// rules do not decide a test, and the closure of its derived set applies
// dependencies not tested yet, those are tested first, so that the ones
// found preserved are rules when it is tested again. A dependency whose
// derivation leads through others is thus tested after them, whatever the
// order of the lines, and each test is repeated at most twice.
bool preserves(const numbered_input& model, work_count& work) {
  if (model.dependency_count() == 0) return true;
  const dependency_graph graph(model);
  preservation_test test(graph, work);
  std::vector<std::pair<number, int>> stack;
  for (number d = 0; d < model.dependency_count(); ++d)
    if (!test.tested(d) &&
        !test_asking_first(test, d, stack, [](number) { return false; }))
      return false;
  return true;
}


bool explain(
    const numbered_input& model, const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report,
    const listing& listed) {
  work_count work;
  return explain(model, order, report, work, listed);
}

bool explain(
    const numbered_input& model, const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report,
    work_count& work, const listing& listed) {
  if (model.dependency_count() == 0) return true;
  const dependency_graph graph(model);
  preservation_test test(graph, work);
  byte_order names(model.names);
  stamped_set missing(model.names.size());
  std::vector<preservation_test::joined> trace;
  bool preserving = true;
  std::vector<std::pair<number, int>> stack;
  std::vector<number> asked;
  // One report for all: a derivation of thousands of steps would otherwise
  // take fresh memory, page by page, for every dependency.
  dependency_report r;
  using outcome = dependency_report::outcome;
  for (size_t i = 0; i < model.dependency_count(); ++i) {
    const number d = static_cast<number>(order.empty() ? i : order[i]);
    trace.clear();
    preservation_test::result how = test.test(d, &trace, true);
    if (how == preservation_test::result::first) {
      // The dependencies it asks for are tested first, untraced, so that
      // what their closures reach is learned; then it is, traced. Their
      // tests ask in turn, so the list is copied first.
      asked.assign(test.first().begin(), test.first().end());
      for (number other : asked)
        test_asking_first(test, other, stack, [](number) { return true; });
      trace.clear();
      how = test.test(d, &trace);
    }
    r.clear();
    switch (how) {
      case preservation_test::result::within_left_side:
        r.how = outcome::within_left_side;
        break;
      case preservation_test::result::inside_one_schema:
        r.how = outcome::inside_one_schema;
        r.place = test.holder();
        break;
      case preservation_test::result::derived:
        r.how = outcome::derived;
        test.needed_steps(d, names, r, listed);
        break;
      case preservation_test::result::lost:
      case preservation_test::result::first:
        r.how = outcome::lost;
        preserving = false;
        names.list(test.derived(), r.derived, listed.names);
        test.derived().ascending(r.derived_numbers);
        missing.clear();
        for (number attribute : model.right[d])
          if (!test.derived().contains(attribute)) missing.insert(attribute);
        names.list(missing, r.missing);
        break;
    }
    report(d, r);
  }
  return preserving;
}

bool explain(
    const decomposition& schemas, const dependency_map& dependencies,
    const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report) {
  return explain(number_input(schemas, dependencies), order, report);
}
