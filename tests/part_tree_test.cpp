// The tree of the parts whose closures start together.
#include "part_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The nodes from the top down to where part i ends, each as its names, one
// letter a name, joined by '/'.
std::string path_of(const part_tree& tree, const std::vector<number>& names,
                    size_t i) {
  std::string path;
  for (number n = tree.node_of(i); n != kNone; n = tree.nodes()[n].parent) {
    std::string node;
    for (number k = tree.nodes()[n].begin; k < tree.nodes()[n].end; ++k)
      node += static_cast<char>('a' + names[k]);
    path = path.empty() ? node : node + "/" + path;
  }
  return path;
}

TEST(PartTree, SharesWhatPartsBeginWith) {
  const struct {
    std::vector<std::string> parts, paths;
    std::string leading = "";  // names that come first whatever their count
  } cases[] = {
      // The name that all hold comes first, wherever it stood.
      {{"ha", "hb", "ch"}, {"h/a", "h/b", "h/c"}},
      {{"a", "b"}, {"a", "b"}},
      // Equal parts end at one node.
      {{"ab", "ba", "c"}, {"ab", "ab", "c"}},
      // Beginnings within beginnings.
      {{"hxa", "hxb", "hy"}, {"h/x/a", "h/x/b", "h/y"}},
      // A part can end where others go on.
      {{"h", "ha", "hb"}, {"h", "h/a", "h/b"}},
      {{"", "a", ""}, {"", "a", ""}},
      // Names that lead somewhere come before the others.
      {{"hp", "hq", "pq"}, {"h/p", "h/q", "pq"}},
      {{"hp", "hq", "pq"}, {"hp", "q/h", "q/p"}, "q"},
      // No node has more than four above it: the deepest goes on from the
      // fourth.
      {{"a", "ab", "abc", "abcd", "abcde", "abcdef"},
       {"a", "a/b", "a/b/c", "a/b/c/d", "a/b/c/d/e", "a/b/c/d/ef"}},
  };
  for (const auto& c : cases) {
    std::vector<number> names;
    std::vector<part_tree::range> parts;
    for (const std::string& part : c.parts) {
      const number begin = static_cast<number>(names.size());
      for (char letter : part)
        names.push_back(static_cast<number>(letter - 'a'));
      parts.push_back({begin, static_cast<number>(names.size())});
    }
    part_tree tree(26);
    for (char letter : c.leading)
      tree.mark_leading(static_cast<number>(letter - 'a'));
    tree.build(names, parts);
    for (size_t i = 0; i < parts.size(); ++i)
      EXPECT_EQ(path_of(tree, names, i), c.paths[i]) << c.parts[i];
    for (size_t i = 0; i < tree.nodes().size(); ++i) {
      const number parent = tree.nodes()[i].parent;
      EXPECT_TRUE(parent == kNone || parent < i) << "a parent comes first";
    }
  }
}

}  // namespace
