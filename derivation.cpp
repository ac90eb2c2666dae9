// The steps of a derivation that an explanation shows: of the names that
// joined the derived set, in order, only those that the right side needs.
#include <algorithm>

#include "byte_order.h"
#include "preservation_test.h"

// Walking the trace backwards, a needed name keeps the step that added it,
// and the names that the step used are needed in turn: the name it is
// linked to, the key of the rule that added it, or the names, derived before
// it or in the left side, from which its closure reached it.
void preservation_test::needed_steps(number dependency, byte_order& names,
                                     dependency_report& report,
                                     const listing& listed) {
  const std::vector<joined>& trace = *trace_;
  in_left_.clear();
  for (number attribute : graph_.left(dependency)) in_left_.mark(attribute);
  needed_.clear();
  for (number attribute : graph_.right(dependency))
    if (!in_left_.marked(attribute)) needed_.mark(attribute);
  joined_indexed_ = false;  // where each name joined: asked only by closures
  kept_.clear();  // by place in the trace
  for (number k = static_cast<number>(trace.size()); k-- > 0;) {
    const joined& step = trace[k];
    if (!needed_.marked(step.attribute)) continue;
    kept_.mark(k);
    if (step.node == kLinked) {
      need(step.cause);
      if (step.under != kNone)
        for (number name : contexts_->names_of(step.under)) need(name);
    } else if (step.node == kThroughLeft) {
      for (number attribute : graph_.left(dependency))
        need(held_of_class(step.schema, attribute));
    } else if (step.node == kNone) {
      for (number attribute : rules_.key(step.cause)) need(attribute);
    } else {
      trace_back(step.node, step.cause, step.schema, k);
    }
  }
  std::vector<dependency_report::step>& steps = report.steps;
  std::vector<number>& added = scratch_;
  added.resize(trace.size());
  size_t count = 0;
  for (number k = 0; k < trace.size(); ++k) {
    if (!kept_.marked(k)) continue;
    if (steps.empty() || steps.back().place != trace[k].schema)
      steps.push_back({trace[k].schema, count, 0, 0});
    added[count++] = trace[k].attribute;
    ++steps.back().added_in_all;
  }
  const name_table& table = graph_.model().names;
  report.added_names.clear();
  for (size_t i = 0; i < steps.size(); ++i) {
    dependency_report::step& step = steps[i];
    const std::span<number> adds(added.data() + step.first_added,
                                 step.added_in_all);
    step.first_added = report.added_names.size();
    step.added_count = listed_step(listed, i, steps.size())
                           ? names.sort(adds, listed.names)
                           : 0;
    for (size_t j = 0; j < step.added_count; ++j)
      report.added_names.push_back(table.name(adds[j]));
  }
}

void preservation_test::need(number attribute) {
  if (!in_left_.marked(attribute)) needed_.mark(attribute);
}

// Needs the names of the part of schema s at step k (names of s derived
// before it, or in the left side) from which node n, the closure of that
// part, reached a name through the closing dependency cause: back through
// the dependency that reached each name in n, until such names. When n has
// been collected, the whole part is needed, which is more than enough.
void preservation_test::trace_back(number n, number cause, number s, number k) {
  if (!joined_indexed_) {
    const std::vector<joined>& trace = *trace_;
    joined_.clear();
    for (number i = 0; i < trace.size(); ++i) {
      joined_.mark(trace[i].attribute);
      joined_at_[trace[i].attribute] = i;
    }
    joined_indexed_ = true;
  }
  const auto in_part = [&](number attribute) {
    return in_left_.marked(attribute) ||
           (joined_.marked(attribute) && joined_at_[attribute] < k);
  };
  if (info_[n].collected) {
    for (number member : graph_.members(s))
      if (in_part(member)) need(member);
    return;
  }
  const watched_dependencies& closing = graph_.closing();
  traced_.clear();
  stack_.clear();
  const auto push = [&](number dependency) {
    for (number attribute : closing.left[dependency])
      if (!traced_.marked(attribute)) {
        traced_.mark(attribute);
        stack_.push_back(attribute);
      }
  };
  if (cause != kNone) push(cause);
  while (!stack_.empty()) {
    const number attribute = stack_.back();
    stack_.pop_back();
    const number* reason = nodes_->cause(n, attribute);
    if ((in_part(attribute) && graph_.holds(s, attribute)) ||
        reason == nullptr || *reason == kNone) {
      need(attribute);
      continue;
    }
    push(*reason);
  }
}
