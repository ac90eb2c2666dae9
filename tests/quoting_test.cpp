// The quoting of names and lines: every printed text maps back to its bytes
// by the rule stated in quoting.h, read here by a decoder of its own, and
// nothing printed hides, reorders or combines.
#include "quoting.h"

#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

// The UTF-8 bytes of code point c.
std::string utf8(uint32_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (c < 0x800)
    return {static_cast<char>(0xC0 | c >> 6),
            static_cast<char>(0x80 | (c & 0x3F))};
  if (c < 0x10000)
    return {static_cast<char>(0xE0 | c >> 12),
            static_cast<char>(0x80 | (c >> 6 & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
  return {static_cast<char>(0xF0 | c >> 18),
          static_cast<char>(0x80 | (c >> 12 & 0x3F)),
          static_cast<char>(0x80 | (c >> 6 & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

// The bytes that printed text stands for, read by the stated rule: text not
// in quotes is its bytes; in quotes, \" \\ \t \n \r, \xHH and \u{H...}
// stand for their bytes and any other character for itself.
std::string unshown(std::string_view text) {
  if (text.empty() || text.front() != '"') return std::string(text);
  EXPECT_TRUE(text.size() >= 2 && text.back() == '"') << text;
  text = text.substr(1, text.size() - 2);
  std::string bytes;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\') {
      bytes += text[at];
      continue;
    }
    const char kind = text[++at];
    if (kind == 'x') {
      bytes += static_cast<char>(std::stoi(std::string(text.substr(at + 1, 2)),
                                           nullptr, 16));
      at += 2;
    } else if (kind == 'u') {
      const size_t close = text.find('}', at);
      bytes += utf8(std::stoul(std::string(text.substr(at + 2, close - at - 2)),
                               nullptr, 16));
      at = close;
    } else {
      bytes += kind == 't' ? '\t' : kind == 'n' ? '\n' : kind == 'r' ? '\r' : kind;
    }
  }
  return bytes;
}

// Code points that change what a reader sees, each of which must be escaped.
const uint32_t kHostile[] = {
    0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069,
    0x200E, 0x200F, 0x061C, 0x115F, 0x1160, 0x3164, 0xFFA0, 0xE0000, 0xE0001,
    0xE0041, 0xE007F, 0x2000, 0x2005, 0x200A, 0x205F, 0x3000, 0x00A0, 0x00AD,
    0x200B, 0x2028, 0xFEFF, 0x0301, 0x20DD, 0x1161, 0x212B, 0x2026, 0xE000,
    0xF0000, 0x0378, 0xFFFF, 0x0085, 0xFE0F, 0x034F,
};

TEST(Quoting, RowsReadBothWays) {
  const struct {
    std::string bytes, shown;
  } rows[] = {
      {"city", "city"},
      {"v\u00e1ros", "v\u00e1ros"},
      {"a b", "a b"},
      {"a->b", "a->b"},
      {"\u4e00\U0001F600", "\u4e00\U0001F600"},
      {"", "\"\""},
      {" B", "\" B\""},
      {"B ", "\"B \""},
      {"x\r", "\"x\\r\""},
      {"\t\n", "\"\\t\\n\""},
      {"\x01\x7f", "\"\\x01\\x7f\""},
      {"v\xe1ros", "\"v\\xe1ros\""},  // ISO-8859-2, not UTF-8
      {"\xc3", "\"\\xc3\""},          // a cut sequence
      {"\xed\xa0\x80", "\"\\xed\\xa0\\x80\""},  // a surrogate
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"{x}", "\"{x}\""},
      {"\u2026 1 more", "\"\\u{2026} 1 more\""},  // poses as a cut
      {"a,b \u2026 3 more bytes", "\"a,b \\u{2026} 3 more bytes\""},
      {"no\u00a0break", "\"no\\u{00A0}break\""},
      {"\ufeffbom", "\"\\u{FEFF}bom\""},
      {"ab\u202ecd", "\"ab\\u{202E}cd\""},
      {"\u3164", "\"\\u{3164}\""},
      {"x\U000E0041", "\"x\\u{E0041}\""},
      {"\u0301e", "\"\\u{0301}e\""},
      {"e\u0301", "\"e\\u{0301}\""},  // é as e and an accent
      {"\u00e9", "\u00e9"},           // é as one code point
      {"\u212b", "\"\\u{212B}\""},    // NFC makes it U+00C5
      {"\ue000", "\"\\u{E000}\""},    // private use
      {"\u0378", "\"\\u{0378}\""},    // unassigned
      {"\u0085", "\"\\u{0085}\""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(shown(row.bytes), row.shown);
    EXPECT_EQ(unshown(row.shown), row.bytes) << row.shown;
    EXPECT_EQ(shown_as_is(row.bytes), row.shown == row.bytes) << row.shown;
    std::string text = "{";
    append_shown(text, row.bytes);
    EXPECT_EQ(text, "{" + row.shown);
  }
  // Each byte alone, and inside a name, is shown as it is exactly when
  // shown() leaves it so.
  for (int byte = 0; byte < 256; ++byte) {
    for (const std::string& name :
         {std::string(1, static_cast<char>(byte)),
          "a" + std::string(1, static_cast<char>(byte)) + "b"})
      EXPECT_EQ(shown_as_is(name), shown(name) == name) << byte;
  }
}

TEST(Quoting, HostileCodePointsAreEscaped) {
  for (uint32_t c : kHostile) {
    EXPECT_FALSE(plain_code_point(c)) << std::hex << c;
    char expected[24];
    std::snprintf(expected, sizeof expected, "\"a\\u{%04X}\"", c);
    EXPECT_EQ(shown("a" + utf8(c)), expected);
  }
  for (uint32_t c : {0xE9u, 0x151u, 0x4E00u, 0xAC00u, 0x1F600u, 0x20ACu})
    EXPECT_TRUE(plain_code_point(c)) << std::hex << c;
  for (size_t i = 0; i < kPlainCodePointRanges; ++i) {  // ascending, apart
    EXPECT_LE(kPlainCodePoints[i].first, kPlainCodePoints[i].last);
    if (i > 0) {
      EXPECT_LT(kPlainCodePoints[i - 1].last + 1, kPlainCodePoints[i].first);
    }
  }
}

// What is printed maps back to the bytes, for arbitrary bytes, and holds
// only printable ASCII and plain code points; text not in quotes never
// starts with one.
TEST(Quoting, ArbitraryBytesPrintBackToThemselves) {
  std::mt19937 random(2026);
  const auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const std::string specials = "\"\\{} \t\n\r,->\x7f";
  for (int round = 0; round < 30000; ++round) {
    std::string bytes;
    for (uint32_t pieces = pick(7); pieces > 0; --pieces) {
      switch (pick(6)) {
        case 0: bytes += static_cast<char>(pick(256)); break;
        case 1: bytes += specials[pick(specials.size())]; break;
        case 2: bytes += utf8(kHostile[pick(std::size(kHostile))]); break;
        case 3: {
          uint32_t c = 0x80 + pick(0x10FFFF - 0x80);
          if (c >= 0xD800 && c <= 0xDFFF) c = 0x2026;
          bytes += utf8(c);
          break;
        }
        case 4: bytes += utf8(0x80 + pick(0x3000)).substr(0, 1); break;
        default: bytes += static_cast<char>('a' + pick(3)); break;
      }
    }
    const std::string text = shown(bytes);
    ASSERT_EQ(unshown(text), bytes) << text;
    if (text == bytes) {
      EXPECT_FALSE(text.empty() || text.front() == '"' || text.front() == ' ' ||
                   text.back() == ' ')
          << text;
    }
    for (size_t at = 0; at < text.size();) {  // every character visible
      const unsigned char lead = static_cast<unsigned char>(text[at]);
      const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      ASSERT_TRUE(valid_utf8(text.substr(at, length))) << text;
      uint32_t c = lead < 0x80 ? lead : lead & (0x3F >> (length - 1));
      for (size_t i = 1; i < length; ++i) c = c << 6 | (text[at + i] & 0x3F);
      EXPECT_TRUE(c < 0x80 ? c >= 0x20 && c < 0x7F : plain_code_point(c)) << text;
      at += length;
    }
  }
}

}  // namespace
