#include "explain.h"

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <span>
#include <utility>
#include <vector>

#include "derived.h"
#include "messages.h"
#include "quoting.h"
#include "repair.h"

namespace {

// fdkeep's verdicts, here in UTF-8.
constexpr std::string_view kPreserving =
    "f\u00fcgg\u0151s\u00e9g\u00f6rz\u0151";
constexpr std::string_view kNotPreserving =
    "nem f\u00fcgg\u0151s\u00e9g\u00f6rz\u0151";

std::string hex_byte(unsigned char byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

// ---------------------------------------------------------------------------
// Text

// How much of a long piece an explanation shows: the steps of a
// derivation (the first and the last half of them), the names of a list,
// the bytes of a cited line. Past that, the start is shown and what is left
// out is counted, so that each dependency's explanation stays short,
// whatever the input.
constexpr size_t kShownSteps = 20;
constexpr size_t kShownNames = 200;
constexpr size_t kShownBytes = 160;

// The names, at most kShownNames of them, each as show(text, name) appends
// it, between open and close, separated by commas; more, when some are left
// out, says so before close.
template <typename Names, typename Show>
std::string listed(const Names& names, char open, char close, Show show,
                   std::string_view more = "") {
  std::string text(1, open);
  size_t count = 0;
  for (std::string_view name : names) {
    if (count == kShownNames) break;
    if (count++ > 0) text += ", ";
    show(text, name);
  }
  if (names.size() > kShownNames) text += more;
  text += close;
  return text;
}

template <typename Names>
size_t left_out(const Names& names) {
  return names.size() > kShownNames ? names.size() - kShownNames : 0;
}

// Names as far as they are shown: the first in byte order, at most
// kShownNames of them, and how many there are in all.
struct shown_names {
  std::vector<std::string_view> first;
  size_t count = 0;
  size_t size() const { return count; }
  auto begin() const { return first.begin(); }
  auto end() const { return first.end(); }
};

// The first of names that are in byte order already.
shown_names first_of(std::span<const std::string_view> names) {
  const size_t shown = std::min(names.size(), kShownNames);
  return {{names.begin(), names.begin() + static_cast<ptrdiff_t>(shown)},
          names.size()};
}

// A lost dependency's derived set: the engine lists only the names shown.
shown_names derived_of(const dependency_report& report) {
  shown_names names = first_of(report.derived);
  names.count = report.derived_numbers.size();
  return names;
}

// The start of line that is shown: all of it, or at most kShownBytes bytes,
// cut after a comma when there is one, and never inside a UTF-8 sequence.
std::string_view shown_start(std::string_view line) {
  if (line.size() <= kShownBytes) return line;
  size_t cut = line.rfind(',', kShownBytes - 1);
  if (cut != std::string_view::npos) return line.substr(0, cut + 1);
  cut = kShownBytes;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
    --cut;
  return line.substr(0, cut);
}

// What an explanation shows of long lists.
constexpr listing kShown = {.names = kShownNames, .steps = kShownSteps};

// The places of the steps shown of a derivation of count steps.
std::vector<size_t> shown_steps(size_t count) {
  std::vector<size_t> places;
  for (size_t i = 0; i < count; ++i)
    if (listed_step(kShown, i, count)) places.push_back(i);
  return places;
}

// text with values, in the language of say.
std::string said(const messages& say, std::string_view text,
                 std::initializer_list<std::string_view> values) {
  std::string filled;
  append_filled(filled, say(text), values);
  return filled;
}

// The same, appended to out.
void add_said(std::string& out, const messages& say, std::string_view text,
              std::initializer_list<std::string_view> values) {
  append_filled(out, say(text), values);
}

// Names: a schema, or names in ascending order, between braces, as listed()
// lists them with shown(). Written in one piece: a long explanation lists
// millions of names, most of them shown as they are.
template <typename Names>
std::string set_text(const messages& say, const Names& names) {
  const std::string more = left_out(names) > 0
                               ? said(say, message(", \u2026 {1} more"),
                                      {std::to_string(left_out(names))})
                               : "";
  std::vector<std::string_view> first;
  first.reserve(std::min(names.size(), kShownNames));
  // The names not shown as they are: room for all at once, so that the
  // views of first stay valid.
  std::vector<std::string> quoted;
  size_t size = 2 + more.size();
  for (std::string_view name : names) {
    if (first.size() == kShownNames) break;
    if (!shown_as_is(name)) {
      if (quoted.empty()) quoted.reserve(kShownNames);
      name = quoted.emplace_back(shown(name));
    }
    size += name.size() + (first.empty() ? 0 : 2);
    first.push_back(name);
  }
  std::string text(size, '{');
  char* out = text.data() + 1;
  for (size_t i = 0; i < first.size(); ++i) {
    if (i > 0) out = std::copy_n(", ", 2, out);
    out = std::copy(first[i].begin(), first[i].end(), out);
  }
  out = std::copy(more.begin(), more.end(), out);
  *out = '}';
  return text;
}

std::string line_text(const messages& say, const input_line& line) {
  const std::string_view start = shown_start(line.text);
  std::string text = said(say, message("line {1}: {2}"),
                          {std::to_string(line.number), shown(start)});
  if (start.size() < line.text.size())
    add_said(text, say, message(" \u2026 {1} more bytes"),
             {std::to_string(line.text.size() - start.size())});
  return text;
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
    if (byte == '"' || byte == '\\') {
      text += {'\\', byte};
    } else if (byte == '\t' || byte == '\n' || byte == '\r') {
      text += byte == '\t' ? "\\t" : byte == '\n' ? "\\n" : "\\r";
    } else if (static_cast<unsigned char>(byte) < 0x20) {
      text += "\\u00" + hex_byte(static_cast<unsigned char>(byte));
    } else {
      text += byte;
    }
  }
  return text + "\"";
}

// "field": [names], and "field_left_out": how many are not listed, when
// some are not.
template <typename Names>
std::string json_names(const std::string& field, const Names& names) {
  std::string json =
      "\"" + field + "\": " +
      listed(names, '[', ']', [](std::string& text, std::string_view name) {
        text += json_bytes(name);
      });
  if (left_out(names) > 0)
    json += ", \"" + field + "_left_out\": " + std::to_string(left_out(names));
  return json;
}

std::string json_line(const input_line& line) {
  const std::string_view start = shown_start(line.text);
  std::string json = "\"line\": " + std::to_string(line.number) +
                     ", \"text\": " + json_bytes(start);
  if (start.size() < line.text.size())
    json += ", \"text_left_out\": " +
            std::to_string(line.text.size() - start.size());
  return json;
}

// ---------------------------------------------------------------------------
// One dependency

// What the explanation shows of a dependency beyond the engine's report:
// the steps of a derivation, each needed and with all it adds, or, for a
// lost dependency, the missing names that no schema holds and a
// schema that would keep it, irreducible when its search ended.
struct beyond_report {
  derivation_steps steps;
  bool traced = false;  // out of work: the engine's steps are shown

  size_t step_count(const dependency_report& report) const {
    return traced ? report.steps.size() : steps.size();
  }
  size_t place(const dependency_report& report, size_t i) const {
    return traced ? report.steps[i].place : steps.places[i];
  }
  shown_names adds(const numbered_input& model, const dependency_report& report,
                   size_t i) const;
  schema in_no_schema;
  suggestion suggested;
};

// The names of numbers, ascending by bytes, as far as they are shown: a
// step of a long derivation can add thousands.
shown_names names_of(const numbered_input& model,
                     std::span<const number> numbers) {
  shown_names names;
  for (number attribute : numbers)
    names.first.push_back(model.names.name(attribute));
  names.count = names.first.size();
  const auto shown = names.first.begin() +
                     static_cast<ptrdiff_t>(std::min(names.count, kShownNames));
  std::nth_element(names.first.begin(), shown, names.first.end());
  std::sort(names.first.begin(), shown);
  names.first.erase(shown, names.first.end());
  return names;
}

shown_names beyond_report::adds(const numbered_input& model,
                                const dependency_report& report,
                                size_t i) const {
  if (!traced) return names_of(model, steps.adds(i));
  shown_names names = first_of(report.added(report.steps[i]));
  names.count = report.steps[i].added_in_all;
  return names;
}

beyond_report beyond(const numbered_input& model, derivations& with,
                     size_t place, const dependency_report& report) {
  beyond_report more;
  using outcome = dependency_report::outcome;
  if (report.how == outcome::derived) {
    std::vector<size_t> places;
    for (const dependency_report::step& step : report.steps)
      places.push_back(step.place);
    more.steps =
        with.needed_steps(model.left[place], model.right[place], places);
    more.traced = more.steps.empty();
  } else if (report.how == outcome::lost) {
    number attribute;
    for (std::string_view name : report.missing)
      if (!model.names.find(name, attribute) || !model.held[attribute])
        more.in_no_schema.emplace(name);
    with.allow(kWorkPerLostDependency);
    more.suggested = suggested_schema(
        with, model.left[place], model.right[place], report.derived_numbers);
  }
  return more;
}

std::string as_text(const messages& say, const input& in,
                    const input_line& line, const schema& left,
                    const dependency_report& report,
                    const beyond_report& more) {
  std::string text = line_text(say, line) + "\n";
  using outcome = dependency_report::outcome;
  switch (report.how) {
    case outcome::within_left_side:
      return text +
             std::string(say(message(
                 "  preserved: its right side lies within its left side\n")));
    case outcome::inside_one_schema:
      return text + said(say,
                         message("  preserved: both sides lie in one schema, "
                                 "{1}\n"),
                         {line_text(say, in.schema_lines[report.place])});
    case outcome::derived: {
      const size_t n = more.step_count(report);
      add_said(text, say,
               n == 1 ? message("  preserved: derived in {1} step")
                      : message("  preserved: derived in {1} steps"),
               {std::to_string(n)});
      text += more.traced ? say(message(", as traced\n")) : "\n";
      size_t next = 0;  // the place of the next step
      for (size_t i : shown_steps(n)) {
        if (i > next)
          add_said(text, say, message("    \u2026 {1} steps left out\n"),
                   {std::to_string(i - next)});
        add_said(text, say, message("    {1}\n      adds {2}\n"),
                 {line_text(say, in.schema_lines[more.place(report, i)]),
                  set_text(say, more.adds(in.model, report, i))});
        next = i + 1;
      }
      return text;
    }
    case outcome::lost:
      add_said(text, say,
               message("  LOST: the decomposition derives from {1} only "
                       "{2}\n    missing: {3}\n"),
               {set_text(say, left), set_text(say, derived_of(report)),
                set_text(say, report.missing)});
      if (!more.in_no_schema.empty())
        add_said(text, say, message("    in no schema: {1}\n"),
                 {set_text(say, more.in_no_schema)});
      return text +
             said(say,
                  more.suggested.irreducible
                      ? message("    a schema that would keep it: {1}\n")
                      : message("    a schema that would keep it, perhaps "
                                "with names it does not need: {1}\n"),
                  {set_text(say, names_of(in.model, more.suggested.names))});
  }
  return text;
}

std::string as_json(const input& in, const input_line& line, const schema& left,
                    const schema& right, const dependency_report& report,
                    const beyond_report& more) {
  std::string json = "{";
  json += json_line(line);
  json += ", " + json_names("left", left);
  json += ", " + json_names("right", right);
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
      const size_t n = more.step_count(report);
      const std::vector<size_t> shown = shown_steps(n);
      for (size_t i : shown)
        json += std::string(i > shown.front() ? ", " : "") + "{" +
                json_line(in.schema_lines[more.place(report, i)]) + ", " +
                json_names("adds", more.adds(in.model, report, i)) + "}";
      json += "]";
      if (shown.size() < n)
        json += ", \"steps_left_out\": " + std::to_string(n - shown.size());
      if (more.traced) json += ", \"steps_as_traced\": true";
      return json + "}";
    }
    case outcome::lost:
      return json + ", \"preserved\": false, \"how\": \"lost\", " +
             json_names("derived", derived_of(report)) + ", " +
             json_names("missing", report.missing) + ", " +
             json_names("in_no_schema", more.in_no_schema) + ", " +
             json_names("suggested_schema",
                        names_of(in.model, more.suggested.names)) +
             (more.suggested.irreducible
                  ? ""
                  : ", \"suggested_schema_unfinished\": true") +
             "}";
  }
  return json + "}";
}

// The numbers of the lines a repair's schema keeps, at most kShownNames of
// them, separated by commas; and how many are left out.
std::string kept_lines(const std::vector<size_t>& lines, size_t& more) {
  std::string text;
  for (size_t i = 0; i < lines.size() && i < kShownNames; ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(lines[i]);
  }
  more = lines.size() - std::min(lines.size(), kShownNames);
  return text;
}

// The repair of the whole decomposition: nothing when nothing is lost.
std::string repair_text(const messages& say, const numbered_input& model,
                        const std::vector<repair_schema>& repair) {
  if (repair.empty()) return "";
  std::string text =
      said(say,
           repair.size() == 1
               ? message("\nto keep every lost dependency, add {1} schema:\n")
               : message("\nto keep every lost dependency, add {1} schemas:\n"),
           {std::to_string(repair.size())});
  for (const repair_schema& s : repair) {
    size_t more = 0;
    const std::string lines = kept_lines(s.keeps, more);
    add_said(text, say,
             s.keeps.size() == 1 ? message("  {1}\n    keeps line {2}")
                                 : message("  {1}\n    keeps lines {2}"),
             {set_text(say, names_of(model, s.names)), lines});
    if (more)
      add_said(text, say, message(", \u2026 {1} more"), {std::to_string(more)});
    text += "\n";
  }
  return text;
}

// The lines a repair's schema keeps, in JSON: the numbers, and how many are
// left out when some are.
std::string kept_json(const std::vector<size_t>& lines) {
  size_t more = 0;
  const std::string numbers = kept_lines(lines, more);
  return "[" + numbers + "]" +
         (more ? ", \"keeps_left_out\": " + std::to_string(more) : "");
}

std::string repair_json(const numbered_input& model,
                        const std::vector<repair_schema>& repair) {
  std::string json = "\"repair\": [";
  for (size_t i = 0; i < repair.size(); ++i)
    json += std::string(i ? ", " : "") + "{" +
            json_names("schema", names_of(model, repair[i].names)) +
            ", \"keeps\": " + kept_json(repair[i].keeps) + "}";
  return json + "]";
}

}  // namespace

bool write_explanation(const input& in, std::string_view name,
                       explanation_format format,
                       const std::function<void(std::string_view)>& write,
                       const messages& say) {
  const bool json = format == explanation_format::json;
  const numbered_input& model = in.model;
  // The dependencies are tested and written in the order of their lines.
  std::vector<size_t> order(model.dependency_count());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return in.dependency_lines[a].number < in.dependency_lines[b].number;
  });

  if (json) write("{\"input\": " + json_bytes(name) + ", \"results\": [\n");
  derivations with(model);
  std::vector<repair_schema> suggested;
  size_t written = 0;
  const bool preserving = explain(
      model, order,
      [&](size_t place, const dependency_report& report) {
        const input_line& line = in.dependency_lines[place];
        const schema left = schema_of(model, model.left[place]);
        const beyond_report more = beyond(model, with, place, report);
        if (report.how == dependency_report::outcome::lost)
          suggested.push_back({more.suggested.names, {line.number}});
        if (json) {
          write((written++ ? ",\n" : "") +
                as_json(in, line, left, schema_of(model, model.right[place]),
                        report, more));
        } else {
          write(as_text(say, in, line, left, report, more));
        }
      },
      kShown);

  const size_t count = model.dependency_count(), lost = suggested.size();
  const std::vector<repair_schema> repair = whole_repair(std::move(suggested));
  const std::string_view verdict = preserving ? kPreserving : kNotPreserving;
  if (json) {
    write(std::string(count ? "\n" : "") + "], " + repair_json(model, repair) +
          ", \"dependencies\": " + std::to_string(count) +
          ", \"lost\": " + std::to_string(lost) +
          ", \"preserved\": " + (preserving ? "true" : "false") +
          ", \"verdict\": \"" + std::string(verdict) + "\"}\n");
  } else {
    write(repair_text(say, model, repair) + std::string(count ? "\n" : "") +
          said(say,
               count == 1 ? message("{1} dependency, ")
                          : message("{1} dependencies, "),
               {std::to_string(count)}) +
          (lost ? said(say, message("{1} lost: "), {std::to_string(lost)})
                : std::string(say(message("none lost: ")))) +
          std::string(verdict) + "\n");
  }
  return preserving;
}
