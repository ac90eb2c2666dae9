#include "reading.h"

#include "files.h"

namespace {

constexpr std::string_view kArrow = "->";

// Reads all of source, citing lines.
template <typename Source>
input read_cited(Source& source, const std::string& name) {
  input_reader reader(name, true);
  std::string_view record;
  while (source.next(record)) reader.take(line_of(record));
  return reader.finish_cited();
}

}  // namespace

input_reader::input_reader(std::string name, bool cite)
    : name_(std::move(name)), cite_(cite) {}

// An empty line ends the decomposition section; every other line is a schema
// there and a dependency after it.
void input_reader::take(std::string_view line) {
  ++number_;
  if (line.empty()) {
    decomposition_section_ = false;
  } else if (decomposition_section_) {
    add_schema(line);
  } else {
    add_dependency(line);
  }
}

void input_reader::add_schema(std::string_view line) {
  const auto at = recent_schemas_.place_of(line);
  if (at && recent_schemas_.find(*at, line) != nullptr) return;
  builder_.parse(line, left_);
  if (builder_.add_schema(left_).second && cite_)
    schema_lines_.push_back({number_, std::string(line)});
  if (at) recent_schemas_.keep(*at, line, true);
}

void input_reader::add_dependency(std::string_view line) {
  const size_t arrow = line.find(kArrow);
  if (arrow == std::string_view::npos)
    throw failure(message("{1}:{2}: dependency has no \"->\""),
                  {name_, std::to_string(number_)});
  // A line that repeats a recent one sets the same dependency's right side
  // to the same row again: a line between them may have replaced it.
  const auto at = recent_dependencies_.place_of(line);
  number place;
  if (const recent_dependency* known =
          at ? recent_dependencies_.find(*at, line) : nullptr) {
    place = known->dependency;
    builder_.set_right(place, known->right);
  } else {
    builder_.parse(line.substr(0, arrow), left_);
    builder_.parse(line.substr(arrow + kArrow.size()), right_);
    const auto [dependency, right] = builder_.set_dependency(left_, right_);
    place = dependency;
    if (at) recent_dependencies_.keep(*at, line, {dependency, right});
  }
  if (!cite_) return;
  if (place == dependency_lines_.size()) dependency_lines_.emplace_back();
  dependency_lines_[place] = {number_, std::string(line)};
}

input input_reader::finish_cited() {
  input result;
  result.model = builder_.finish();
  result.schema_lines = std::move(schema_lines_);
  result.dependency_lines = std::move(dependency_lines_);
  return result;
}

input read_input(const std::string& path, const std::string& standard_name) {
  if (path == "-") {
    line_reader source = line_reader::standard_input(standard_name);
    return read_cited(source, standard_name);
  }
  line_reader source(path);
  return read_cited(source, path);
}

input read_input_text(std::string_view text, const std::string& name) {
  text_lines source(text);
  return read_cited(source, name);
}
