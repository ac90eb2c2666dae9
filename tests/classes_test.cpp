// The classes of names that every derived set takes in together.
#include "classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graph.h"
#include "reading.h"

namespace {

// The classes of an input as text: for each line of names, in the input's
// own words, whether they are one class. Also checks that the links of a
// class join names of the schema they name, and form a tree.
struct classes_case {
  const char* input;
  std::vector<std::string> together, apart;  // pairs "a b"
};

class classes_of {
 public:
  explicit classes_of(const std::string& text)
      : in_(read_input_text(text, "input")), graph_(in_.model),
        classes_(graph_) {}

  bool together(const std::string& pair) const {
    const size_t blank = pair.find(' ');
    number a, b;
    EXPECT_TRUE(in_.model.names.find(pair.substr(0, blank), a) &&
                in_.model.names.find(pair.substr(blank + 1), b))
        << pair;
    return classes_.any() && classes_.class_of(a) == classes_.class_of(b);
  }

  // Every link joins two names its schema holds; a class of k names has
  // k - 1 links, each listed from both ends.
  void expect_a_forest() const {
    if (!classes_.any()) return;
    std::vector<size_t> names(graph_.name_count()), ends(graph_.name_count());
    for (number a = 0; a < graph_.name_count(); ++a) {
      ++names[classes_.class_of(a)];
      for (const name_classes::link& l : classes_.links(a)) {
        EXPECT_TRUE(graph_.holds(l.schema, a) &&
                    graph_.holds(l.schema, l.attribute));
        EXPECT_EQ(classes_.class_of(a), classes_.class_of(l.attribute));
        ++ends[classes_.class_of(a)];
      }
    }
    for (number c = 0; c < graph_.name_count(); ++c)
      EXPECT_EQ(ends[c], names[c] == 0 ? 0 : 2 * (names[c] - 1));
  }

  // Between any two names of a class, the way goes link by link from one
  // to the other, and no name on it twice.
  void expect_ways() const {
    if (!classes_.any()) return;
    std::vector<name_classes::link> steps;
    for (number a = 0; a < graph_.name_count(); ++a)
      for (number b = 0; b < graph_.name_count(); ++b) {
        if (classes_.class_of(a) != classes_.class_of(b)) continue;
        classes_.path(a, b, steps);
        number at = a;
        std::vector<bool> met(graph_.name_count());
        met[a] = true;
        for (const name_classes::link& step : steps) {
          const auto links = classes_.links(at);
          EXPECT_TRUE(std::any_of(links.begin(), links.end(), [&](auto l) {
            return l.attribute == step.attribute && l.schema == step.schema;
          }));
          EXPECT_FALSE(met[step.attribute]);
          met[step.attribute] = true;
          at = step.attribute;
        }
        EXPECT_EQ(at, b);
      }
  }

 private:
  input in_;
  dependency_graph graph_;
  name_classes classes_;
};

TEST(Classes, JoinNamesOfASchemaThatDeriveEachOtherAlone) {
  const classes_case cases[] = {
      // A cycle inside one schema.
      {"a,b\n\na->b\nb->a\n", {"a b"}, {}},
      // A longer cycle, through a name no schema holds.
      {"a,b\n\na->x\nx->b\nb->a\n", {"a b"}, {"a x"}},
      // Names that derive each other but share no schema are apart, unless
      // schemas link them one pair at a time.
      {"a,c\nb,c\n\na->b\nb->a\n", {}, {"a b", "a c"}},
      {"a,b\nb,c\n\na->b\nb->c\nc->a\n", {"a b", "b c", "a c"}, {}},
      {"c,d\na,b\nd,e\nb,c\n\na->b\nb->c\nc->d\nd->e\ne->a\n",
       {"a e", "b d"},
       {}},
      // One way only, or through a left side of two names: apart.
      {"a,b\n\na->b\n", {}, {"a b"}},
      {"a,b,c\n\na,c->b\nb->a\n", {}, {"a b"}},
      // Right sides of several names, and a schema with two classes.
      {"a,b,c,d\n\na->b,c\nb->a\nc->d\nd->c\n", {"a b", "c d"}, {"a c"}},
  };
  for (const classes_case& c : cases) {
    SCOPED_TRACE(c.input);
    const classes_of classes(c.input);
    for (const std::string& pair : c.together)
      EXPECT_TRUE(classes.together(pair)) << pair;
    for (const std::string& pair : c.apart)
      EXPECT_FALSE(classes.together(pair)) << pair;
    classes.expect_a_forest();
    classes.expect_ways();
  }
}

}  // namespace
