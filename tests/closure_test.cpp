// Closures that go on from finished ones: a node reaches what the closure of
// its own and its parents' starts reaches, whichever node a dependency of
// two names (which keeps no place) or more waited in.
#include "closure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "graph.h"
#include "reading.h"

TEST(ClosureNodes, ReachWhatTheirStartsAndTheirParentsReach) {
  std::mt19937 random(7);
  const auto names = [&](int most) {  // of a to h, all held by one schema
    std::string side;
    for (int i = 0, count = 1 + random() % most; i < count; ++i)
      side += (i ? "," : "") + std::string(1, 'a' + random() % 8);
    return side;
  };
  for (int trial = 0; trial < 400; ++trial) {
    std::string text = "a,b,c,d,e,f,g,h\n\n";
    for (int i = 0, count = 3 + random() % 8; i < count; ++i)
      text += names(3) + "->" + names(2) + "\n";
    const input in = read_input_text(text, "closures");
    const dependency_graph graph(in.model);
    work_count work;
    closure_nodes nodes(graph, work);
    closure fresh(graph.closing(), graph.name_count(), work);
    std::vector<std::vector<number>> starts;  // per node, with its parents'
    const auto grow = [&](number parent) {
      const number n = nodes.add(parent);
      starts.push_back(parent == kNone ? std::vector<number>{}
                                       : starts[parent]);
      for (int i = 0, count = random() % 3; i < count; ++i) {
        starts[n].push_back(random() % 8);
        nodes.reach(n, starts[n].back(), kNone, true);
      }
      while (nodes.pending(n))
        nodes.process_next(
            n, [&](number a) { return graph.closing().first[a]; },
            [&](number a, number d) {
              nodes.reach(n, a, d, true);
              return true;
            });
      return n;
    };
    // A root, children of it, and a grandchild of the first child.
    const number root = grow(kNone), first = grow(root);
    grow(root);
    grow(first);
    for (number n = 0; n < nodes.size(); ++n) {
      std::sort(starts[n].begin(), starts[n].end());
      starts[n].erase(std::unique(starts[n].begin(), starts[n].end()),
                      starts[n].end());
      fresh.compute(starts[n]);
      for (number a = 0; a < 8; ++a)
        EXPECT_EQ(nodes.reached(n, a), fresh.reached().contains(a))
            << text << "node " << n << ", name " << in.model.names.name(a);
    }
  }
}
