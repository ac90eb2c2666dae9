// Closures and steps from the model alone (see derived.h): a closure by
// counting, per dependency, the names of its left side not reached yet, and
// replays of steps that reuse it. O(reached) per closure, stamped working
// sets, so that nothing costs the size of the input.
#include "derived.h"

#include <algorithm>

derivations::derivations(const numbered_input& model)
    : derivations(model, kWorkBase + kWorkPerValue *
                                         (model.names.size() +
                                          model.schemas.value_count() +
                                          model.left.value_count() +
                                          model.right.value_count())) {}

derivations::derivations(const numbered_input& model, size_t work)
    : model_(model),
      uses_(model.left.inverted(model.names.size())),
      holders_(model.schemas.inverted(model.names.size())),
      reached_(model.names.size()),
      derived_(model.names.size()),
      trial_(model.names.size()),
      tried_(model.names.size()),
      counted_(model.dependency_count()),
      queued_(model.schemas.size() + 1),
      marked_(model.names.size()),
      wanted_(model.names.size()),
      unmet_(model.dependency_count()),
      work_left_(work) {}

bool derivations::spend(size_t work) {
  if (work >= work_left_) {
    work_left_ = 0;
    return false;
  }
  work_left_ -= work;
  return true;
}

void derivations::close(std::span<const number> start, size_t wanted) {
  reached_.clear();
  counted_.clear();
  queue_.clear();
  for (number attribute : start)
    if (reached_.insert(attribute)) queue_.push_back(attribute);
  while (!queue_.empty() && wanted > 0) {
    const number attribute = queue_.back();
    queue_.pop_back();
    if (!spend(1 + uses_[attribute].size())) return;
    for (number dependency : uses_[attribute]) {
      if (!counted_.marked(dependency)) {
        counted_.mark(dependency);
        unmet_[dependency] = static_cast<number>(model_.left[dependency].size());
      }
      if (--unmet_[dependency] > 0) continue;
      for (number reached : model_.right[dependency])
        if (reached_.insert(reached)) {
          queue_.push_back(reached);
          wanted -= wanted_.marked(reached);
        }
      if (wanted == 0) return;
    }
  }
}

size_t derivations::step(std::span<const number> names, stamped_set& set,
                         std::vector<number>* fresh) {
  if (!spend(names.size())) return 0;
  part_.clear();
  wanted_.clear();
  for (number attribute : names)
    if (set.contains(attribute)) {
      part_.push_back(attribute);
    } else {
      wanted_.mark(attribute);
    }
  // Every left side holds a name, and a step that could add nothing needs no
  // closure.
  if (part_.empty() || part_.size() == names.size()) return 0;
  close(part_, names.size() - part_.size());
  size_t added = 0;
  for (number attribute : names)
    if (reached_.contains(attribute) && set.insert(attribute)) {
      ++added;
      if (fresh) fresh->push_back(attribute);
    }
  return added;
}

bool derivations::holds_all(const stamped_set& set,
                            std::span<const number> names) const {
  return std::all_of(names.begin(), names.end(),
                     [&](number attribute) { return set.contains(attribute); });
}

// One pass of dropping steps of all, for needed_steps: derived_ holds what
// the kept steps before step i derive. The trial replays the steps after i
// from there; once it derives as much as the sequence with step i did, the
// rest goes as before. A step that alone adds a name of the right side
// that no later step's schema holds is kept without a trial. Once the
// trials' bound is spent, the steps left are kept untried, but a step that
// adds nothing, as one after a dropped step can, still goes. Once the work
// runs out, steps cut short add less, so that every step is kept. True
// when every kept step was tried.
bool derivations::drop_steps(const derivation_steps& all,
                             std::span<const number> left,
                             std::span<const number> right,
                             std::vector<size_t>& kept,
                             std::vector<size_t>& sizes, bool& dropped) {
  std::vector<size_t> trial_sizes;
  derived_.clear();
  for (number attribute : left) derived_.insert(attribute);
  size_t budget = kTrialSteps + kept.size() / 2;
  bool tried_all = true;
  for (size_t i = 0; i < kept.size();) {
    const size_t after = kept.size() - i - 1;
    bool droppable = sizes[i] == derived_.size();  // it adds nothing now
    trial_sizes.clear();
    if (!droppable && budget < after) tried_all = false;  // kept untried
    if (!droppable && tried_all && !alone_adds_right(all, kept, i, right)) {
      budget -= after;
      trial_.clear();
      for (number attribute : derived_.members()) trial_.insert(attribute);
      for (size_t j = i + 1; j < kept.size() && !droppable; ++j) {
        step(model_.schemas[all.places[kept[j]]], trial_, nullptr);
        trial_sizes.push_back(trial_.size());
        droppable = trial_.size() == sizes[j];
      }
      droppable = droppable || holds_all(trial_, right);
    }
    if (droppable) {
      std::copy(trial_sizes.begin(), trial_sizes.end(), sizes.begin() + i + 1);
      kept.erase(kept.begin() + i);
      sizes.erase(sizes.begin() + i);
      dropped = true;
    } else {
      step(model_.schemas[all.places[kept[i]]], derived_, nullptr);
      ++i;
    }
  }
  return tried_all;
}

derivation_steps derivations::needed_steps(std::span<const number> left,
                                           std::span<const number> right,
                                           std::span<const size_t> places) {
  derivation_steps all;  // every step of places, replayed
  all.places.assign(places.begin(), places.end());
  all.ends.resize(places.size());
  // sizes[j]: the size of the derived set after kept step j, replayed from
  // left.
  std::vector<size_t> sizes(places.size());
  derived_.clear();
  for (number attribute : left) derived_.insert(attribute);
  for (size_t j = 0; j < places.size(); ++j) {
    step(model_.schemas[places[j]], derived_, &all.added);
    all.ends[j] = all.added.size();
    sizes[j] = derived_.size();
  }
  if (exhausted() || !holds_all(derived_, right)) return {};

  // A step that adds nothing once the steps before it are replayed whole
  // goes at once: a traced step can come after one of its schema whose
  // closure, replayed, gave its names. Then each step is tried once, in
  // order (drop_steps). When the trials' bound left steps untried and few
  // steps are kept, they are tried again: a shown derivation of up to
  // kAllTried steps has every step needed.
  std::vector<size_t> kept;  // steps of all, by their index
  bool dropped = false;
  for (size_t j = 0; j < places.size(); ++j) {
    if (all.ends[j] == (j == 0 ? 0 : all.ends[j - 1])) {
      dropped = true;
      continue;
    }
    sizes[kept.size()] = sizes[j];
    kept.push_back(j);
  }
  sizes.resize(kept.size());
  if (!drop_steps(all, left, right, kept, sizes, dropped) &&
      kept.size() <= kAllTried)
    drop_steps(all, left, right, kept, sizes, dropped);
  // Trials cut short by the work keep steps that might go: then the steps
  // are not known to be needed, and the explanation shows what was traced.
  if (exhausted()) return {};

  if (dropped) {  // what each kept step adds now
    derivation_steps shown;
    derived_.clear();
    for (number attribute : left) derived_.insert(attribute);
    for (size_t k : kept) {
      step(model_.schemas[all.places[k]], derived_, &shown.added);
      shown.places.push_back(all.places[k]);
      shown.ends.push_back(shown.added.size());
    }
    if (exhausted()) return {};
    all = std::move(shown);
  }
  for (size_t i = 0, first = 0; i < all.size(); first = all.ends[i++])
    if (all.ends[i] - first > 1)
      std::sort(all.added.begin() + first, all.added.begin() + all.ends[i]);
  return all;
}

bool derivations::alone_adds_right(const derivation_steps& all,
                                   const std::vector<size_t>& kept, size_t i,
                                   std::span<const number> right) {
  for (number attribute : all.adds(kept[i])) {
    if (!std::binary_search(right.begin(), right.end(), attribute)) continue;
    bool later = false;
    for (size_t j = i + 1; j < kept.size() && !later; ++j) {
      const auto names = model_.schemas[all.places[kept[j]]];
      later = std::binary_search(names.begin(), names.end(), attribute);
    }
    if (!later) return true;
  }
  return false;
}

void derivations::start_tries(std::span<const number> derived) {
  tried_.clear();
  for (number attribute : derived) tried_.insert(attribute);
  tried_base_ = tried_.size();
}

bool derivations::keeps_with(std::span<const number> extra,
                             std::span<const number> right) {
  if (exhausted()) return false;
  tried_.truncate(tried_base_);  // what the try before added
  size_t unmet = 0;
  marked_.clear();
  for (number attribute : right)
    if (!tried_.contains(attribute)) {
      marked_.mark(attribute);
      ++unmet;
    }
  if (unmet == 0) return true;
  // The schemas to step on, extra as the place after the model's schemas.
  const number extra_place = static_cast<number>(model_.schemas.size());
  const auto names_of = [&](number s) {
    return s == extra_place ? extra : model_.schemas[s];
  };
  queued_.clear();
  schema_queue_.assign(1, extra_place);
  queued_.mark(extra_place);
  while (!schema_queue_.empty()) {
    const number s = schema_queue_.back();
    schema_queue_.pop_back();
    queued_.unmark(s);
    fresh_.clear();
    step(names_of(s), tried_, &fresh_);
    for (number attribute : fresh_) {
      if (marked_.marked(attribute) && --unmet == 0) return true;
      const auto enqueue = [&](number t) {
        if (!queued_.marked(t)) {
          queued_.mark(t);
          schema_queue_.push_back(t);
        }
      };
      for (number t : holders_[attribute]) enqueue(t);
      if (std::binary_search(extra.begin(), extra.end(), attribute))
        enqueue(extra_place);
    }
  }
  return false;
}
