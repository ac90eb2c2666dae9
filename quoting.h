// How text shows bytes, a name or a line, so that a reader can map what is
// printed back to the bytes and never takes a name for the program's own
// notation or two names for one.
//
// The rule. Bytes are shown as they are when they are not empty, have no
// blank at either end, are valid UTF-8 and hold only printable ASCII other
// than the double quote, the backslash and the braces, or code points from
// U+0080 up that are plain: assigned letters, digits, punctuation and
// symbols that are not default-ignorable, not bidi controls, not combining
// (canonical combining class 0) and that normalisation to NFC leaves as they
// are, the horizontal ellipsis excepted (U+2026 marks a cut). Any other
// bytes are shown in double quotes, where
//   \"  \\  \t  \n  \r   stand for that one byte,
//   \xHH                  for the byte HH: any other ASCII control, or a
//                         byte that is not part of valid UTF-8,
//   \u{HHHH}              for the UTF-8 bytes of a code point from U+0080 up
//                         that is not plain (four or more hex digits),
// and every other character for its own UTF-8 bytes. So printed text never
// starts with a quote unless it is quoted, two different byte strings never
// print alike, and what is printed holds no character that hides, reorders
// or combines with what follows. A comma needs no quoting: names hold none,
// and in a line it is the input's own. The plain code points come from a
// table generated from the Unicode 15.0.0 character database
// (quoting_table.py); a character of a later version is escaped.
//
// Cost: O(n log r) for n bytes, r the table's ranges (a few hundred).
#ifndef FDKEEP_QUOTING_H_
#define FDKEEP_QUOTING_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Code points first to last, both included.
struct code_point_range {
  uint32_t first, last;
};

// The plain code points from U+0080 up, ascending (quoting_table.cpp).
extern const code_point_range kPlainCodePoints[];
extern const size_t kPlainCodePointRanges;

// True when code point c, from U+0080 up, is plain by the rule above.
bool plain_code_point(uint32_t c);

// True when bytes are valid UTF-8 (no overlong forms, no surrogates).
bool valid_utf8(std::string_view bytes);

// bytes as text shows them: as they are, or quoted and escaped, by the rule
// above.
std::string shown(std::string_view bytes);

// Appends bytes, as shown() shows them, to text.
void append_shown(std::string& text, std::string_view bytes);

// True when shown(bytes) is bytes as they are.
bool shown_as_is(std::string_view bytes);

#endif  // FDKEEP_QUOTING_H_
