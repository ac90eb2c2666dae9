// What the hostile shapes' generators share: an input under construction
// and the ways they name and draw attributes; and the generators of the
// shapes of cycles and chains built against the later engines, which
// cycle_shapes.cpp holds (shapes.cpp holds the others and the catalogue).
#ifndef FDKEEP_BENCH_SHAPE_INPUT_H_
#define FDKEEP_BENCH_SHAPE_INPUT_H_

#include <algorithm>
#include <bit>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace hostile {

// An input under construction: schema lines and dependency lines, and
// dependency lines whose order is kept.
struct input {
  std::vector<std::string> schemas, dependencies, in_order;

  void schema(const std::string& line) { schemas.push_back(line); }
  void dependency(const std::string& left, const std::string& right) {
    dependencies.push_back(left + "->" + right);
  }
  // A link from one name to another, held by a schema of the two.
  void held_link(const std::string& from, const std::string& to) {
    schema(from + "," + to);
    dependency(from, to);
  }
  void dependency_in_order(const std::string& left, const std::string& right) {
    in_order.push_back(left + "->" + right);
  }

  // The file, each section shuffled by seed; the dependencies in order come
  // last, as they are.
  std::string text(unsigned seed) {
    std::mt19937 random(seed);
    std::shuffle(schemas.begin(), schemas.end(), random);
    std::shuffle(dependencies.begin(), dependencies.end(), random);
    std::string file;
    for (const std::string& line : schemas) file += line + '\n';
    file += '\n';
    for (const std::string& line : dependencies) file += line + '\n';
    for (const std::string& line : in_order) file += line + '\n';
    return file;
  }
};

inline std::string name(const char* stem, int i) {
  return stem + std::to_string(i);
}

// A name of one to three bytes for each i below 91^3: digits in base 91 of
// the printable bytes that are not ",", "-" or ">" and not a blank.
inline std::string short_name(int i) {
  std::string digits;
  do {
    const int d = i % 91;
    i /= 91;
    char c = static_cast<char>('!' + d);
    if (c >= ',') ++c;  // skips ",", "-"
    if (c >= '-') ++c;
    if (c >= '>') ++c;
    digits += c;
  } while (i > 0);
  return digits;
}

// "stem<first>,...,stem<last>".
inline std::string run_of(const char* stem, int first, int last) {
  std::string list;
  for (int i = first; i <= last; ++i) {
    if (i > first) list += ',';
    list += stem;
    list += std::to_string(i);
  }
  return list;
}

// k distinct names stem<i>, i below below, drawn by random, joined by ",".
inline std::string distinct(std::mt19937& random, const char* stem, int k,
                            int below) {
  std::vector<int> numbers(below);
  std::iota(numbers.begin(), numbers.end(), 0);
  std::string list;
  for (int i = 0; i < k; ++i) {
    std::swap(numbers[i], numbers[i + random() % (below - i)]);
    if (i > 0) list += ',';
    list += name(stem, numbers[i]);
  }
  return list;
}

// The seventy lists of four of stem0..stem7, each joined by ",", in the
// order of the bits that pick them.
inline std::vector<std::string> four_of_eight(const char* stem) {
  std::vector<std::string> lists;
  for (unsigned bits = 0; bits < 256; ++bits) {
    if (std::popcount(bits) != 4) continue;
    std::string list;
    for (int bit = 0; bit < 8; ++bit)
      if (bits >> bit & 1) list += "," + name(stem, bit);
    lists.push_back(list.substr(1));
  }
  return lists;
}

// The goal schema holds from and goal, so that from -> goal holds in it; a
// lost input replaces it by one that holds goal and an attribute that
// nothing derives.
inline std::string goal_schema(const std::string& from, const std::string& goal,
                               bool lost) {
  return lost ? goal + ",lost" : from + "," + goal;
}

// Generators of cycle_shapes.cpp, as hostile_shape::make.
std::string cycle_path(int n, bool lost, unsigned seed);
std::string hub_cycle(int n, bool lost, unsigned seed);
std::string ping_pong(int n, bool lost, unsigned seed);
std::string wide_cycle(int n, bool lost, unsigned seed);
std::string ring_of_schemas(int n, bool lost, unsigned seed);
std::string decoys(int n, bool lost, unsigned seed);
std::string named_decoys(int n, bool lost, unsigned seed);
std::string lost_around_a_cycle(int n, bool lost, unsigned seed);
std::string key_cycle(int n, bool lost, unsigned seed);
std::string chain_to_a_tag(int n, bool lost, unsigned seed);
std::string chain_jumps(int n, bool lost, unsigned seed);
std::string chain_to_its_end(int n, bool lost, unsigned seed);
std::string cycle_under_a_name(int n, bool lost, unsigned seed);
std::string cycle_under_two_names(int n, bool lost, unsigned seed);
std::string hub_chain(int n, bool lost, unsigned seed);
std::string chain_starts(int n, bool lost, unsigned seed);
std::string chain_entries(int n, bool lost, unsigned seed);
std::string wide_reach(int n, bool lost, unsigned seed);
std::string gated_cycle(int n, bool lost, unsigned seed);
std::string gated_chain(int n, bool lost, unsigned seed);

}  // namespace hostile

#endif  // FDKEEP_BENCH_SHAPE_INPUT_H_
