// The hostile shapes of cycles and chains, built against the engines that
// share closures and learn rules: paths around a cycle, cycles under shared
// names, chains that pads start from a hub, from many starts or enter
// anywhere, and pools that the bound reaches wide.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "shape_input.h"

namespace hostile {

// A cycle x_0 -> x_1 -> ... -> x_0 of one-name dependencies, and two-name
// schemas along a path through all the names in an order of their own
// (fixed by n): every test x_i -> x_i+1 derives its right side by walking
// the path, about n / 3 schemas away, and each schema's closure walks the
// cycle until it meets the other name. The lost input breaks the path in
// the middle.
std::string cycle_path(int n, bool lost, unsigned seed) {
  const int names = std::max(3, n);
  std::vector<int> path(names);
  for (int i = 0; i < names; ++i) path[i] = i;
  std::shuffle(path.begin(), path.end(), std::mt19937(names));
  input in;
  for (int j = 0; j + 1 < names; ++j) {
    const std::string a = name("x", path[j]), b = name("x", path[j + 1]);
    in.schema(lost && j == names / 2 ? goal_schema(a, b, true) : a + "," + b);
  }
  for (int i = 0; i < names; ++i)
    in.dependency(name("x", i), name("x", (i + 1) % names));
  return in.text(seed);
}

// A hub x in every schema {x, b_i}, and b_i -> x,b_i+1 around a cycle that
// x -> b_0 enters: every closure of b_i or x reaches every name, and every
// test needs x and the next b from a schema of its own.
std::string hub_cycle(int n, bool lost, unsigned seed) {
  const int names = std::max(2, n);
  input in;
  for (int i = 0; i < names; ++i)
    in.schema(lost && i == names / 2 ? goal_schema("x", name("b", i), true)
                                     : "x," + name("b", i));
  for (int i = 0; i < names; ++i)
    in.dependency(name("b", i), "x," + name("b", (i + 1) % names));
  in.dependency("x", "b0");
  return in.text(seed);
}

// Two wide schemas, {V, v_k, p_k, s_k} and {U, u_k, p_k, s_k}, and
// v_k,s_k-1 -> p_k, u_k,p_k -> s_k: a derivation goes back and forth
// between them, one name each time. Test j, U,V,s_j -> s_n, needs 2(n - j)
// such rounds; the lost input also asks for a name that nothing derives,
// so that every round is taken.
std::string ping_pong(int n, bool lost, unsigned seed) {
  const int rounds = std::max(1, n);
  const std::string shared =
      run_of("p", 1, rounds) + "," + run_of("s", 0, rounds);
  input in;
  in.schema("V," + run_of("v", 1, rounds) + "," + shared +
            (lost ? ",lost" : ""));
  in.schema("U," + run_of("u", 1, rounds) + "," + shared);
  in.dependency("V", run_of("v", 1, rounds));
  in.dependency("U", run_of("u", 1, rounds));
  for (int k = 1; k <= rounds; ++k) {
    in.dependency(name("v", k) + "," + name("s", k - 1), name("p", k));
    in.dependency(name("u", k) + "," + name("p", k), name("s", k));
  }
  const std::string goal = name("s", rounds) + (lost ? ",lost" : "");
  for (int j = 0; j < rounds; ++j)
    in.dependency_in_order("U,V," + name("s", j), goal);
  return in.text(seed);
}

// Decoys {a_j, e, x_0..x_t} that hold every test's right side e and every
// test's own name: each test x_i,q -> e gives each decoy a part {a_j, x_i}
// of its own, whose closure runs x_i -> h, a_j,h -> c0 and the wide right
// side of c0, but never reaches e, which needs q. Each test is derived by
// {x_i, Q, k, e, h}, listed after the decoys; the lost input leaves out the
// last test's own schema.
std::string named_decoys(int n, bool lost, unsigned seed) {
  const int right = std::max(2, n),
            tests = std::max(2, static_cast<int>(std::sqrt(n)));
  const std::string all = run_of("x", 0, tests - 1),
                    pads = run_of("a", 0, tests - 1);
  input in;
  in.schema("q,Q,k");
  in.schema("Q," + pads);
  in.schema("h,c0," + pads);
  in.schema(run_of("c", 0, right));
  for (int j = 0; j < tests; ++j) in.schema(name("a", j) + ",e," + all);
  for (int i = 0; i < tests; ++i)
    if (!lost || i + 1 < tests) in.schema(name("x", i) + ",Q,k,e,h");
  in.dependency("q", "Q,k");
  in.dependency("Q,k", "q");
  in.dependency("Q", pads);
  for (int i = 0; i < tests; ++i) in.dependency(name("x", i), "h");
  for (int j = 0; j < tests; ++j) in.dependency(name("a", j) + ",h", "c0");
  in.dependency("c0", run_of("c", 1, right));
  for (int i = 0; i < tests; ++i)
    in.dependency_in_order(name("x", i) + ",q", "e");
  return in.text(seed);
}

// A wide schema of a cycle x_0 -> x_1 -> ... -> x_0, whose dependencies
// x_i -> x_i+1,t_i also give a tag that only the pair {x_i-1, t_i} holds:
// every test derives the whole cycle, and every pair not yet tested could
// add its tag. The lost input leaves one tag to no schema.
std::string wide_cycle(int n, bool lost, unsigned seed) {
  const int names = std::max(3, n);
  input in;
  in.schema(run_of("x", 0, names - 1));
  for (int i = 0; i < names; ++i)
    in.schema(goal_schema(name("x", (i + names - 1) % names), name("t", i),
                          lost && i == names / 2));
  for (int i = 0; i < names; ++i)
    in.dependency(name("x", i),
                  name("x", (i + 1) % names) + "," + name("t", i));
  return in.text(seed);
}

// Five wide schemas in a ring, each sharing a link name z_r with the next,
// and a cycle v_0 -> v_1 -> ... -> v_0 whose names go round the ring two
// schemas at a step: v_i -> v_i+1,x_i, where x_i lies with v_i+1, and
// z_r -> the first v of schema r. Every closure of a part reaches the
// whole cycle, and the right side of each test lies two schemas away from
// its left side. The lost input holds one x in a schema of its own.
std::string ring_of_schemas(int n, bool lost, unsigned seed) {
  constexpr int kSchemas = 5, kStep = 2;
  const int names = std::max(kSchemas + 1, n);
  std::vector<std::string> ring(kSchemas);
  std::vector<int> first(kSchemas, -1);
  for (int r = 0; r < kSchemas; ++r)
    ring[r] = name("z", (r + kSchemas - 1) % kSchemas) + "," + name("z", r);
  input in;
  for (int i = 0; i < names; ++i) {
    const int r = i * kStep % kSchemas;
    ring[r] += "," + name("v", i);
    if (first[r] < 0) first[r] = i;
    if (lost && i == names / 2)
      in.schema(name("x", i) + ",lost");
    else
      ring[(i + 1) * kStep % kSchemas] += "," + name("x", i);
  }
  for (const std::string& line : ring) in.schema(line);
  for (int i = 0; i + 1 < names; ++i)
    in.dependency(name("v", i), name("v", i + 1) + "," + name("x", i));
  in.dependency(name("v", names - 1), "v0," + name("x", names - 1) + "," +
                                          run_of("z", 0, kSchemas - 1));
  for (int r = 0; r < kSchemas; ++r)
    in.dependency(name("z", r), name("v", first[r]));
  return in.text(seed);
}

// Decoys {a_j, e, u} that hold every test's right side e: the rules put u
// and every a_j in each derived set, and the closure of {a_j, u} reaches
// c0, whose one dependency gives a wide right side, but never e, which
// needs q. Each test x_i,q -> e is derived by {x_i, Q, k, e}, listed after
// the decoys. The lost input leaves out the last test's own schema.
std::string decoys(int n, bool lost, unsigned seed) {
  const int tests = std::max(2, n / 3), pads = std::max(2, n / 3),
            right = std::max(2, n);
  input in;
  in.schema("q,Q,k");
  in.schema("Q,u," + run_of("a", 0, pads - 1));
  in.schema("u,h");
  in.schema("h,c0," + run_of("a", 0, pads - 1));
  in.schema(run_of("c", 0, right));
  for (int j = 0; j < pads; ++j) in.schema(name("a", j) + ",e,u");
  for (int i = 0; i < tests; ++i)
    if (!lost || i + 1 < tests) in.schema(name("x", i) + ",Q,k,e");
  in.dependency("q", "Q,k");
  in.dependency("Q,k", "q");
  in.dependency("Q", run_of("a", 0, pads - 1) + ",u");
  in.dependency("u", "h");
  for (int j = 0; j < pads; ++j) in.dependency(name("a", j) + ",h", "c0");
  in.dependency("c0", run_of("c", 1, right));
  for (int i = 0; i < tests; ++i)
    in.dependency_in_order(name("x", i) + ",q", "e");
  return in.text(seed);
}

// A wide schema of a cycle x_0 -> x_1 -> ... -> x_0 whose dependencies
// x_i -> x_i+1,- also ask for a name that only {x_0, -} holds. The lost
// input has no such schema: every dependency is lost, each deriving the
// whole cycle, which an explanation lists for each.
std::string lost_around_a_cycle(int n, bool lost, unsigned seed) {
  const int names = std::max(3, n);
  input in;
  in.schema(run_of("x", 0, names - 1));
  if (!lost) in.schema(name("x", 0) + ",-");
  for (int i = 0; i < names; ++i)
    in.dependency(name("x", i), name("x", (i + 1) % names) + ",-");
  return in.text(seed);
}

// A key k in every schema {k, x_i, x_i+3}, and k,x_i -> x_i+1 around a
// cycle of a multiple of three names: the closure of k and any x reaches
// the whole cycle, but each schema adds only the name three steps on, so a
// dependency derives the third of the cycle that its left side starts, and
// misses its right side, which lies in the next third. Lost whatever lost
// says; an explanation lists one of three sets for each dependency.
std::string key_cycle(int n, bool, unsigned seed) {
  const int names = 3 * std::max(2, n / 3);
  input in;
  for (int i = 0; i < names; ++i) {
    in.schema("k," + name("x", i) + "," + name("x", (i + 3) % names));
    in.dependency("k," + name("x", i), name("x", (i + 1) % names));
  }
  return in.text(seed);
}

// A chain x_0 -> x_1 -> ... -> x_n in one wide schema whose dependencies
// x_i -> x_i+1,- also ask for a name that only {x_n, -} holds: every test
// derives the rest of the chain, and an explanation shows it as one step
// of the wide schema that adds all of it. The lost input has no such
// schema.
std::string chain_to_a_tag(int n, bool lost, unsigned seed) {
  const int last = std::max(3, n);
  input in;
  in.schema(run_of("x", 0, last));
  if (!lost) in.schema(name("x", last) + ",-");
  for (int i = 0; i < last; ++i)
    in.dependency(name("x", i), name("x", i + 1) + ",-");
  in.dependency(name("x", last), "-");
  return in.text(seed);
}

namespace {

// A chain of pair schemas {x_i, x_i+1}, with names of one to three bytes,
// whose dependencies x_i -> x_i+1,x_i+h each also give a name h links
// further, or the last: a test walks h links, and every step of the walk is
// a step of its derivation. The lost input misses the schema of one link in
// the middle.
std::string chain_of_pairs(int n, bool lost, unsigned seed, int parts) {
  const int last = std::max(12, n), jump = last / parts;
  input in;
  for (int i = 0; i < last; ++i)
    if (!lost || i != last / 2)
      in.schema(short_name(i) + "," + short_name(i + 1));
  for (int i = 0; i < last; ++i)
    in.dependency(short_name(i), short_name(i + 1) + "," +
                                     short_name(std::min(last, i + jump)));
  return in.text(seed);
}

}  // namespace

// h a sixth of the chain: a dependency found preserved jumps h links ahead
// from any name that reaches its left side, so that rules applied in the
// order they fire walk every stretch that such jumps reach.
std::string chain_jumps(int n, bool lost, unsigned seed) {
  return chain_of_pairs(n, lost, seed, 6);
}

// Every dependency also gives the last name: an explanation derives the
// rest of the chain for each, and shows each link as a step.
std::string chain_to_its_end(int n, bool lost, unsigned seed) {
  return chain_of_pairs(n, lost, seed, 1);
}

namespace {

// A cycle under the names shared, "c," or "c,d,": shared x_i -> x_i+1, and
// schemas {shared, x_i, x_i+step}, with step prime to the number of names.
// No dependency lies in one schema, and every test walks the whole cycle
// step names at a time, unless the names are known to derive each other
// under the shared names. The lost input also asks for a name that a schema
// of its own holds and nothing derives.
std::string cycle_under(const std::string& shared, int step, int n, bool lost,
                        unsigned seed) {
  int names = std::max(step + 1, n);
  while (std::gcd(names, step) != 1) ++names;
  input in;
  for (int i = 0; i < names; ++i)
    in.schema(shared + name("x", i) + "," + name("x", (i + step) % names));
  for (int i = 0; i < names; ++i)
    in.dependency(shared + name("x", i), name("x", (i + 1) % names));
  if (lost) {
    in.schema("lost");
    in.dependency(shared + name("x", 0) + "," + name("x", 1), "lost");
  }
  return in.text(seed);
}

}  // namespace

std::string cycle_under_a_name(int n, bool lost, unsigned seed) {
  return cycle_under("c,", 2, n, lost, seed);
}

std::string cycle_under_two_names(int n, bool lost, unsigned seed) {
  return cycle_under("c,d,", 3, n, lost, seed);
}

// Pads {h, y, six names of a pool}, a chain h -> b_0 -> ... -> b_m held
// link by link, b_m,v -> y, and tested dependencies h,p_1..p_16 -> v, 16
// of the pool's 24 names. A test's own dependency reaches v and then y, which
// every pad holds, so every pad is looked at; each pad's part is h and the
// pool names it shares with the test, a part of its own, whose closure
// walks the whole chain from h and never reaches v. The kept input derives
// v and y from b_m in a schema of its own.
std::string hub_chain(int n, bool lost, unsigned seed) {
  const int pads = std::max(2, n / 4), links = std::max(2, n / 2),
            tests = std::max(1, n / 8), pool = 24;
  std::mt19937 random(static_cast<unsigned>(n));
  // h and k names of the pool.
  const auto h_and = [&](int k) {
    return "h," + distinct(random, "p", k, pool);
  };
  input in;
  for (int j = 0; j < pads; ++j) in.schema(h_and(6) + ",y");
  in.held_link("h", "b0");
  for (int i = 0; i < links; ++i) in.held_link(name("b", i), name("b", i + 1));
  const std::string end = name("b", links);
  in.dependency(end + ",v", "y");
  in.schema(lost ? "v,lost" : end + ",v,y");
  if (!lost) in.dependency(end, "v");
  for (int t = 0; t < tests; ++t) in.dependency(h_and(16), "v");
  return in.text(seed);
}

// Pads {three of 20 names x_i, y, six names of a pool}; each x_i starts a
// chain of its own, held link by link, whose end and v give y; tested
// dependencies from the names of a pad but y to v, which the kept input
// derives from each x_i. The pool names
// are held by more pads than any x_i, but start nothing, so the pads' parts
// are arranged by their x_i first: each chain start, and each pair, is
// closed once per test, not once per pad.
std::string chain_starts(int n, bool lost, unsigned seed) {
  const int starts = 20, pool = 24, pads = std::max(2, n / 4),
            links = std::max(2, n / (2 * starts)), tests = std::max(1, n / 8);
  std::mt19937 random(static_cast<unsigned>(n));
  input in;
  std::vector<std::string> held;  // per pad: its names but y
  for (int j = 0; j < pads; ++j) {
    held.push_back(distinct(random, "x", 3, starts) + "," +
                   distinct(random, "p", 6, pool));
    in.schema(held.back() + ",y");
  }
  for (int i = 0; i < starts; ++i) {
    const std::string stem = "c" + std::to_string(i) + "_";
    in.schema(name("x", i) + "," + name(stem.c_str(), 0));
    in.dependency(name("x", i), name(stem.c_str(), 0) + (lost ? "" : ",v"));
    for (int l = 0; l < links; ++l)
      in.held_link(name(stem.c_str(), l), name(stem.c_str(), l + 1));
    const std::string end = name(stem.c_str(), links);
    in.dependency(end + ",v", "y");
    if (lost) continue;  // the kept input derives v, and y, in schemas
    in.schema(name("x", i) + ",v");
    in.schema(end + ",v,y");
  }
  if (lost) in.schema("v,lost");
  for (int t = 0; t < tests; ++t)
    in.dependency(held[random() % held.size()], "v");
  return in.text(seed);
}

// A chain c_0 -> ... -> c_n held link by link, schemas {p_x, p_y, c_k} of
// two names of a pool of 25 and a link, with p_x,p_y -> c_k, and tested
// dependencies from such a pair and one more name of the pool to c_n (the
// lost input asks for a name of the pool too). Each entry schema whose link the
// test derives has that link as its part, whose closure walks the rest of the
// chain; the same parts come again in later tests.
std::string chain_entries(int n, bool lost, unsigned seed) {
  const int pool = 25, links = std::max(2, n);
  std::mt19937 random(static_cast<unsigned>(n));
  const auto p = [&] { return static_cast<int>(random() % pool); };
  input in;
  for (int i = 0; i < links; ++i) in.held_link(name("c", i), name("c", i + 1));
  std::vector<std::pair<int, int>> entries;
  for (int j = 0; j < n; ++j) {
    const int x = p(), y = p();
    if (x == y) continue;
    entries.push_back({x, y});
    const std::string link = name("c", static_cast<int>(random() % links));
    in.schema(name("p", x) + "," + name("p", y) + "," + link);
    in.dependency(name("p", x) + "," + name("p", y), link);
  }
  // Each test holds an entry, and in the lost input asks for a name of the
  // pool that it does not hold.
  for (int t = 0; t < n && !entries.empty(); ++t) {
    const auto [x, y] = entries[random() % entries.size()];
    const int z = p(), asked = p();
    if (z == x || z == y || asked == x || asked == y || asked == z) continue;
    in.dependency(name("p", x) + "," + name("p", y) + "," + name("p", z),
                  name("c", links) + (lost ? "," + name("p", asked) : ""));
  }
  return in.text(seed);
}

// Thousands of schemas of three names of a pool of 60, a schema {a, b}, a
// dependency from a to the whole pool and tested dependencies a,t_j -> g,
// which no schema derives. The bound of every test holds the pool, which
// nearly every schema holds names of, while only {a, b} holds a name of
// the derived set: only it has a part to close.
std::string wide_reach(int n, bool, unsigned seed) {
  const int pool = 60, schemas = std::max(2, n), tests = std::max(1, n / 4);
  std::mt19937 random(static_cast<unsigned>(n));
  input in;
  for (int j = 0; j < schemas; ++j) {
    const int first = static_cast<int>(random() % pool);
    const int second = (first + 1 + static_cast<int>(random() % 29)) % pool;
    const int third = (first + 30 + static_cast<int>(random() % 29)) % pool;
    in.schema(name("x", first) + "," + name("x", second) + "," +
              name("x", third));
  }
  in.schema("a,b");
  in.schema("g,lost");
  in.dependency("a", run_of("x", 0, pool - 1) + ",g");
  for (int t = 0; t < tests; ++t) in.dependency("a," + name("t", t), "g");
  return in.text(seed);
}

// A cycle x_0 -> x_1 -> ... -> x_0 in one wide schema whose every link also
// needs a gate g, which only a schema {g, h} holds; a schema of a pool of 100
// names that nothing else uses; and tested dependencies x_r,g,p_a,p_b -> y,
// a pair of the pool each, y held with u by a schema of its own: all lost.
// The closure of each test's left side walks the whole cycle, but no closure
// of a part can apply a link: the cycle's schema lacks g, and the closure of
// {g, h} reaches no name of the cycle.
std::string gated_cycle(int n, bool, unsigned seed) {
  const int names = std::max(3, n), pool = 100, tests = std::max(1, n);
  std::mt19937 random(static_cast<unsigned>(n));
  input in;
  in.schema(run_of("x", 0, names - 1));
  for (int i = 0; i < names; ++i)
    in.dependency(name("x", i) + ",g", name("x", (i + 1) % names));
  in.schema("g,h");
  in.schema(run_of("p", 0, pool - 1));
  in.schema("y,u");
  for (int t = 0; t < tests; ++t)
    in.dependency(name("x", static_cast<int>(random() % names)) + ",g," +
                      name("p", t % pool) + "," +
                      name("p", (t % pool + 1 + t / pool) % pool),
                  "y");
  return in.text(seed);
}

// A chain c_0 -> ... -> c_K of names that no schema holds, whose every link
// also needs g, which each of 20 test names gives (t_i -> g); s_j -> c_0 and
// c_K,s_j -> s_j+1 for steps s_0 .. s_m, each step a schema {t_1..t_20,
// s_j, s_j+1}; and tested dependencies t_i,s_j -> s_m. Each test needs one
// closure per step, of a part of its own, and each such closure walks the
// chain unless the chain is known to be one step.
std::string gated_chain(int n, bool, unsigned seed) {
  const int names = 20, steps = std::max(2, n / 4), links = std::max(2, n / 4),
            tests = std::max(1, n / 4);
  std::mt19937 random(static_cast<unsigned>(n));
  const std::string all = run_of("t", 1, names);
  input in;
  for (int i = 1; i <= names; ++i) in.dependency(name("t", i), "g");
  for (int k = 0; k < links; ++k)
    in.dependency(name("c", k) + ",g", name("c", k + 1));
  for (int j = 0; j < steps; ++j) {
    in.schema(all + "," + name("s", j) + "," + name("s", j + 1));
    in.dependency(name("s", j), "c0");
    in.dependency(name("c", links) + "," + name("s", j), name("s", j + 1));
  }
  for (int t = 0; t < tests; ++t)
    in.dependency(name("t", 1 + static_cast<int>(random() % names)) + "," +
                      name("s", static_cast<int>(random() % steps)),
                  name("s", steps));
  return in.text(seed);
}

}  // namespace hostile
