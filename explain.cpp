#include "explain.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// fdkeep's verdicts, here in UTF-8.
constexpr std::string_view kPreserving =
    "f\u00fcgg\u0151s\u00e9g\u00f6rz\u0151";
constexpr std::string_view kNotPreserving =
    "nem f\u00fcgg\u0151s\u00e9g\u00f6rz\u0151";

// ---------------------------------------------------------------------------
// Bytes as UTF-8

// The code point that starts at text[at] and its length in bytes, or length
// 0 when no valid UTF-8 sequence starts there.
struct code_point {
  uint32_t value = 0;
  size_t length = 0;
};

code_point decode(std::string_view text, size_t at) {
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

bool valid_utf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const code_point c = decode(text, at);
    if (c.length == 0) return false;
    at += c.length;
  }
  return true;
}

// Characters that print as nothing, or as a blank that can pass unseen.
bool invisible(uint32_t c) {
  return c == 0xA0 || c == 0xAD || (c >= 0x200B && c <= 0x200F) ||
         c == 0x2028 || c == 0x2029 || c == 0x2060 || c == 0xFEFF;
}

bool control(uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The escape of a quote, a backslash, a tab, a line feed or a carriage
// return, the same in text and in JSON; nullptr for any other character.
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

std::string hex_byte(unsigned char byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

// ---------------------------------------------------------------------------
// Text

bool plain(std::string_view bytes) {
  if (bytes.empty() || bytes.front() == ' ' || bytes.back() == ' ')
    return false;
  for (size_t at = 0; at < bytes.size();) {
    const code_point c = decode(bytes, at);
    if (c.length == 0 || control(c.value) || invisible(c.value) ||
        c.value == '"' || c.value == '\\' || c.value == '{' || c.value == '}')
      return false;
    at += c.length;
  }
  return true;
}

// The names, each as show shows it, between open and close, separated by
// commas.
template <typename Show>
std::string listed(const schema& names, char open, char close, Show show) {
  std::string text(1, open);
  for (const std::string& name : names) {
    if (text.size() > 1) text += ", ";
    text += show(name);
  }
  return text + close;
}

std::string set_text(const schema& names) {
  return listed(names, '{', '}', shown);
}

std::string line_text(const input_line& line) {
  return "line " + std::to_string(line.number) + ": " + shown(line.text);
}

// ---------------------------------------------------------------------------
// JSON

std::string json_bytes(std::string_view bytes) {
  if (!valid_utf8(bytes)) {
    std::string hex = "{\"hex\": \"";
    for (char byte : bytes) hex += hex_byte(static_cast<unsigned char>(byte));
    return hex + "\"}";
  }
  std::string text = "\"";
  for (char byte : bytes) {
    if (const char* escape = short_escape(byte)) {
      text += escape;
    } else if (static_cast<unsigned char>(byte) < 0x20) {
      text += "\\u00" + hex_byte(static_cast<unsigned char>(byte));
    } else {
      text += byte;
    }
  }
  return text + "\"";
}

std::string json_set(const schema& names) {
  return listed(names, '[', ']', json_bytes);
}

std::string json_line(const input_line& line) {
  return "\"line\": " + std::to_string(line.number) +
         ", \"text\": " + json_bytes(line.text);
}

// ---------------------------------------------------------------------------
// One dependency

// What a report says of a lost dependency beyond the report itself.
struct shortfall {
  schema in_no_schema;  // missing names that no schema holds
  schema suggested;     // a schema that would keep the dependency
};

shortfall shortfall_of(const input& in, const schema& left,
                       const dependency_report& report) {
  shortfall s;
  for (const std::string& name : report.missing)
    if (in.universe.count(name) == 0) s.in_no_schema.insert(name);
  s.suggested = left + report.missing;
  return s;
}

std::string as_text(const input& in, const input_line& line, const schema& left,
                    const dependency_report& report) {
  std::string text = line_text(line) + "\n";
  using outcome = dependency_report::outcome;
  switch (report.how) {
    case outcome::within_left_side:
      return text + "  preserved: its right side lies within its left side\n";
    case outcome::inside_one_schema:
      return text + "  preserved: both sides lie in one schema, " +
             line_text(in.schema_lines[report.place]) + "\n";
    case outcome::derived: {
      const size_t n = report.steps.size();
      text += "  preserved: derived in " + std::to_string(n) +
              (n == 1 ? " step\n" : " steps\n");
      for (const dependency_report::step& step : report.steps)
        text += "    " + line_text(in.schema_lines[step.place]) + "\n" +
                "      adds " + set_text(step.added) + "\n";
      return text;
    }
    case outcome::lost: {
      const shortfall s = shortfall_of(in, left, report);
      text += "  LOST: the decomposition derives from " + set_text(left) +
              " only " + set_text(report.derived) + "\n" +
              "    missing: " + set_text(report.missing) + "\n";
      if (!s.in_no_schema.empty())
        text += "    in no schema: " + set_text(s.in_no_schema) + "\n";
      return text +
             "    a schema that would keep it: " + set_text(s.suggested) + "\n";
    }
  }
  return text;
}

std::string as_json(const input& in, const input_line& line,
                    const dependency_map::value_type& dependency,
                    const dependency_report& report) {
  std::string json = "{";
  json += json_line(line);
  json += ", \"left\": " + json_set(dependency.first);
  json += ", \"right\": " + json_set(dependency.second);
  using outcome = dependency_report::outcome;
  switch (report.how) {
    case outcome::within_left_side:
      return json + ", \"preserved\": true, \"how\": \"within_left_side\"}";
    case outcome::inside_one_schema:
      return json + ", \"preserved\": true, \"how\": \"one_schema\"" +
             ", \"schema\": {" + json_line(in.schema_lines[report.place]) +
             "}}";
    case outcome::derived: {
      json += ", \"preserved\": true, \"how\": \"derivation\", \"steps\": [";
      for (size_t i = 0; i < report.steps.size(); ++i)
        json += std::string(i ? ", " : "") + "{" +
                json_line(in.schema_lines[report.steps[i].place]) +
                ", \"adds\": " + json_set(report.steps[i].added) + "}";
      return json + "]}";
    }
    case outcome::lost: {
      const shortfall s = shortfall_of(in, dependency.first, report);
      return json + ", \"preserved\": false, \"how\": \"lost\"" +
             ", \"derived\": " + json_set(report.derived) +
             ", \"missing\": " + json_set(report.missing) +
             ", \"in_no_schema\": " + json_set(s.in_no_schema) +
             ", \"suggested_schema\": " + json_set(s.suggested) + "}";
    }
  }
  return json + "}";
}

}  // namespace

std::string shown(std::string_view bytes) {
  if (plain(bytes)) return std::string(bytes);
  std::string text = "\"";
  for (size_t at = 0; at < bytes.size();) {
    const code_point c = decode(bytes, at);
    if (c.length == 0) {  // not UTF-8: the byte itself
      text += "\\x" + hex_byte(static_cast<unsigned char>(bytes[at++]));
      continue;
    }
    if (const char* escape = short_escape(c.value)) {
      text += escape;
    } else if (control(c.value)) {
      for (size_t i = 0; i < c.length; ++i)
        text += "\\x" + hex_byte(static_cast<unsigned char>(bytes[at + i]));
    } else if (invisible(c.value)) {
      char code[16];
      std::snprintf(code, sizeof code, "\\u{%04X}", c.value);
      text += code;
    } else {
      text.append(bytes.substr(at, c.length));
    }
    at += c.length;
  }
  return text + "\"";
}

bool write_explanation(const input& in, std::string_view name,
                       explanation_format format,
                       const std::function<void(std::string_view)>& write) {
  const bool json = format == explanation_format::json;
  // Rendered in the order of the test, written in the order of the lines.
  std::vector<std::pair<size_t, std::string>> entries;
  entries.reserve(in.dependencies.size());
  size_t lost = 0;
  auto dependency = in.dependencies.begin();
  const bool preserving = explain(
      in.schemas, in.dependencies,
      [&](size_t place, const dependency_report& report) {
        lost += report.how == dependency_report::outcome::lost;
        const input_line& line = in.dependency_lines[place];
        entries.emplace_back(
            line.number, json ? as_json(in, line, *dependency, report)
                              : as_text(in, line, dependency->first, report));
        ++dependency;
      });
  std::sort(entries.begin(), entries.end());

  const size_t count = in.dependencies.size();
  const std::string_view verdict = preserving ? kPreserving : kNotPreserving;
  if (json) {
    write("{\"input\": " + json_bytes(name) + ", \"results\": [\n");
    for (size_t i = 0; i < entries.size(); ++i)
      write((i ? ",\n" : "") + entries[i].second);
    write(std::string(count ? "\n" : "") + "], \"dependencies\": " +
          std::to_string(count) + ", \"lost\": " + std::to_string(lost) +
          ", \"preserved\": " + (preserving ? "true" : "false") +
          ", \"verdict\": \"" + std::string(verdict) + "\"}\n");
  } else {
    for (const auto& entry : entries) write(entry.second);
    write(std::string(count ? "\n" : "") + std::to_string(count) +
          (count == 1 ? " dependency, " : " dependencies, ") +
          (lost ? std::to_string(lost) + " lost: " : "none lost: ") +
          std::string(verdict) + "\n");
  }
  return preserving;
}
