// libFuzzer target: feeds arbitrary bytes through a whole run (reading, echo,
// analysis, verdict) and checks what must hold for every input:
// - the run ends normally, or rejects a dependency line without "->";
// - a normal run writes every input line, one empty line and one verdict;
// - a rejected run writes the lines before the rejected one, nothing more;
// - the verdict stays the same when the schema lines are shuffled, and when
//   the dependency lines are shuffled, as long as no two of them have equal
//   left sides (a later equal left side replaces the right side);
// - on a small input, the verdict is the one that the definition gives;
// - the explanation gives the same verdict, its JSON is well formed, and on
//   inputs of a few hundred lines every report passes the checker written
//   from the definition.
// Files live in memory (memfd), so no run touches the disk.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "definition.h"
#include "explain.h"
#include "files.h"
#include "json_check.h"
#include "main.h"

namespace {

const std::string kYes = "f\xFCgg\xF5s\xE9g\xF6rz\xF5";
const std::string kNo = "nem " + kYes;

void check(bool condition) {
  if (!condition) std::abort();
}

// A file in memory, and the name under which the tool can open it.
class memory_file {
 public:
  memory_file() : fd_(::memfd_create("fdkeep-fuzz", 0)) { check(fd_ >= 0); }
  ~memory_file() { ::close(fd_); }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  void write(const std::string& bytes) {
    check(::ftruncate(fd_, 0) == 0);
    check(::pwrite(fd_, bytes.data(), bytes.size(), 0) ==
          static_cast<ssize_t>(bytes.size()));
  }
  std::string read() const {
    std::string bytes(::lseek(fd_, 0, SEEK_END), '\0');
    check(::pread(fd_, bytes.data(), bytes.size(), 0) ==
          static_cast<ssize_t>(bytes.size()));
    return bytes;
  }

 private:
  int fd_;
};

std::vector<std::string> lines_of(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t feed = bytes.find('\n', start);
    if (feed == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, feed - start));
    start = feed + 1;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + '\n';
  return bytes;
}

// The 0-based index of the first dependency line without "->", or -1.
long rejected_line(const std::vector<std::string>& lines) {
  bool dependencies = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty())
      dependencies = true;
    else if (dependencies && lines[i].find("->") == std::string::npos)
      return static_cast<long>(i);
  }
  return -1;
}

// Runs the tool on lines and checks its output; returns the verdict, or
// false after a rejected line.
bool run_and_check(const std::vector<std::string>& lines) {
  memory_file input, output;
  input.write(joined(lines));
  const long rejected = rejected_line(lines);
  try {
    run(input.path(), output.path());
  } catch (const failure& error) {
    check(rejected >= 0);
    check(std::string(error.what()) == input.path() + ":" +
                                           std::to_string(rejected + 1) +
                                           ": dependency has no \"->\"");
    check(output.read() == joined(std::vector<std::string>(
                               lines.begin(), lines.begin() + rejected)));
    return false;
  }
  check(rejected < 0);
  const std::string written = output.read();
  const std::string echo = joined(lines) + "\n";
  check(written == echo + kYes + "\n" || written == echo + kNo + "\n");
  return written.size() == echo.size() + kYes.size() + 1;
}

// The verdict that the definition gives for the input, when it is small
// enough to find that way: projecting costs 2^n per schema of n names.
std::optional<bool> verdict_if_small(const std::vector<std::string>& lines) {
  size_t projection_cost = 0;
  for (const std::string& line : lines) {
    if (line.empty()) break;
    const size_t names = std::count(line.begin(), line.end(), ',') + 1;
    projection_cost += size_t{1} << std::min<size_t>(names, 13);
  }
  if (projection_cost > 1 << 12) return std::nullopt;
  return verdict_by_definition(joined(lines));
}

// Explains the input that the run gave verdict for, and checks the
// explanation.
void explain_and_check(const std::string& bytes, size_t lines, bool verdict) {
  const input in = read_input_text(bytes, "fuzz");
  std::string json;
  check(write_explanation(in, "fuzz", explanation_format::json,
                          [&](std::string_view piece) { json += piece; },
                          messages(language::english)) == verdict);
  check(well_formed_json(json));
  if (lines > 300) return;
  decomposition schemas;
  dependency_map dependencies;
  const numbered_input& model = in.model;
  for (size_t s = 0; s < model.schemas.size(); ++s)
    schemas.insert(schema_of(model, model.schemas[s]));
  for (size_t d = 0; d < model.dependency_count(); ++d)
    dependencies.emplace(schema_of(model, model.left[d]),
                         schema_of(model, model.right[d]));
  auto entry = dependencies.begin();
  explain(schemas, dependencies, {},
          [&](size_t, const dependency_report& report) {
            const auto& [left, right] = *entry++;
            check(explanation_fault(schemas, dependencies, left, right, report)
                      .empty());
          });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = lines_of(bytes);
  if (rejected_line(lines) >= 0) {
    run_and_check(lines);
    return 0;
  }
  const bool verdict = run_and_check(lines);

  const auto separator = std::find(lines.begin(), lines.end(), "");
  std::vector<std::string> schemas(lines.begin(), separator);
  std::vector<std::string> dependencies;
  if (separator != lines.end())
    for (auto line = separator + 1; line != lines.end(); ++line)
      if (!line->empty()) dependencies.push_back(*line);
  if (const auto expected = verdict_if_small(lines))
    check(verdict == *expected);
  explain_and_check(bytes, lines.size(), verdict);

  std::mt19937 random(static_cast<unsigned>(size));

  std::shuffle(schemas.begin(), schemas.end(), random);
  std::vector<std::string> shuffled = schemas;
  shuffled.push_back("");
  shuffled.insert(shuffled.end(), dependencies.begin(), dependencies.end());
  check(run_and_check(shuffled) == verdict);

  std::set<schema> left_sides;
  for (const std::string& line : dependencies)
    if (!left_sides.insert(schema(line.substr(0, line.find("->")))).second)
      return 0;
  std::shuffle(dependencies.begin(), dependencies.end(), random);
  std::copy(dependencies.begin(), dependencies.end(),
            shuffled.end() - dependencies.size());
  check(run_and_check(shuffled) == verdict);
  return 0;
}
