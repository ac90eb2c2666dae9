// A check that text is one well-formed JSON document (RFC 8259), strings
// in valid UTF-8 included, for the tests of the explanation's JSON.
#ifndef FDKEEP_TESTS_JSON_CHECK_H_
#define FDKEEP_TESTS_JSON_CHECK_H_

#include <string_view>

// True when text is one JSON value, with blanks around it allowed.
bool well_formed_json(std::string_view text);

#endif  // FDKEEP_TESTS_JSON_CHECK_H_
