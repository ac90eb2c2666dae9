// The quoting of names and lines in text (see quoting.h): a scan of the
// bytes as UTF-8 that decides whether they are shown as they are, and the
// escapes when they are not. Keeps true that every byte string prints
// differently and prints back to itself. O(n log r) for n bytes.
#include "quoting.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// The code point that starts at text[at] and its length in bytes, or length
// 0 when no valid UTF-8 sequence starts there.
struct decoded {
  uint32_t value = 0;
  size_t length = 0;
};

decoded decode(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) {
    return static_cast<unsigned char>(text[at + i]);
  };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length;
  uint32_t value, least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return {};
  }
  if (at + length > text.size()) return {};
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {};
    value = value << 6 | (byte(i) & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return {};
  return {value, length};
}

// ASCII that could be read as the program's notation or hides itself.
constexpr bool plain_ascii(uint32_t c) {
  return c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '{' && c != '}';
}

// plain_ascii() of every byte, looked up once per byte of a name.
constexpr std::array<bool, 256> kPlainByte = [] {
  std::array<bool, 256> plain{};
  for (uint32_t c = 0; c < 256; ++c) plain[c] = plain_ascii(c);
  return plain;
}();

bool plain(std::string_view bytes) {
  if (bytes.empty() || bytes.front() == ' ' || bytes.back() == ' ')
    return false;
  size_t at = 0;  // most names are printable ASCII: one look per byte
  while (at < bytes.size() && kPlainByte[static_cast<unsigned char>(bytes[at])])
    ++at;
  while (at < bytes.size()) {
    const decoded c = decode(bytes, at);
    if (c.length == 0 ||
        !(c.value < 0x80 ? plain_ascii(c.value) : plain_code_point(c.value)))
      return false;
    at += c.length;
  }
  return true;
}

// The escape of one of the five characters that have a short one, or
// nullptr.
const char* short_escape(uint32_t c) {
  switch (c) {
    case '"':
      return "\\\"";
    case '\\':
      return "\\\\";
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    default:
      return nullptr;
  }
}

}  // namespace

bool plain_code_point(uint32_t c) {
  const code_point_range* end = kPlainCodePoints + kPlainCodePointRanges;
  const code_point_range* range = std::upper_bound(
      kPlainCodePoints, end, c, [](uint32_t value, const code_point_range& r) {
        return value < r.first;
      });
  return range != kPlainCodePoints && c <= range[-1].last;
}

bool valid_utf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const decoded c = decode(bytes, at);
    if (c.length == 0) return false;
    at += c.length;
  }
  return true;
}

std::string shown(std::string_view bytes) {
  std::string text;
  append_shown(text, bytes);
  return text;
}

bool shown_as_is(std::string_view bytes) { return plain(bytes); }

void append_shown(std::string& text, std::string_view bytes) {
  if (plain(bytes)) {
    text += bytes;
    return;
  }
  text += '"';
  char escape[16];
  for (size_t at = 0; at < bytes.size();) {
    const decoded c = decode(bytes, at);
    if (c.length == 0 || (c.value < 0x80 && !plain_ascii(c.value) &&
                          c.value != '{' && c.value != '}')) {
      if (const char* brief = c.length ? short_escape(c.value) : nullptr) {
        text += brief;
      } else {
        std::snprintf(escape, sizeof escape, "\\x%02x",
                      static_cast<unsigned char>(bytes[at]));
        text += escape;
      }
      ++at;
      continue;
    }
    if (c.value >= 0x80 && !plain_code_point(c.value)) {
      std::snprintf(escape, sizeof escape, "\\u{%04X}", c.value);
      text += escape;
    } else {
      text.append(bytes.substr(at, c.length));
    }
    at += c.length;
  }
  text += '"';
}
