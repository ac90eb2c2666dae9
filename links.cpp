// The classes in a test (classes.h, contexts.h): the verdicts they decide
// at once, the way along their links that a trace shows, and the names a
// derived set takes in with each name that joins it.
//
// What it keeps true: a name joins Z by a link only when Z holds the name
// at its other end and, for a link under a context, every name of the
// context; a traced step of such a link names both.
//
// What it costs: a look per name of the right side (per pair of names of a
// left side of at most kContextLeft names, for the contexts), and for the
// schemas that hold it, a lookup per name of the left side, within a budget
// in proportion to the test's sides; a way along
// links its length; per name that joins Z, its links and contexts, and once
// per context that Z comes to hold, the names of its classes.
#include <algorithm>

#include "preservation_test.h"

void preservation_test::make_classes() {
  classes_.emplace(graph_);
  contexts_.emplace(graph_);
}

// True when every name of the right side not yet derived is in the class of
// a name of the left side, or in its class under other names of the left
// side, or a schema rule gives it from those classes, or a schema holds it
// and a name of the class of each name of the left side: Z takes in those
// classes whole, and that schema's closure reaches the left side.
bool preservation_test::within_classes(std::span<const number> left) {
  const bool classes = classes_ && classes_->any();
  const bool contexts =
      contexts_ && contexts_->any() && left.size() <= kContextLeft;
  if (!classes && !contexts) return false;
  if (classes) {
    left_classes_.clear();
    for (number attribute : left)
      left_classes_.mark(classes_->class_of(attribute));
  }
  work_.dependencies += left.size() + wanted_.size();
  size_t budget = 4 * (left.size() + wanted_.size()) + 64;
  return std::all_of(
      wanted_.members().begin(), wanted_.members().end(), [&](number a) {
        number rule, through;
        return within_classes(left, a, budget, rule, through);
      });
}

// True when attribute is in the class of a name of left, or in its class
// under other names of left (rule and through are then kNone), or rule, a
// schema rule, gives it from names of those classes, or schema through
// holds it and a name of the class of each name of left. Asks the rules
// and the schemas within budget.
bool preservation_test::within_classes(std::span<const number> left,
                                       number attribute, size_t& budget,
                                       number& rule, number& through) {
  rule = through = kNone;
  const bool classes = classes_->any();
  if (classes && left_classes_.marked(classes_->class_of(attribute)))
    return true;
  number c, from;
  if (contexts_->any() && left.size() <= kContextLeft &&
      in_context_class(left, attribute, c, from))
    return true;
  if (!classes) return false;
  rule = given_within_classes(attribute, budget);
  if (rule == kNone)
    through = holding_the_left_classes(left, attribute, budget);
  return rule != kNone || through != kNone;
}

// A schema that holds attribute, a name of the right side, and a name of
// the class of each name of left, or kNone: Z takes in those classes, so
// the schema's part holds a name of each, whose closure reaches that name
// of left; the closure then holds the left side, and the dependency under
// test gives attribute. In a ring of schemas whose names one cycle joins,
// it decides at once what the closures would find by walking the cycle.
// Looks at no more than budget names of left, and takes them off it.
number preservation_test::holding_the_left_classes(
    std::span<const number> left, number attribute, size_t& budget) {
  for (number s : graph_.containing(attribute)) {
    if (left.size() > budget) return kNone;
    budget -= left.size();
    work_.dependencies += left.size();
    if (std::all_of(left.begin(), left.end(), [&](number a) {
          return held_of_class(s, a) != kNone;
        }))
      return s;
  }
  return kNone;
}

// A name that schema s holds of the class of attribute: attribute itself,
// or kNone.
number preservation_test::held_of_class(number s, number attribute) const {
  if (graph_.holds(s, attribute)) return attribute;
  return classes_->links(attribute).empty() ? kNone
                                            : classes_->member_in(s, attribute);
}

// A schema rule that gives attribute from names of the classes of the left
// side, or kNone. Looks at no more than budget names of the rules' keys,
// and takes them off it: a name that many rules give costs a test no more
// than its own size.
number preservation_test::given_within_classes(number attribute,
                                               size_t& budget) {
  for (number r : rules_.giving(attribute)) {
    const std::span<const number> key = rules_.key(r);
    if (key.size() > budget) return kNone;
    budget -= key.size();
    work_.dependencies += key.size();
    if (std::all_of(key.begin(), key.end(), [&](number k) {
          return left_classes_.marked(classes_->class_of(k));
        }))
      return r;
  }
  return kNone;
}

// True when, under one name of left or under all of left but one,
// attribute is in the class of another name of left, from; gives that
// context in under.
bool preservation_test::in_context_class(std::span<const number> left,
                                         number attribute, number& under,
                                         number& from) {
  const auto in_class_of = [&](number context, number a) {
    if (context == kNone) return false;
    const number k = contexts_->class_of(context, attribute);
    if (k == kNone || contexts_->class_of(context, a) != k) return false;
    under = context;
    from = a;
    return true;
  };
  for (number c : left) {
    const number context = contexts_->context_of({&c, 1});
    ++work_.dependencies;
    if (context == kNone || contexts_->class_of(context, attribute) == kNone)
      continue;
    work_.dependencies += left.size();
    for (number a : left)
      if (a != c && in_class_of(context, a)) return true;
  }
  if (left.size() < 3 || left.size() > context_classes::kMostNames + 1)
    return false;
  for (number a : left) {
    rest_.clear();
    for (number b : left)
      if (b != a) rest_.push_back(b);
    work_.dependencies += left.size();
    if (in_class_of(contexts_->context_of(rest_), a)) return true;
  }
  return false;
}

// The right side lies in the classes of the left side, or schema rules give
// it from them: each of its names joins Z along the links from the name of
// the left side in its class, or by its rule once the rule's key has joined
// so, so that a trace shows only the way to it.
void preservation_test::derive_along_links(std::span<const number> left) {
  size_t budget = SIZE_MAX;
  for (number attribute : wanted_.members()) {
    if (derived_.contains(attribute)) continue;
    number cause, through;
    within_classes(left, attribute, budget, cause, through);
    if (through != kNone) {
      for (number a : left) {
        const number held = held_of_class(through, a);
        if (!derived_.contains(held)) derive_along_a_path(left, held);
      }
      derive(attribute, {through, attribute, kThroughLeft, kNone});
      continue;
    }
    if (cause == kNone) {
      derive_along_a_path(left, attribute);
      continue;
    }
    for (number k : rules_.key(cause))
      if (!derived_.contains(k)) derive_along_a_path(left, k);
    derive(attribute, {rules_.schema_of(cause), attribute, kNone, cause});
  }
}

// Attribute, in the class of a name of the left side or in its class under
// names of the left side, joins Z along the links from that name.
void preservation_test::derive_along_a_path(std::span<const number> left,
                                            number attribute) {
  const auto in_class = [&](number a) {
    return classes_->class_of(a) == classes_->class_of(attribute);
  };
  const auto linked = classes_->any()
                          ? std::find_if(left.begin(), left.end(), in_class)
                          : left.end();
  number from, under = kNone;
  if (linked != left.end()) {
    from = *linked;
    classes_->path(from, attribute, path_);
  } else {
    in_context_class(left, attribute, under, from);
    contexts_->path(under, from, attribute, path_);
  }
  work_.names += left.size() + path_.size();
  number cause = from;
  for (const name_classes::link& step : path_) {
    if (!derived_.contains(step.attribute))
      derive(step.attribute,
             {step.schema, step.attribute, kLinked, cause, under});
    cause = step.attribute;
  }
}

// The names linked to attribute, also under names of Z, and those linked
// under attribute to names of Z, join Z. False when the right side is then
// derived.
bool preservation_test::follow_links(number attribute) {
  // Most names have no links: that costs one look, not a call.
  if (!classes_ || (classes_->links(attribute).empty() && !contexts_->any()))
    return true;
  return follow_any_links(attribute);
}

bool preservation_test::follow_any_links(number attribute) {
  for (const name_classes::link& l : classes_->links(attribute)) {
    ++work_.dependencies;
    if (derived_.contains(l.attribute)) continue;
    derive(l.attribute, {l.schema, l.attribute, kLinked, attribute});
    if (wanted_left_ == 0) return false;
  }
  if (!contexts_->any()) return true;
  // Its links under the contexts that Z holds, and, when it completes a
  // context in Z, the links under that context of the names of Z.
  for (number context : contexts_->contexts_of(attribute))
    if (holds_context(context) && !follow_links_under(context, attribute))
      return false;
  for (number context : contexts_->contexts_with(attribute)) {
    if (!holds_context(context)) continue;
    for (number a : contexts_->names_under(context)) {
      ++work_.dependencies;
      if (derived_.contains(a) && !follow_links_under(context, a))
        return false;
    }
  }
  return true;
}

// True when Z holds every name of context.
bool preservation_test::holds_context(number context) {
  const std::span<const number> names = contexts_->names_of(context);
  work_.dependencies += names.size();
  return std::all_of(names.begin(), names.end(),
                     [&](number a) { return derived_.contains(a); });
}

// The names linked to attribute under context join Z. False when the right
// side is then derived.
bool preservation_test::follow_links_under(number context, number attribute) {
  for (const name_classes::link& l : contexts_->links(context, attribute)) {
    ++work_.dependencies;
    if (derived_.contains(l.attribute)) continue;
    derive(l.attribute,
           {l.schema, l.attribute, kLinked, attribute, context});
    if (wanted_left_ == 0) return false;
  }
  return true;
}
