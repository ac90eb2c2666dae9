#include "preservation.h"

#include <algorithm>
#include <bit>

#include "preservation_test.h"

bool preserves(const numbered_input& model) {
  work_count work;
  return preserves(model, work);
}

// Tests the dependencies in three rounds: the first decides what the rules
// alone decide; the second what takes at most a few times the input's size;
// the third the rest. So the dependencies found preserved in the cheaper
// rounds are rules when the expensive tests come, and what a test that ran
// out spent is at most its round's budget.
bool preserves(const numbered_input& model, work_count& work) {
  if (model.dependency_count() == 0) return true;
  const dependency_graph graph(model);
  preservation_test test(graph, work);
  std::vector<number> pending(model.dependency_count()), later;
  for (number d = 0; d < pending.size(); ++d) pending[d] = d;
  const uint64_t budgets[] = {0, 4 * graph.size() + 1024, UINT64_MAX};
  for (uint64_t budget : budgets) {
    later.clear();
    for (number d : pending) {
      const preservation_test::result r = test.test(d, nullptr, budget);
      if (r == preservation_test::result::lost) return false;
      if (r == preservation_test::result::unknown) later.push_back(d);
    }
    pending.swap(later);
  }
  return true;
}

namespace {

// Lists names of a model in ascending byte order, through the place of
// each name in that order, found once.
class byte_order {
 public:
  explicit byte_order(const name_table& names) : names_(names) {
    by_bytes_.resize(names.size());
    for (number a = 0; a < by_bytes_.size(); ++a) by_bytes_[a] = a;
    std::sort(by_bytes_.begin(), by_bytes_.end(), [&](number a, number b) {
      return names.name(a) < names.name(b);
    });
    place_.resize(names.size());
    for (number i = 0; i < by_bytes_.size(); ++i) place_[by_bytes_[i]] = i;
  }

  // Sets list to the names of set, in ascending byte order: sorted by place,
  // or by a walk of every name when that is cheaper.
  void list(const stamped_set& set, std::vector<std::string_view>& list) {
    list.clear();
    const std::span<const number> members = set.members();
    if (members.size() * std::bit_width(members.size()) < by_bytes_.size()) {
      scratch_.assign(members.begin(), members.end());
      std::sort(scratch_.begin(), scratch_.end(),
                [&](number a, number b) { return place_[a] < place_[b]; });
      for (number a : scratch_) list.push_back(names_.name(a));
    } else {
      for (number a : by_bytes_)
        if (set.contains(a)) list.push_back(names_.name(a));
    }
  }

 private:
  const name_table& names_;
  std::vector<number> by_bytes_, place_, scratch_;
};

}  // namespace

bool explain(
    const numbered_input& model, const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report) {
  work_count work;
  return explain(model, order, report, work);
}

bool explain(
    const numbered_input& model, const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report,
    work_count& work) {
  if (model.dependency_count() == 0) return true;
  const dependency_graph graph(model);
  preservation_test test(graph, work);
  byte_order names(model.names);
  stamped_set missing(model.names.size());
  std::vector<preservation_test::joined> trace;
  bool preserving = true;
  using outcome = dependency_report::outcome;
  for (size_t i = 0; i < model.dependency_count(); ++i) {
    const number d = static_cast<number>(order.empty() ? i : order[i]);
    trace.clear();
    dependency_report r;
    switch (test.test(d, &trace)) {
      case preservation_test::result::within_left_side:
        r.how = outcome::within_left_side;
        break;
      case preservation_test::result::inside_one_schema:
        r.how = outcome::inside_one_schema;
        r.place = test.holder();
        break;
      case preservation_test::result::derived:
        r.how = outcome::derived;
        test.needed_steps(d, r);
        break;
      case preservation_test::result::lost:
      case preservation_test::result::unknown:
        r.how = outcome::lost;
        preserving = false;
        names.list(test.derived(), r.derived);
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
