// Repairs (see repair.h): a lost dependency's schema shrunk by leaving names
// out in ever smaller chunks, each try a derived-set test; and the merging
// of suggested schemas that one another holds, looking only among the
// schemas that hold the rarest of a schema's names. Bounded by kRepairTries
// tries per dependency; a search cut short says so.
#include "repair.h"

#include <algorithm>
#include <unordered_map>

suggestion suggested_schema(derivations& with, std::span<const number> left,
                            std::span<const number> right,
                            std::span<const number> derived) {
  std::vector<number> missing;
  for (number attribute : right)  // a long derived set is searched, not walked
    if (!std::binary_search(derived.begin(), derived.end(), attribute))
      missing.push_back(attribute);
  // Left-side names first: a missing name is more often needed.
  std::vector<number> candidates(left.begin(), left.end());
  candidates.insert(candidates.end(), missing.begin(), missing.end());
  std::vector<bool> out(candidates.size());
  std::vector<number> trial;
  size_t tries = 0;
  bool ended = false;  // the pass of single names went through them all
  with.start_tries(derived);
  for (size_t chunk = std::max<size_t>(candidates.size() / 2, 1);;
       chunk /= 2) {
    size_t first = 0;
    for (; first < candidates.size() && tries < kRepairTries &&
           !with.exhausted();
         first += chunk) {
      const size_t last = std::min(first + chunk, candidates.size());
      if (std::all_of(out.begin() + first, out.begin() + last,
                      [](bool b) { return b; }))
        continue;
      trial.clear();
      for (size_t i = 0; i < candidates.size(); ++i)
        if (!out[i] && (i < first || i >= last))
          trial.push_back(candidates[i]);
      std::sort(trial.begin(), trial.end());
      ++tries;
      if (with.keeps_with(trial, right))
        std::fill(out.begin() + first, out.begin() + last, true);
    }
    if (first < candidates.size()) break;  // out of tries or of work
    if (chunk == 1) {
      ended = true;
      break;
    }
  }
  suggestion found;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (!out[i]) found.names.push_back(candidates[i]);
  std::sort(found.names.begin(), found.names.end());
  // A try cut short by the work allowed kept names that may not be needed.
  found.irreducible = ended && !with.exhausted();
  return found;
}

std::vector<repair_schema> whole_repair(std::vector<repair_schema> suggested) {
  // Larger schemas first, so that each is merged into one that holds it;
  // among equal ones, the one of the first dependency stays.
  std::vector<size_t> order(suggested.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const size_t size_a = suggested[a].names.size(),
                 size_b = suggested[b].names.size();
    return size_a != size_b ? size_a > size_b : a < b;
  });
  // Per name, the kept schemas that hold it: a schema that holds another
  // is among those of the other's name with the fewest.
  std::unordered_map<number, std::vector<size_t>> holding;
  const std::vector<size_t> none;
  std::vector<size_t> kept;
  for (size_t i : order) {
    const std::vector<number>& names = suggested[i].names;
    const std::vector<size_t>* fewest = &none;
    for (size_t n = 0; n < names.size(); ++n) {
      const auto found = holding.find(names[n]);
      const std::vector<size_t>* these =
          found == holding.end() ? &none : &found->second;
      if (n == 0 || these->size() < fewest->size()) fewest = these;
    }
    const auto holder =
        std::find_if(fewest->begin(), fewest->end(), [&](size_t k) {
          const std::vector<number>& held = suggested[k].names;
          return std::includes(held.begin(), held.end(), names.begin(),
                               names.end());
        });
    if (holder == fewest->end()) {
      kept.push_back(i);
      for (number name : names) holding[name].push_back(i);
      continue;
    }
    std::vector<size_t>& keeps = suggested[*holder].keeps;
    keeps.insert(keeps.end(), suggested[i].keeps.begin(),
                 suggested[i].keeps.end());
  }
  std::vector<repair_schema> repair;
  for (size_t k : kept) {
    repair.push_back(std::move(suggested[k]));
    std::sort(repair.back().keeps.begin(), repair.back().keeps.end());
  }
  std::sort(repair.begin(), repair.end(),
            [](const repair_schema& a, const repair_schema& b) {
              return a.keeps.front() < b.keeps.front();
            });
  return repair;
}
