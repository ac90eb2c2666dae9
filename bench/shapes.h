// Seeded generators of hostile inputs: legal inputs of unusual shapes that
// make a preservation test do as much work as it can. The benchmark times
// them at growing sizes, and the tests check the verdict on small ones.
#ifndef FDKEEP_BENCH_SHAPES_H_
#define FDKEEP_BENCH_SHAPES_H_

#include <string>
#include <string_view>
#include <vector>

// One shape: make(n, lost, seed) returns a whole input file whose size grows
// in proportion to n. The input is preserved unless lost is set (or the
// shape cannot be preserved); then one schema that the derivations need is
// replaced by one that holds its goal attribute but cannot derive it. The
// seed only shuffles the lines within their sections.
struct hostile_shape {
  const char* name;
  const char* how;  // a one-line description of the shape
  std::string (*make)(int n, bool lost, unsigned seed);
  size_t benchmark_bytes;  // the largest size the benchmark times
  bool preservable = true;  // false: lost whatever lost says
};

// Every shape: hub, rounds, wide chain, wide and chain, whose growth was
// measured on the first engine, then the ones designed against the current
// one.
const std::vector<hostile_shape>& hostile_shapes();

// The shape called name, or nullptr when there is none.
const hostile_shape* shape_named(std::string_view name);

// The input of shape at about bytes bytes (never fewer than a handful of
// lines).
std::string make_shape(const hostile_shape& shape, size_t bytes, bool lost,
                       unsigned seed);

#endif  // FDKEEP_BENCH_SHAPES_H_
