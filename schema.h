// schema: a set of attribute names with value semantics.
//
// An attribute name is a string of bytes of any length, the empty name
// included. Nothing is decoded or trimmed: case, blanks, carriage returns and
// bytes of 0x80 and above are ordinary name bytes. Names order byte by byte as
// unsigned values, a proper prefix first, which is exactly std::string's order.
//
// schema derives from std::set<std::string> on purpose: the order of names,
// the order of whole schemas (lexicographic over the names in ascending order)
// and their equality (same names) are the set's own, so schemas can be keys of
// ordered containers without a comparison operator of their own. Copying is
// intended; a copy is independent of its source.
#ifndef FDKEEP_SCHEMA_H_
#define FDKEEP_SCHEMA_H_

#include <set>
#include <string>
#include <string_view>

class schema : public std::set<std::string> {
 public:
  // The empty schema: no names at all.
  schema() = default;

  // Parses an attribute list: the names between commas, each taken byte for
  // byte. Every comma ends a name, and the text after the last comma is a name
  // too, so the empty text gives the schema holding only the empty name, and
  // a leading, trailing or doubled comma adds the empty name. Repeated names
  // are held once.
  explicit schema(std::string_view attribute_list);

  // True when every name of other is a name of this schema (other is a
  // subset). The empty schema is contained in every schema.
  bool contains(const schema& other) const;

  // Writes the names in ascending order to standard output, separated by one
  // blank, without a line end. A debugging aid; a run never calls it.
  void print() const;
};

// The union of a and b.
schema operator+(const schema& a, const schema& b);

// The names of a that are not names of b.
schema operator-(const schema& a, const schema& b);

// The names that are in both a and b.
schema operator*(const schema& a, const schema& b);

#endif  // FDKEEP_SCHEMA_H_
