// The classes of names that every derived set takes in together.
#include "classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "contexts.h"
#include "definition.h"
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

// Classes under a name, as text: "c: a b" is whether a and b are in one
// class under c.
class contexts_of {
 public:
  explicit contexts_of(const std::string& text)
      : in_(read_input_text(text, "input")), graph_(in_.model),
        contexts_(graph_) {}

  number named(const std::string& name) const {
    number a = kNone;
    EXPECT_TRUE(in_.model.names.find(name, a)) << name;
    return a;
  }

  bool together(const std::string& triple) const {
    const size_t colon = triple.find(": "), blank = triple.rfind(' ');
    std::vector<number> names;
    const std::string context = triple.substr(0, colon);
    for (size_t at = 0; at <= context.size();) {
      const size_t comma = std::min(context.find(',', at), context.size());
      names.push_back(named(context.substr(at, comma - at)));
      at = comma + 1;
    }
    std::sort(names.begin(), names.end());
    const number c = contexts_.context_of(names);
    if (c == kNone) return false;
    const number k =
        contexts_.class_of(c, named(triple.substr(colon + 2, blank - colon - 2)));
    return k != kNone && k == contexts_.class_of(c, named(triple.substr(blank + 1)));
  }

  // Every way between two names of a class under c goes link by link, each
  // link in a schema that holds c and both its names.
  void expect_ways() const {
    std::vector<name_classes::link> steps;
    for (number c = 0; c < contexts_.context_count(); ++c)
      for (number a = 0; a < graph_.name_count(); ++a)
        for (number b = 0; b < graph_.name_count(); ++b) {
          const number k = contexts_.class_of(c, a);
          if (k == kNone || k != contexts_.class_of(c, b)) continue;
          contexts_.path(c, a, b, steps);
          number at = a;
          for (const name_classes::link& step : steps) {
            for (number name : contexts_.names_of(c))
              EXPECT_TRUE(graph_.holds(step.schema, name));
            EXPECT_TRUE(graph_.holds(step.schema, at) &&
                        graph_.holds(step.schema, step.attribute));
            at = step.attribute;
          }
          EXPECT_EQ(at, b);
        }
  }

  const input& in() const { return in_; }
  const context_classes& contexts() const { return contexts_; }

 private:
  input in_;
  dependency_graph graph_;
  context_classes contexts_;
};

TEST(Classes, UnderANameJoinNamesThatLeadToEachOtherWithIt) {
  const classes_case cases[] = {
      // A cycle under c, in schemas that hold c: one class, though no schema
      // holds the dependencies.
      {"c,a,b\nc,b,d\n\nc,a->b\nc,b->d\nc,d->a\n",
       {"c: a b", "c: b d", "c: a d"},
       {}},
      // A schema without c links nothing, and one way is not enough.
      {"a,b\nc,b,d\n\nc,a->b\nc,b->d\nc,d->a\n", {"c: b d"}, {"c: a b"}},
      {"c,a,b\n\nc,a->b\n", {}, {"c: a b"}},
      // Under the other name of the left sides, c leads nowhere.
      {"c,a,b\n\nc,a->b\nc,b->a\n", {"c: a b"}, {"a: c b", "b: c a"}},
      // A left side of three names leads under the other two.
      {"c,a,b\n\nc,a,e->b\nc,b->a\n", {}, {"c: a b"}},
      {"c,e,a,b\n\nc,a,e->b\nc,b,e->a\n", {"c,e: a b"}, {"c: a b"}},
  };
  for (const classes_case& c : cases) {
    SCOPED_TRACE(c.input);
    const contexts_of contexts(c.input);
    for (const std::string& triple : c.together)
      EXPECT_TRUE(contexts.together(triple)) << triple;
    for (const std::string& triple : c.apart)
      EXPECT_FALSE(contexts.together(triple)) << triple;
    contexts.expect_ways();
  }
}

// On random inputs of two-name left sides, every class under c holds only
// names of which the passes derive each from c and any other.
TEST(Classes, UnderANameHoldOnlyWhatThePassesDerive) {
  std::mt19937 random(20261209);
  const char* names[] = {"c", "a", "b", "d", "e", "f"};
  const auto pick = [&] { return std::string(names[random() % 6]); };
  int classes = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    // Most schemas and left sides hold c, so that classes under it form.
    for (int s = 0; s < 5; ++s)
      text += (s < 4 ? "c" : pick()) + "," + pick() + "," + pick() + "\n";
    text += "\n";
    for (int d = 0; d < 8; ++d)
      text += (d < 6 ? "c" : pick()) + "," + pick() +
              (d % 3 == 2 ? "," + pick() : "") + "->" + pick() + "\n";
    decomposition schemas;
    dependency_map map;
    ASSERT_TRUE(read_input(text, schemas, map));
    const contexts_of contexts(text);
    const numbered_input& model = contexts.in().model;
    for (number c = 0; c < contexts.contexts().context_count(); ++c)
      for (number a = 0; a < model.names.size(); ++a)
        for (number b = 0; b < model.names.size(); ++b) {
          const number k = contexts.contexts().class_of(c, a);
          if (k == kNone || a == b || k != contexts.contexts().class_of(c, b))
            continue;
          ++classes;
          std::string c_a(model.names.name(a));
          for (number name : contexts.contexts().names_of(c))
            c_a += "," + std::string(model.names.name(name));
          EXPECT_TRUE(derived_by_passes(schemas, map, schema(c_a))
                          .contains(schema(model.names.name(b))))
              << text << "under " << c_a;
        }
  }
  EXPECT_GT(classes, 100);
}

}  // namespace
