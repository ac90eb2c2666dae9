#include "schema.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {
constexpr char kSeparator = ',';
}  // namespace

schema::schema(std::string_view attribute_list) {
  for (;;) {
    const size_t comma = attribute_list.find(kSeparator);
    emplace(attribute_list.substr(0, comma));
    if (comma == std::string_view::npos) return;
    attribute_list.remove_prefix(comma + 1);
  }
}

bool schema::contains(const schema& other) const {
  return std::includes(begin(), end(), other.begin(), other.end());
}

void schema::print() const {
  const char* separator = "";
  for (const std::string& name : *this) {
    std::fputs(separator, stdout);
    std::fwrite(name.data(), 1, name.size(), stdout);
    separator = " ";
  }
}

// Both operands are sorted, so each operation is one linear merge that hints
// every insertion at the end of the result.
schema operator+(const schema& a, const schema& b) {
  schema result;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(),
                 std::inserter(result, result.end()));
  return result;
}

schema operator-(const schema& a, const schema& b) {
  schema result;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(),
                      std::inserter(result, result.end()));
  return result;
}

schema operator*(const schema& a, const schema& b) {
  schema result;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(),
                        std::inserter(result, result.end()));
  return result;
}
