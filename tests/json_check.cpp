#include "json_check.h"

#include <cstring>

namespace {

// A recursive-descent reader that only says whether the text is JSON.
class reader {
 public:
  explicit reader(std::string_view text) : text_(text) {}
  bool document() { return value() && (blanks(), at_ == text_.size()); }

 private:
  bool more() const { return at_ < text_.size(); }
  unsigned char next() const { return text_[at_]; }
  void blanks() {
    while (more() && std::strchr(" \t\n\r", next()) && next()) ++at_;
  }
  bool take(char c) { return blanks(), more() && next() == c && ++at_; }
  bool word(std::string_view w) {
    return text_.substr(at_, w.size()) == w && (at_ += w.size());
  }

  bool value() {
    blanks();
    if (!more() || ++depth_ > 100) return false;
    const char c = next();
    const bool ok =
        c == '{'   ? members('}', true)
        : c == '[' ? members(']', false)
        : c == '"' ? string()
                   : word("true") || word("false") || word("null") || number();
    return --depth_, ok;
  }
  bool members(char close, bool named) {  // after '{' or '['
    ++at_;
    if (take(close)) return true;
    do {
      if (named && !(blanks(), string() && take(':'))) return false;
      if (!value()) return false;
    } while (take(','));
    return take(close);
  }
  bool number() {
    const size_t start = at_;
    while (more() && std::strchr("+-.eE0123456789", next()) && next()) ++at_;
    return at_ > start && text_[at_ - 1] >= '0' && text_[at_ - 1] <= '9';
  }
  bool string() {  // at '"'
    for (++at_; more();) {
      const unsigned char c = text_[at_++];
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\' &&
          !(more() && std::strchr("\"\\/bfnrtu", next()) && next() && ++at_))
        return false;
      if (c >= 0x80 && !utf8_tail(c)) return false;
    }
    return false;
  }
  // The rest of a UTF-8 sequence whose first byte, lead, was just taken:
  // no overlong forms, no surrogates, nothing above U+10FFFF.
  bool utf8_tail(unsigned char lead) {
    const int count = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (lead < 0xC2 || lead > 0xF4) return false;
    for (int i = 0; i < count; ++i, low = 0x80, high = 0xBF)
      if (!more() || next() < low || next() > high)
        return false;
      else
        ++at_;
    return true;
  }

  std::string_view text_;
  size_t at_ = 0;
  int depth_ = 0;
};

}  // namespace

bool well_formed_json(std::string_view text) { return reader(text).document(); }
