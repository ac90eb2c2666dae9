// Random cases and the checks that the analysis tests share: cases drawn
// from a small alphabet, inputs written from them, and each input's
// verdicts and explanations checked against the checkers written from the
// definition (definition.h).
#ifndef FDKEEP_TESTS_CASES_H_
#define FDKEEP_TESTS_CASES_H_

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "main.h"

// The union of the schemas of d.
schema universe_of(const decomposition& d);

// Sets of names as bit masks over the alphabet of a case.
using mask = uint64_t;

// The alphabet of a case: bit 0 is the empty name, the last bit "?", a name
// that only dependencies use, the bits between are names A, B, ... for
// schemas.
struct alphabet {
  int size;
  std::string name(int bit) const {
    if (bit == 0) return "";
    if (bit == size - 1) return "?";
    return std::string(
        1, static_cast<char>(bit <= 26 ? 'A' + bit - 1 : 'a' + bit - 27));
  }
  schema to_schema(mask m) const {
    schema s;
    for (int bit = 0; bit < size; ++bit)
      if (m & (mask{1} << bit)) s.insert(name(bit));
    return s;
  }
};

// The input file that describes a case, to show a failing case in full.
std::string as_input(const decomposition& d, const dependency_map& map);

// The sizes of random cases.
struct case_shape {
  int names;         // bits of the alphabet, both special names included
  int schemas;       // at most this many random schemas
  int schema_size;   // names drawn for each of them
  int dependencies;  // at most this many random dependencies
  int chain;         // a planted chain has 3 to this many links
  int inside = 7;    // in ten dependencies, those inside one schema
  int right = 1;     // names drawn for the right side of the others
  int share = 5;     // each verdict in more than one case in this many
  int cycle = 0;     // in ten cases, those with a planted cycle
};

// Random cases in which both verdicts are common. Half of them hold a planted
// chain c0 <- c1 <- ... <- ck of two-name schemas whose last link also asks
// for c0, which needs one pass per link when the schemas come in the wrong
// order; most other dependencies hold inside one schema.
class case_maker {
 public:
  case_maker(unsigned seed, case_shape shape)
      : random_(seed), shape_(shape), names_{shape.names} {}

  const alphabet& names() const { return names_; }

  void make(decomposition& d, dependency_map& map) {
    std::vector<mask> parts;
    map.clear();  // keeps one right side per left side, as input does
    if (pick(0, 1) == 0) plant_chain(parts, map);
    if (pick(0, 9) < shape_.cycle) plant_cycle(map);
    for (int n = pick(0, 9) == 0 ? 0 : pick(1, shape_.schemas); n > 0; --n)
      parts.push_back(draw(pick(1, shape_.schema_size), false));
    for (int n = pick(1, shape_.dependencies); n > 0; --n) {
      if (!parts.empty() && pick(0, 9) < shape_.inside) {
        const mask part = parts[pick(0, static_cast<int>(parts.size()) - 1)];
        set(map, subset(part), mask{1} << std::countr_zero(subset(part)));
      } else {
        set(map, pick(0, 49) == 0 ? 0 : draw(pick(1, 3), true),
            draw(pick(1, shape_.right), true));
      }
    }
    d.clear();
    for (mask part : parts) d.insert(names_.to_schema(part));
  }

 private:
  int pick(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
  }
  // count ordinary names; now and then the empty name, and on dependency
  // sides the name that no schema holds.
  mask draw(int count, bool dependency_side) {
    mask m = 0;
    for (; count > 0; --count) {
      const int roll = pick(0, 19);
      m |= mask{1} << (roll == 0 ? 0
                       : roll == 1 && dependency_side
                           ? shape_.names - 1
                           : pick(1, shape_.names - 2));
    }
    return m;
  }
  mask subset(mask part) {
    mask m = 0;
    while (m == 0) m = part & random_();
    return m;
  }
  void plant_chain(std::vector<mask>& parts, dependency_map& map) {
    std::vector<int> chain;
    for (int bit = 1; bit < shape_.names - 1; ++bit) chain.push_back(bit);
    std::shuffle(chain.begin(), chain.end(), random_);
    chain.resize(pick(3, std::min<int>(shape_.chain, chain.size())));
    auto bit = [&](size_t i) { return mask{1} << chain[i]; };
    for (size_t i = 0; i + 1 < chain.size(); ++i) {
      parts.push_back(bit(i) | bit(i + 1));
      set(map, bit(i + 1), bit(i));
    }
    const size_t last = chain.size() - 1;
    set(map, bit(last), bit(last - 1) | bit(0));
  }
  // A cycle of dependencies with one name on each side, through two to
  // four names.
  void plant_cycle(dependency_map& map) {
    std::vector<mask> cycle(pick(2, 4));
    for (mask& m : cycle) m = draw(1, false);
    for (size_t i = 0; i < cycle.size(); ++i)
      set(map, cycle[i], cycle[(i + 1) % cycle.size()]);
  }
  void set(dependency_map& map, mask left, mask right) const {
    map.insert_or_assign(names_.to_schema(left), names_.to_schema(right));
  }
  std::mt19937_64 random_;
  case_shape shape_;
  alphabet names_;
};

// Checks every report of explain() with the checker written from the
// definition, and its verdict against keep()'s.
void expect_explained(const decomposition& d, const dependency_map& map);

// Reads input and checks what explain() reports of it, as expect_explained.
void expect_explained(const std::string& input);

// The input file of a case with its lines shuffled within their sections.
// A schema of the empty name alone would be an empty line, which ends the
// schemas: it is left out.
std::string shuffled_input(const decomposition& d, const dependency_map& map,
                           std::mt19937_64& random);

// Tests input as the run does, in the order of its lines: the verdict, and
// each dependency's outcome in the explanation, against the passes of the
// textbook test.
void expect_in_line_order(const std::string& input);

// Checks rounds inputs that make(pick) writes, pick(low, high) drawing from
// a generator seeded with seed; also in the order of their lines when
// in_order says so. Stops at the first input that fails.
template <typename Make>
void agree_on_random_inputs(uint64_t seed, int rounds, bool in_order,
                            Make make) {
  std::mt19937_64 random(seed);
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int round = 0; round < rounds; ++round) {
    const std::string input = make(pick);
    if (in_order) {
      SCOPED_TRACE(input);
      expect_in_line_order(input);
    }
    expect_explained(input);
    ASSERT_FALSE(::testing::Test::HasFailure());
  }
}

#endif  // FDKEEP_TESTS_CASES_H_
