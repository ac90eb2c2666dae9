// One preservation test after another on one input: the working state of
// the test that preservation.h describes, reused from one dependency to the
// next, and what it leaves for an explanation.
//
// What it keeps true: the derived set only grows within a test, and every
// name joins it through a rule or a closure of a schema's part, or it is
// the last lost derived set, taken whole by a traced test whose left side
// and the one that set came from each lie in the other's derived set, or a
// kept lost set (lost_sets.h) that holds the left side and that it reaches; a
// derived set that no dependency leads out of is complete; a schema whose
// every name of the bound is derived adds nothing more; a closure that
// others go on from changes no more.
//
// What it costs: see preservation.h. Its state is stamped, so a test costs
// what it touches; the closures' state is collected once it outgrows a
// limit in proportion to the input, and the limit doubles when what lives
// takes more than half of it.
#ifndef FDKEEP_PRESERVATION_TEST_H_
#define FDKEEP_PRESERVATION_TEST_H_

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bounds.h"
#include "classes.h"
#include "closure.h"
#include "contexts.h"
#include "graph.h"
#include "lost_sets.h"
#include "part_tree.h"
#include "preservation.h"
#include "relevance.h"
#include "rules.h"
#include "scratch.h"

class byte_order;

class preservation_test {
 public:
  // The longest left side that classes under its names are asked for: each
  // name of the right side costs a look per pair of its names.
  static constexpr size_t kContextLeft = 8;

  // Tests the dependencies of graph, which must outlive it; counts its work
  // in work. The closures' state is first collected once it holds more than
  // state_limit entries; by default a limit in proportion to the input.
  preservation_test(const dependency_graph& graph, work_count& work,
                    size_t state_limit = 0);

  // How a test ends; first when it asks for other dependencies to be tested
  // first.
  enum class result {
    within_left_side,
    inside_one_schema,
    derived,
    lost,
    first
  };

  // A name joining the derived set: the schema whose closure added it, and
  // how: reached in node through the closing dependency cause; when node is
  // kNone, by the rule cause; when node is kLinked, from the name cause,
  // which the schema links it to, under the context under (contexts.h) if
  // that is not kNone.
  struct joined {
    number schema, attribute, node, cause;
    number under = kNone;  // linked: the context the link is under, if any
  };
  static constexpr number kLinked = kNone - 1;
  // node when the schema holds a name of the class of each name of the
  // left side: its closure reaches the left side, and the dependency under
  // test gives the name.
  static constexpr number kThroughLeft = kNone - 2;

  // Tests dependency. With a trace, records in order each name that joins
  // the derived set and how, uses no rule that stands for a derivation of
  // its own (a dependency found preserved), and does not stop at a right
  // side that no schema holds, so that a lost dependency's derived set is
  // complete. Without a trace, remembers a dependency it finds preserved as
  // a rule. With ask_first, a test that the rules do not decide, while its
  // derived set already applies dependencies not tested yet, ends with first
  // and lists them in first(): tested before it, those preserved are rules
  // when it is tested again.
  result test(number dependency, std::vector<joined>* trace,
              bool ask_first = false);

  // The dependencies that the last test asked to be tested first; they wait
  // until they are tested, and no later test asks for them again.
  const std::vector<number>& first() const { return first_; }

  // True when dependency has been tested, and not only asked for.
  bool tested(number dependency) const {
    return state_[dependency] == kDecided;
  }

  // The derived set of the last test.
  const stamped_set& derived() const { return derived_; }
  // The schema that holds both sides, after inside_one_schema.
  number holder() const { return holder_; }

  // Puts into report the steps of the last test's trace, which derived the
  // dependency's right side, that the right side needs, in order, and the
  // names they add, each step's in the ascending byte order of names, as
  // far as listed says; consecutive steps of one schema become one.
  void needed_steps(number dependency, byte_order& names,
                    dependency_report& report, const listing& listed = {});

 private:
  // What a closure node serves: the schemas whose closure it is.
  struct node_info {
    number residents = 0;                  // schemas, still adding
    number first_resident = 0, slots = 0;  // in residents_, some gone
    number part_begin = 0, part_size = 0;  // in parts_, for shared starts
    number living_children = 0;
    number followers = kNone;  // in followers_: schemas whose nodes go on
                               // from it, at any depth, since the start
    number follower_count = 0;
    number schema = kNone;   // the one schema of a node of its own
    bool shared = false;     // others go on from it: it must not change
    bool waiting = false;    // on ready_
    bool complete = false;   // it has processed every name it reached
    bool told = false;       // remembered whole once it was first complete
    bool collected = false;  // dropped, with what it held
  };

  // preservation_test.cpp: the flow of a test.
  result decide(number dependency, std::vector<joined>* trace, bool ask_first,
                bool narrow = true);
  bool untested_applied();
  bool narrows(uint64_t spent);
  result verified(number dependency);
  void start_closures();
  void derive_only(std::span<const number> left);
  bool derives_the_last_lost_set(std::span<const number> left);
  bool derives_a_kept_lost_set(std::span<const number> left);
  bool derives_by_classes(std::span<const number> left,
                          std::span<const number> origin);
  bool apply_rules();
  bool apply_rules_to_z();
  // True once closures have begun and an aimed schema waits to be served.
  bool aimed_waiting() const {
    return bounded_ &&
           (!aimed_grows_.empty() || aimed_head_ < aimed_ready_.size());
  }
  bool closed_under_dependencies();
  void index_uncovered();
  // Fires rule, or defers it when it is a verified rule that gives no name
  // of the right side; false once the right side is derived.
  bool fire(number rule);
  bool fire_now(number rule, number schema);
  bool fire_verified(number rule);
  bool grow_for_the_right_side();
  bool grow_from_the_bound();
  bool grow_to_the_end();

  // part_closures.cpp: the closures of the schemas' parts.
  void start_schemas(number first);
  void look_at(number s);
  void useful_part(number s, std::vector<number>& part) const;
  void list_residents(number first);
  void seed(number n);
  void close(number n);
  void run(number n);
  bool alive(number n) const;
  // The dependencies starting with attribute that closures follow in this
  // test: those the bound applied, and when narrowed, only the relevant.
  std::span<const number> followed(number attribute) {
    return narrowed_ ? relevant_->starting(followed_, attribute)
                     : followed_.starting(attribute);
  }
  void collect();
  void note_state() {
    work_.peak_state = std::max<uint64_t>(work_.peak_state, nodes_->state());
  }
  void reach(number n, number attribute, number cause);
  void offer(number n, number attribute, number cause, bool own_holds);
  bool serves(number n, number s) const;
  void derive(number attribute, const joined& how);
  void count_down(number attribute);
  void done(number s);
  void grow(number s, number attribute);
  number own_node(number s, number parent);
  void leave(number n);

  // links.cpp: the classes in a test.
  void make_classes();
  bool within_classes(std::span<const number> left);
  bool within_classes(std::span<const number> left, number attribute,
                      size_t& budget, number& rule, number& through);
  bool in_context_class(std::span<const number> left, number attribute,
                        number& c, number& from);
  void derive_along_links(std::span<const number> left);
  void derive_along_a_path(std::span<const number> left, number attribute);
  number given_within_classes(number attribute, size_t& budget);
  number holding_the_left_classes(std::span<const number> left,
                                  number attribute, size_t& budget);
  number held_of_class(number s, number attribute) const;
  bool follow_links(number attribute);
  bool follow_any_links(number attribute);
  bool follow_links_under(number context, number attribute);
  bool holds_context(number context);

  // memory.cpp: what a test leaves for the next.
  bool answered_by_memory(number s);
  number newest_answer(number s);
  bool answers(number s, number attribute) const;
  void remember(number s, number n, bool whole);
  void remember_unfinished();
  bool unfinished(number n, number s) const;
  template <typename Use>
  void for_residents(number n, Use use);
  void split_reached(number s, number n);
  void ascending_in(number s, std::vector<number>& names);
  void retire(number n);

  // derivation.cpp: what an explanation needs.
  void need(number attribute);
  void trace_back(number n, number cause, number s, number k);

  const dependency_graph& graph_;
  work_count& work_;
  // C, the closure of Z's held names under the closing dependencies, and the
  // closures of the schemas' parts; made when a test first needs them.
  std::optional<bounds> bound_;
  std::optional<closure_nodes> nodes_;
  followed_dependencies followed_;  // what C applied, by first name
  // The names that can lead to the right side (relevance.h), made with the
  // closures; narrowed_ when this test's closures follow only theirs.
  std::optional<relevant_names> relevant_;
  bool narrowed_ = false;
  rule_base rules_;
  std::optional<name_classes> classes_;      // made with the closures
  std::optional<context_classes> contexts_;  // and these with them
  marks left_classes_;

  stamped_set derived_;  // Z, the derived set of the dependency under test
  // The left side and the derived set of the last traced test that was
  // lost, when there is one; derived_ holds that set until the next test.
  std::vector<number> last_lost_left_;
  stamped_set last_lost_;
  bool has_last_lost_ = false, derived_is_lost_ = false;
  lost_sets lost_;      // whole derived sets of costly tests found lost
  bool whole_ = false;  // the test was lost with its whole derived set
  size_t applied_ = 0;      // the names of Z the rules have looked at
  stamped_set wanted_;      // right-side names not in the left side
  size_t wanted_left_ = 0;  // those not derived yet
  bool bounded_ = false;    // C is computed and schemas are counted
  bool from_z_ = false;     // schemas are looked at once they hold a name of Z
  stamped_set seen_;        // schemas looked at in this test
  std::vector<number> missing_;     // per schema seen: names of C not derived
  std::vector<number> node_of_;     // per schema seen: its node, or kNone
  marks answered_;                  // schemas a whole rule answers, no node
  marks asked_once_, asked_twice_;  // schemas that asked the whole rules
  std::vector<number> answer_of_;   // per schema answered: that rule
  marks retired_;                   // schemas whose node was dropped
  marks aimed_;  // schemas that hold a name of the right side
  std::vector<node_info> info_;
  // The schemas whose closures start together, and their parts in parts_,
  // arranged by tree_.
  std::vector<number> starts_;
  std::vector<part_tree::range> ranges_;
  part_tree tree_;
  std::vector<number> parts_;      // the parts that nodes start from
  std::vector<number> residents_;  // the schemas of each node, together
  std::vector<std::pair<number, number>> followers_;  // schema, next
  std::vector<number> ready_;  // nodes with names to process
  size_t ready_head_ = 0;
  std::vector<number> aimed_ready_;  // of those, the nodes of aimed schemas
  size_t aimed_head_ = 0;
  std::vector<std::pair<number, number>> grows_;  // schema, attribute
  std::vector<std::pair<number, number>> aimed_grows_;  // of aimed schemas
  size_t grow_head_ = 0;
  std::vector<number> to_fire_;  // whole rules that answered, to be fired
  // Verified rules whose key joined Z but that give no name of the right
  // side: fired once the other rules have nothing more to add.
  std::vector<number> deferred_;
  std::vector<number> part_, gained_, used_, key_, stack_, scratch_;
  // The nodes that close() finishes first: its own, as what a run derives
  // may learn rules, which use scratch_.
  std::vector<number> unfinished_above_;
  std::vector<name_classes::link> path_;  // a way along links
  std::vector<number> rest_;              // a left side but one name
  marks traced_, picked_;
  size_t state_limit_;
  std::vector<joined>* trace_ = nullptr;
  number holder_ = kNone;

  // Per name: the closing dependencies whose first name it is and that no
  // schema rule stands for; indexed on the first call.
  table uncovered_;

  // For needed_steps().
  marks in_left_, needed_, joined_, kept_;
  std::vector<number> joined_at_;
  bool joined_indexed_ = false;  // joined_ and joined_at_ are this trace's

  // Per dependency: untested, waiting for a test that asked for it, tested.
  static constexpr uint8_t kUntested = 0, kWaiting = 1, kDecided = 2;
  std::vector<uint8_t> state_;
  std::vector<number> first_;
};

// Calls use(s) for each schema s that node n was started or made for and
// still serves.
template <typename Use>
void preservation_test::for_residents(number n, Use use) {
  const number first = info_[n].first_resident, slots = info_[n].slots;
  for (number i = first; i < first + slots; ++i)
    if (node_of_[residents_[i]] == n) use(residents_[i]);
}

// Attribute joins Z, as how says: the schemas that hold it have one name
// less to wait for, and their parts grow. Here, not in the .cpp, so that
// every file of the test inlines it: it runs for every name of every test.
inline void preservation_test::derive(number attribute, const joined& how) {
  derived_.insert(attribute);
  if (trace_ != nullptr) trace_->push_back(how);
  if (wanted_.contains(attribute)) --wanted_left_;
  if (bounded_) count_down(attribute);
}

#endif  // FDKEEP_PRESERVATION_TEST_H_
