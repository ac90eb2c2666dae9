#include "shapes.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <random>

#include "shape_input.h"

using namespace hostile;

namespace {

// P pad schemas {h, x_j}, a goal schema {h, z}, h -> z, and n tested
// dependencies h,x_t -> z. Every pad holds h, so a closure from h that is
// taken again for every pad costs n each time; z sorts last, so the goal
// schema comes after the pads.
std::string hub(int n, bool lost, unsigned seed) {
  input in;
  for (int j = 0; j < n * 7 / 8; ++j) in.schema("h," + name("xp", j));
  in.schema(goal_schema("h", "z", lost));
  in.dependency("h", "z");
  for (int t = 0; t < n; ++t) in.dependency("h," + name("xt", t), "z");
  return in.text(seed);
}

// Pads {h, x_j, s_1..s_14}, a chain of schemas {t_i, t_i+1, s_i+1} with
// t_i -> t_i+1,s_i+1 and {t_14, g} with t_14 -> g, and n tested
// dependencies h,t_0,x_t -> g: every pad's part grows in each of 14 rounds.
std::string rounds(int n, bool lost, unsigned seed) {
  constexpr int kRounds = 14;
  input in;
  for (int j = 0; j < n * 7 / 8; ++j)
    in.schema("h," + name("xp", j) + "," + run_of("s", 1, kRounds));
  for (int i = 0; i < kRounds; ++i) {
    const std::string next = name("t", i + 1) + "," + name("s", i + 1);
    in.schema(name("t", i) + "," + next);
    in.dependency(name("t", i), next);
  }
  in.schema(goal_schema(name("t", kRounds), "g", lost));
  in.dependency(name("t", kRounds), "g");
  for (int t = 0; t < n; ++t) in.dependency("h,t0," + name("xt", t), "g");
  return in.text(seed);
}

// One wide schema {s_1..s_L, x_1..x_3L}, a chain {s_i+1, t_i, t_i+1} with
// t_i -> t_i+1,s_i+1, {t_L, g} with t_L -> g, and tested dependencies
// t_0,x_t -> g: the wide schema's part grows by one name per step.
std::string wide_chain(int n, bool lost, unsigned seed) {
  const int length = std::max(1, n / 3);
  input in;
  in.schema(run_of("s", 1, length) + "," + run_of("x", 1, 3 * length));
  for (int i = 0; i < length; ++i) {
    const std::string next = name("t", i + 1) + "," + name("s", i + 1);
    in.schema(next + "," + name("t", i));
    in.dependency(name("t", i), next);
  }
  in.schema(goal_schema(name("t", length), "g", lost));
  in.dependency(name("t", length), "g");
  for (int t = 1; t <= 3 * length; ++t)
    in.dependency("t0," + name("x", t), "g");
  return in.text(seed);
}

// One schema {x_1..x_n, g} and the n dependencies x_t -> g, each of which
// holds inside it. Lost: g moves to a schema of its own.
std::string wide(int n, bool lost, unsigned seed) {
  input in;
  in.schema(run_of("x", 1, n) + (lost ? "" : ",g"));
  if (lost) in.schema("g,lost");
  for (int t = 1; t <= n; ++t) in.dependency(name("x", t), "g");
  return in.text(seed);
}

// Schemas {c_i, c_i+1, u} with c_i -> c_i+1, where nothing derives u, and
// one tested dependency c_0,z -> c_n: a closure that waits for u runs down
// the whole chain.
std::string chain(int n, bool lost, unsigned seed) {
  input in;
  for (int i = 0; i < n; ++i) {
    if (lost && i == n - 1) {
      in.schema(name("c", n) + ",lost");
    } else {
      in.schema(name("c", i) + "," + name("c", i + 1) + ",u");
    }
    in.dependency(name("c", i), name("c", i + 1));
  }
  in.dependency("c0,z", name("c", n));
  return in.text(seed);
}

// Designed against an engine that shares work only between schemas that
// start alike. Pads {h, p_j}; a chain of schemas {h, c_1}, {c_i, c_i+1}
// with h -> c_1 and c_i -> c_i+1, whose last link c_K determines g and every
// p_j, kept in one schema; tested dependencies h,q_t -> g. The closure of
// every pad's part {h} runs down the whole chain.
std::string shared_start(int n, bool lost, unsigned seed) {
  const int pads = n / 2, links = n / 2;
  input in;
  for (int j = 1; j <= pads; ++j) in.schema("h," + name("p", j));
  in.held_link("h", "c1");
  for (int i = 1; i < links; ++i) in.held_link(name("c", i), name("c", i + 1));
  const std::string end = name("c", links);
  const std::string targets = "g," + run_of("p", 1, pads);
  in.schema(lost ? targets + ",lost" : end + "," + targets);
  in.dependency(end, targets);
  for (int t = 0; t < n; ++t) in.dependency("h," + name("q", t), "g");
  return in.text(seed);
}

// Pads {h, e_j, p_j} whose closures start alike from h, which runs down a
// chain {h, c_1}, {c_i, c_i+1} (h -> c_1, c_i -> c_i+1). Each tested
// dependency h,q_t -> g has a schema {q_t, w} (q_t -> w), and a schema
// {w, e_1..e_n} (w -> e_1..e_n) then gives every pad its e_j, so the pads part
// ways: h,e_j -> p_j applies, half counted in the common closure, half in
// the pad's own. The goal schema {p_1..p_n, g} needs every p_j.
std::string parting(int n, bool lost, unsigned seed) {
  const int pads = n / 4, links = n / 4;
  input in;
  for (int j = 1; j <= pads; ++j) {
    in.schema("h," + name("e", j) + "," + name("p", j));
    in.dependency("h," + name("e", j), name("p", j));
  }
  in.schema("w," + run_of("e", 1, pads));
  in.dependency("w", run_of("e", 1, pads));
  in.held_link("h", "c1");
  for (int i = 1; i < links; ++i) in.held_link(name("c", i), name("c", i + 1));
  const std::string sources = run_of("p", 1, pads);
  in.schema(lost ? "g,lost" : sources + ",g");
  in.dependency(sources, "g");
  for (int t = 0; t < n / 2; ++t) {
    in.schema(name("q", t) + ",w");
    in.dependency(name("q", t), "w");
    in.dependency("h," + name("q", t), "g");
  }
  return in.text(seed);
}

// A wide schema {w_0..w_L, s_1..s_L, x_1..x_2L} in which s_i -> w_i, and a
// chain {t_i, w_i, t_i+1, s_i+1} with t_i,w_i -> t_i+1,s_i+1: each step of the
// chain needs what the wide schema adds from the step before, so the wide
// schema's closure must go on from where it stopped, L times per test.
// Tested dependencies t_0,w_0,x_t -> g.
std::string zipper(int n, bool lost, unsigned seed) {
  const int length = std::max(1, n / 3);
  input in;
  in.schema(run_of("w", 0, length) + "," + run_of("s", 1, length) + "," +
            run_of("x", 1, 2 * length));
  for (int i = 1; i <= length; ++i) in.dependency(name("s", i), name("w", i));
  for (int i = 0; i < length; ++i) {
    const std::string next = name("t", i + 1) + "," + name("s", i + 1);
    const std::string step = name("t", i) + "," + name("w", i);
    in.schema(step + "," + next);
    in.dependency(step, next);
  }
  in.schema(goal_schema(name("t", length), "g", lost));
  in.dependency(name("t", length), "g");
  for (int t = 1; t <= 2 * length; ++t)
    in.dependency("t0,w0," + name("x", t), "g");
  return in.text(seed);
}

// The frame that the shapes below share, designed against an engine that
// takes a closure per schema: pads {h, e_j, p_j} (and extra, the same in
// every pad); a schema {w, e_1..e_P} with w -> e_1..e_P; for each of the
// tested dependencies h,q_t -> g a schema {q_t, w} with q_t -> w; and a goal
// schema {p_1..p_P, g} with p_1..p_P -> g. Each pad's part grows by its e_j,
// and the shape decides how hard p_j is to reach from there. Lost: the goal
// schema holds g alone.
struct pads_frame {
  int pads, tests;
  std::string extra;                     // names every pad holds besides
  std::string (*left)(int t, int pads);  // more names of test t's left side
};

void add_frame(input& in, const pads_frame& frame, bool lost) {
  for (int j = 1; j <= frame.pads; ++j)
    in.schema("h," + name("e", j) + "," + name("p", j) + frame.extra);
  in.schema("w," + run_of("e", 1, frame.pads));
  in.dependency("w", run_of("e", 1, frame.pads));
  const std::string sources = run_of("p", 1, frame.pads);
  in.schema(lost ? "g,lost" : sources + ",g");
  in.dependency(sources, "g");
  for (int t = 0; t < frame.tests; ++t) {
    in.schema(name("q", t) + ",w");
    in.dependency(name("q", t), "w");
    in.dependency("h," + name("q", t) + frame.left(t, frame.pads), "g");
  }
}

std::string nothing_more(int, int) { return ""; }

// The frame, where each pad's own closure reaches p_j only through a hub k
// that every pad reaches: e_j -> k and k,e_j -> p_j, so that k starts P
// dependencies.
std::string fan(int n, bool lost, unsigned seed) {
  input in;
  const int pads = std::max(1, n / 3);
  add_frame(in, {pads, pads, ",k", nothing_more}, lost);
  for (int j = 1; j <= pads; ++j) {
    in.dependency(name("e", j), "k");
    in.dependency("k," + name("e", j), name("p", j));
  }
  return in.text(seed);
}

// The chain that every pad's closure must walk: schemas {e_j, k} with
// e_j -> k, a chain {k, c_1}, {c_i, c_i+1} (k -> c_1, c_i -> c_i+1) of twice
// as many links as pads, and c_L,e_j -> p_j.
void add_chain_pads(input& in, int pads) {
  const int links = 2 * pads;
  for (int j = 1; j <= pads; ++j) {
    in.schema(name("e", j) + ",k");
    in.dependency(name("e", j), "k");
    in.dependency(name("c", links) + "," + name("e", j), name("p", j));
  }
  in.schema("k,c1");
  in.dependency("k", "c1");
  for (int i = 1; i < links; ++i) in.held_link(name("c", i), name("c", i + 1));
}

std::string chain_pads(int n, bool lost, unsigned seed) {
  input in;
  const int pads = std::max(1, n / 6);
  add_frame(in, {pads, pads, "", nothing_more}, lost);
  add_chain_pads(in, pads);
  return in.text(seed);
}

// Test t's left side also names the bits of t among b_0..b_9.
std::string bits_of(int t, int) {
  std::string names;
  for (int bit = 0; bit < 10; ++bit)
    if ((t + 1) >> bit & 1) names.append(",").append(name("b", bit));
  return names;
}

// Chain pads whose parts differ in every test: every pad holds b_0..b_9 and
// each left side names a different subset of them, so that no part repeats
// from one test to the next.
std::string masked_chain_pads(int n, bool lost, unsigned seed) {
  input in;
  const int pads = std::max(1, n / 7);
  add_frame(in,
            {pads, pads, std::string(",").append(run_of("b", 0, 9)), bits_of},
            lost);
  add_chain_pads(in, pads);
  return in.text(seed);
}

// The frame, where each pad reaches p_j through a name v that every pad
// reaches and whose right side is long: e_j -> v, v -> r_1..r_5P (held in
// one schema), v,e_j -> p_j.
std::string wide_right(int n, bool lost, unsigned seed) {
  input in;
  const int pads = std::max(1, n / 8);
  add_frame(in, {pads, 2 * pads, ",v", nothing_more}, lost);
  in.schema("v," + run_of("r", 1, 5 * pads));
  in.dependency("v", run_of("r", 1, 5 * pads));
  for (int j = 1; j <= pads; ++j) {
    in.dependency(name("e", j), "v");
    in.dependency("v," + name("e", j), name("p", j));
  }
  return in.text(seed);
}

// Pads {p_j, q_j, w_j, g_0..g_7} whose closures walk one long way,
// p_j -> z_1 -> ... -> z_L -> q_1..q_P (each link in a schema of its own),
// and that are not done when a test ends: w_j comes only at the end of a
// second chain, l -> y_1 -> y_2 -> y_3 -> w_1..w_P, after the goal. Test t,
// l,t_t,(the g's of t's bits) -> q_j, gives the pads a part that differs
// from one test to the next. Lost: q_P, the first test's goal, is left only
// in its pad, which lacks p_P.
std::string subset_pads(int n, bool lost, unsigned seed) {
  input in;
  const int pads = std::max(2, n / 5), links = pads;
  const std::string g = run_of("g", 0, 7);
  in.schema("l," + run_of("p", 1, pads));
  in.dependency("l", run_of("p", 1, pads) + ",y1");
  for (int j = 1; j <= pads; ++j) {
    const std::string tail = name("q", j) + "," + name("w", j) + "," + g;
    in.schema(lost && j == pads ? tail : name("p", j) + "," + tail);
    in.schema(name("p", j) + ",z1");
    in.dependency(name("p", j), "z1");
  }
  for (int i = 1; i < links; ++i) in.held_link(name("z", i), name("z", i + 1));
  in.schema(name("z", links) + "," + run_of("q", 1, lost ? pads - 1 : pads));
  in.dependency(name("z", links), run_of("q", 1, pads));
  in.schema("l,y1");
  for (int i = 1; i < 3; ++i) in.held_link(name("y", i), name("y", i + 1));
  in.schema("y3," + run_of("w", 1, pads));
  in.dependency("y3", run_of("w", 1, pads));
  for (int t = 0; t < pads; ++t) {
    std::string left = "l," + name("t", t);
    for (int bit = 0; bit < 8; ++bit)
      if ((t * 2654435761u >> 3) >> bit & 1) left += "," + name("g", bit);
    in.dependency(left, name("q", pads - t));
  }
  return in.text(seed);
}

// Pads {p_j, q_j, g_0..g_7} whose closures all walk one chain z_1..z_L
// (z_i -> z_i+1): each enters it by p_j,x -> z_1 and leaves it by
// z_L,p_j -> q_j, and x comes from any four of the g's (70 dependencies
// g_a,g_b,g_c,g_d -> x). l -> p_1..p_P, and G needs every q_j. Test t,
// l,a_t,(the g's of choice t mod 70) -> G, sorts and stands in the file as
// t, so that consecutive tests cycle through 70 parts of every pad, more
// than are remembered for one schema, and no part holds another.
std::string cycle_through_pads(int n, bool lost, unsigned seed,
                               bool links_held) {
  const int pads = std::max(1, n * 9 / 10), links = std::max(1, n / 3);
  const std::string g = run_of("g", 0, 7), ps = run_of("p", 1, pads),
                    qs = run_of("q", 1, pads), end = name("z", links);
  input in;
  in.schema("l," + ps);
  in.dependency("l", ps);
  for (int j = 1; j <= pads; ++j) {
    const std::string p = name("p", j), q = name("q", j);
    in.schema(p + "," + q + "," + g);
    in.schema(p + ",x,z1");
    in.dependency(p + ",x", "z1");
    in.schema(end + "," + p + "," + q);
    in.dependency(end + "," + p, q);
  }
  for (int i = 1; i < links; ++i) {
    if (links_held) in.schema(name("z", i) + "," + name("z", i + 1));
    in.dependency(name("z", i), name("z", i + 1));
  }
  in.schema(g + ",x");
  const std::vector<std::string> choices = four_of_eight("g");
  for (const std::string& choice : choices) in.dependency(choice, "x");
  in.schema(goal_schema(qs, "G", lost));
  in.dependency(qs, "G");
  const size_t width = std::to_string(n).size();
  for (int t = 0; t < n; ++t) {
    std::string a = std::to_string(t);
    a.insert(0, width - a.size(), '0');
    in.dependency_in_order("l,a" + a + "," + choices[t % choices.size()], "G");
  }
  return in.text(seed);
}

std::string cycling_pads(int n, bool lost, unsigned seed) {
  return cycle_through_pads(n, lost, seed, true);
}

// The cycling pads, but no schema holds a link of the chain: only the pads'
// closures walk it, and the links themselves are lost, as no schema holds
// what they derive. The tested dependencies sort before the links.
std::string unheld_cycling_pads(int n, bool lost, unsigned seed) {
  return cycle_through_pads(n, lost, seed, false);
}

// Pads {e_j, x, p_j, g_0..g_5}, schemas {e_j, k}, e_j -> k and
// k,e_j,x -> p_j: every pad's closure reaches k, which starts a dependency
// for every pad, and no schema holds k with p_j. Any three g's give x. A
// frame derives every e_j from f and needs every p_j for the goal; test t
// names f, a_t and the t-th of the twenty 3-subsets of the g's, so that the
// pads' parts start alike from the g's, part ways as e_j joins, and what
// their closures use cycles through twenty choices from one test to the
// next.
std::string fan_after_parting(int n, bool lost, unsigned seed) {
  const int pads = std::max(2, n);
  std::vector<std::string> threes;
  for (unsigned bits = 0; bits < 64; ++bits) {
    std::string list;
    for (int bit = 0; bit < 6; ++bit)
      if (bits >> bit & 1) list += "," + name("g", bit);
    const int count = std::popcount(bits);
    if (count == 3) threes.push_back(list);
  }
  input in;
  for (const std::string& three : threes) in.dependency(three.substr(1), "x");
  for (int j = 1; j <= pads; ++j) {
    const std::string e = name("e", j), p = name("p", j);
    in.schema(e + ",x," + p + "," + run_of("g", 0, 5));
    in.schema(e + ",k");
    in.dependency(e, "k");
    in.dependency("k," + e + ",x", p);
  }
  in.schema("f," + run_of("e", 1, pads));
  in.dependency("f", run_of("e", 1, pads));
  in.schema(goal_schema(run_of("p", 1, pads), "goal", lost));
  in.dependency(run_of("p", 1, pads), "goal");
  for (int t = 0; t < pads; ++t)
    in.dependency("f," + name("a", t) + threes[t % threes.size()], "goal");
  return in.text(seed);
}

// Pairs of schemas {u_j, y, m_j} and {u_j, y, n_j}, whose parts start as
// {u_j}: u_j -> c_1 enters a long chain held link by link ({u_j, c_1},
// {c_i, c_i+1}), and c_L,y,u_j -> m_j,n_j leaves it once y has joined. y
// comes at the end of a second chain from l, as long as the first; l gives
// every u_j, and the goal needs every m_j and n_j. Tests l,t_i -> goal.
std::string pairs_draining(int n, bool lost, unsigned seed) {
  const int pairs = std::max(1, n / 4), links = std::max(2, n / 4);
  input in;
  in.schema("l," + run_of("u", 1, pairs));
  in.dependency("l", run_of("u", 1, pairs) + ",v1");
  const std::string end = name("c", links);
  std::string targets;
  for (int j = 1; j <= pairs; ++j) {
    const std::string u = name("u", j), m = name("m", j), k = name("n", j);
    in.schema(u + ",y," + m);
    in.schema(u + ",y," + k);
    in.schema(u + ",c1");
    in.dependency(u, "c1");
    in.dependency(end + ",y," + u, m + "," + k);
    targets += (j > 1 ? "," : "") + m + "," + k;
  }
  for (int i = 1; i < links; ++i) in.held_link(name("c", i), name("c", i + 1));
  in.schema("l,v1");
  for (int i = 1; i < links; ++i) in.held_link(name("v", i), name("v", i + 1));
  in.schema(name("v", links) + ",y");
  in.dependency(name("v", links), "y");
  in.schema(goal_schema(targets, "goal", lost));
  in.dependency(targets, "goal");
  for (int t = 0; t < n; ++t) in.dependency("l," + name("t", t), "goal");
  return in.text(seed);
}

// Pads {e_j, p_j, g_0..g_7} with two ways to p_j. The short one: x, from any
// four g's (held with all eight), x,e_j -> a_j ({x, e_j, a_j}), a_j -> w_1,
// a chain w_1..w_L held link by link, and w_L,e_j -> p_j, which no schema
// holds. The long one, from e_j alone: e_j -> k ({e_j, k}), a chain k ->
// c_1..c_2L -> w_1. Test t, named to sort first, names f (which gives every
// e_j) and the t-th choice of four g's: each pad's closure takes the short
// way, whose names cycle through seventy choices, so nothing it learns
// serves the next test. Only w_L,e_j -> p_j, found preserved through the
// long way, makes them cheap, and it sorts after them.
std::string two_ways(int n, bool lost, unsigned seed) {
  const int pads = std::max(2, n / 3), links = pads;
  const std::string g = run_of("g", 0, 7), end = name("w", links);
  const std::vector<std::string> choices = four_of_eight("g");
  input in;
  in.schema(g + ",x");
  for (const std::string& choice : choices) in.dependency(choice, "x");
  for (int j = 1; j <= pads; ++j) {
    const std::string e = name("e", j), a = name("a", j);
    in.schema(e + "," + name("p", j) + "," + g);
    in.schema(e + ",k");
    in.dependency(e, "k");
    in.schema("x," + e + "," + a);
    in.dependency("x," + e, a);
    in.schema(a + ",w1");
    in.dependency(a, "w1");
    in.dependency(end + "," + e, name("p", j));
  }
  for (int i = 1; i < links; ++i) in.held_link(name("w", i), name("w", i + 1));
  in.schema("k,c1");
  in.dependency("k", "c1");
  for (int i = 1; i < 2 * links; ++i)
    in.held_link(name("c", i), name("c", i + 1));
  in.schema(name("c", 2 * links) + ",w1");
  in.dependency(name("c", 2 * links), "w1");
  in.schema("f," + run_of("e", 1, pads));
  in.dependency("f", run_of("e", 1, pads));
  in.schema(goal_schema(run_of("p", 1, pads), "goal", lost));
  in.dependency(run_of("p", 1, pads), "goal");
  const size_t width = std::to_string(pads).size();
  for (int t = 0; t < pads; ++t) {
    std::string a = std::to_string(t);
    a.insert(0, width - a.size(), '0');
    in.dependency_in_order("A" + a + ",f," + choices[t % choices.size()],
                           "goal");
  }
  std::string text = in.text(seed);
  // The tests first: move the lines kept in order before the others.
  const size_t tests = text.find("\nA") + 1;
  const size_t separator = text.find("\n\n") + 2;
  return text.substr(0, separator) + text.substr(tests) +
         text.substr(separator, tests - separator);
}

// A dense pool: 150 names of one byte each, 27 / 100 of n schemas of five
// of them, and dependencies x,y -> z from distinct pairs, as many as n
// allows (at most one per pair). Between 50 and 100 KB the closure of
// almost any pair becomes the whole pool, and a test's derived set grows to
// about half the pool before it holds the right side: every test looks at
// nearly every schema and takes its bound over nearly every dependency,
// while the file is thirteen thousand short lines. The
// dependencies of the input kept are drawn from pairs that a schema holds,
// and most are then preserved; those of the other from any pair, and about
// one in seven is lost. The verdicts are the pool's own. With rare set,
// nineteen of twenty right sides are drawn from ten names that schemas hold
// one tenth as often as the others.
std::string pool_of_pairs(int n, bool lost, unsigned seed, bool rare) {
  std::vector<std::string> names;
  for (int c = 0x21; c < 0x100 && names.size() < 150; ++c)
    if (c < 0x7f ? c != ',' && c != '-' && c != '>' : c >= 0x80)
      names.emplace_back(1, static_cast<char>(c));
  const int count = static_cast<int>(names.size());
  std::mt19937 random(static_cast<unsigned>(n));
  input in;
  std::vector<bool> held_pair(count * count), used_pair(count * count);
  for (int k = 0; k < std::max(1, n * 27 / 100); ++k) {
    std::vector<int> picked(count);
    std::iota(picked.begin(), picked.end(), 0);
    std::string line;
    for (int i = 0; i < 5; ++i) {
      do {
        std::swap(picked[i], picked[i + random() % (count - i)]);
      } while (rare && picked[i] < 10 && random() % 10 != 0);
      line += (i ? "," : "") + names[picked[i]];
      for (int j = 0; j < i; ++j)
        held_pair[picked[i] * count + picked[j]] =
            held_pair[picked[j] * count + picked[i]] = true;
    }
    in.schema(line);
  }
  for (int k = 0, misses = 0; k < n && misses < 100'000;) {
    const int x = random() % count, y = random() % count,
              z = rare && random() % 20 != 0 ? random() % 10 : random() % count;
    if (x == y || z == x || z == y || used_pair[x * count + y] ||
        (!lost && !held_pair[x * count + y])) {
      ++misses;
      continue;
    }
    used_pair[x * count + y] = used_pair[y * count + x] = true;
    in.dependency(names[x] + "," + names[y], names[z]);
    ++k;
  }
  return in.text(seed);
}

std::string dense_pool(int n, bool lost, unsigned seed) {
  return pool_of_pairs(n, lost, seed, false);
}

std::string rare_right_pool(int n, bool lost, unsigned seed) {
  return pool_of_pairs(n, lost, seed, true);
}

}  // namespace

const hostile_shape* shape_named(std::string_view name) {
  for (const hostile_shape& shape : hostile_shapes())
    if (name == shape.name) return &shape;
  return nullptr;
}

const std::vector<hostile_shape>& hostile_shapes() {
  static const std::vector<hostile_shape> shapes = {
      {"hub", "pads share h, whose closure reaches g", hub, 100'000},
      {"rounds", "pads grow in 14 rounds", rounds, 100'000},
      {"wide chain", "a wide schema grows one name per step", wide_chain,
       100'000},
      {"wide", "n dependencies inside one schema", wide, 1'400'000},
      {"chain", "a closure that waits for an underivable name", chain,
       1'400'000},
      {"shared start", "pads whose common closure runs down a chain",
       shared_start, 100'000},
      {"parting", "pads part ways after a common closure", parting, 100'000},
      {"zipper", "a wide schema needed at every step of a chain", zipper,
       100'000},
      {"fan", "pads whose closures meet at a hub with many dependents", fan,
       100'000},
      {"chain pads", "pads whose closures walk one long chain", chain_pads,
       100'000},
      {"masked pads", "chain pads whose parts differ in every test",
       masked_chain_pads, 100'000},
      {"wide right", "pads whose closures reach one long right side",
       wide_right, 100'000},
      {"subset pads", "unfinished pads whose parts differ in every test",
       subset_pads, 100'000},
      {"cycling pads", "chain pads whose parts cycle through 70 choices",
       cycling_pads, 100'000},
      {"unheld cycle", "cycling pads whose chain no schema holds",
       unheld_cycling_pads, 100'000, false},
      {"fan parting", "pads that part ways, then meet at a busy name",
       fan_after_parting, 100'000},
      {"pairs drain", "pairs whose shared closure walks a long chain",
       pairs_draining, 100'000},
      {"two ways", "pads with a cycling short way and a verified long one",
       two_ways, 100'000},
      {"cycle path", "a cycle of names walked by a path of pair schemas",
       cycle_path, 100'000},
      {"hub cycle", "a name in every schema, on a cycle through all", hub_cycle,
       100'000},
      {"ping pong", "two wide schemas that take turns, one name each",
       ping_pong, 100'000},
      {"wide cycle", "a cycle in a wide schema, each step tagged by a pair",
       wide_cycle, 100'000},
      {"cycle under a name", "a cycle whose every step needs one name more",
       cycle_under_a_name, 100'000},
      {"under two names", "a cycle whose every step needs two names more",
       cycle_under_two_names, 100'000},
      {"lost cycle", "a cycle in a wide schema that every dependency loses",
       lost_around_a_cycle, 100'000},
      {"key cycle", "a key in every schema, a third of a cycle per test",
       key_cycle, 100'000, false},
      {"chain to a tag", "a chain in a wide schema, each step asking a tag",
       chain_to_a_tag, 100'000},
      {"chain jumps", "a chain of pairs whose every step also jumps ahead",
       chain_jumps, 100'000},
      {"chain to its end", "a chain of pairs whose every step asks its end",
       chain_to_its_end, 100'000},
      {"hub chain", "pads that hold the start of one long chain", hub_chain,
       100'000},
      {"wide reach", "a bound that holds a pool that every schema holds",
       wide_reach, 100'000, false},
      {"chain starts", "pads that each hold three of 20 chain starts",
       chain_starts, 100'000},
      {"chain entries", "pairs of a pool that enter one chain anywhere",
       chain_entries, 100'000},
      {"gated cycle", "a wide cycle whose links need a name held apart",
       gated_cycle, 100'000, false},
      {"gated chain", "steps that each walk an unheld chain of two-name links",
       gated_chain, 100'000, false},
      {"ring of schemas", "a cycle that goes round a ring of wide schemas",
       ring_of_schemas, 100'000},
      {"decoys", "schemas that hold the right side, whose closures run wide",
       decoys, 100'000},
      {"named decoys", "decoys that also hold every test's own name",
       named_decoys, 100'000},
      {"dense pool", "one-byte names whose every pair closes the pool",
       dense_pool, 100'000, false},
      {"rare right", "a dense pool whose right sides few schemas hold",
       rare_right_pool, 100'000, false},
  };
  return shapes;
}

std::string make_shape(const hostile_shape& shape, size_t bytes, bool lost,
                       unsigned seed) {
  // Sizes grow nearly in proportion to n (names get longer), so a few
  // rescalings find n for the size.
  int n = 64;
  std::string text = shape.make(n, lost, seed);
  for (int step = 0; step < 3; ++step) {
    n = std::max<int>(
        6, static_cast<int>(static_cast<double>(bytes) / text.size() * n));
    text = shape.make(n, lost, seed);
  }
  return text;
}
