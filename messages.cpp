#include "messages.h"

#include <algorithm>
#include <cstddef>

namespace {

bool hungarian(std::string_view value) {
  if (!value.starts_with("hu")) return false;
  return value.size() == 2 || value[2] == '_' || value[2] == '.' ||
         value[2] == '@';
}

// The text of a quoted PO string starting at line[at] == '"', escapes
// resolved, added to text. False when the line does not hold one.
bool add_quoted(std::string_view line, size_t at, std::string& text) {
  if (at >= line.size() || line[at] != '"') return false;
  for (size_t i = at + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') return true;
    if (c == '\\' && i + 1 < line.size()) {
      switch (c = line[++i]) {
        case 'n':
          c = '\n';
          break;
        case 't':
          c = '\t';
          break;
        case 'r':
          c = '\r';
          break;
        default:
          break;  // \" \\ and any other character stand for it
      }
    }
    text += c;
  }
  return false;
}

}  // namespace

language language_from(const std::function<const char*(const char*)>& get) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = get(name);
    if (value != nullptr && *value != '\0')
      return hungarian(value) ? language::hungarian : language::english;
  }
  return language::english;
}

std::string fill(std::string_view text, std::span<const std::string> values) {
  const std::vector<std::string_view> views(values.begin(), values.end());
  std::string filled;
  append_filled(filled, text, views);
  return filled;
}

void append_filled(std::string& filled, std::string_view text,
                   std::span<const std::string_view> values) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '{') {  // the text up to the next place, at once
      const size_t next = std::min(text.find('{', i), text.size());
      filled.append(text, i, next - i);
      i = next - 1;
      continue;
    }
    const size_t close = text.find('}', i);
    if (close != std::string_view::npos && close > i + 1) {
      size_t k = 0;
      bool digits = true;
      for (size_t j = i + 1; j < close; ++j) {
        digits = digits && text[j] >= '0' && text[j] <= '9';
        k = k * 10 + static_cast<size_t>(text[j] - '0');
      }
      if (digits && k >= 1 && k <= values.size()) {
        filled += values[k - 1];
        i = close;
        continue;
      }
    }
    filled += text[i];
  }
}

std::vector<std::pair<std::string, std::string>> read_po(std::string_view po) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::string id, str;
  std::string* current = nullptr;  // the string that a "..." line continues
  bool fuzzy = false;
  const auto finish = [&] {
    if (!id.empty() && !str.empty() && !fuzzy) entries.emplace_back(id, str);
    id.clear();
    str.clear();
    current = nullptr;
    fuzzy = false;
  };
  while (!po.empty()) {
    const size_t end = po.find('\n');
    std::string_view line = po.substr(0, end);
    po.remove_prefix(end == std::string_view::npos ? po.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with('#') || line.starts_with("msgid ")) {
      if (current != nullptr) finish();  // the entry before ends here
    }
    if (line.starts_with("msgid ")) {
      add_quoted(line, 6, id);
      current = &id;
    } else if (line.starts_with("msgstr ")) {
      add_quoted(line, 7, str);
      current = &str;
    } else if (line.starts_with('"') && current != nullptr) {
      add_quoted(line, 0, *current);
    } else if (line.starts_with("#,")) {
      fuzzy = fuzzy || line.find("fuzzy") != std::string_view::npos;
    } else if (line.empty()) {
      finish();
    }
  }
  finish();
  return entries;
}

messages::messages(language lang) : language_(lang) {
  if (lang == language::english) return;
  entries_ = read_po(hungarian_catalogue());
  translation_.reserve(entries_.size());
  for (const auto& [english, translated] : entries_)
    translation_.emplace(english, translated);
}

std::string_view messages::operator()(std::string_view english) const {
  if (translation_.empty()) return english;
  const auto found = translation_.find(english);
  return found == translation_.end() ? english : found->second;
}
