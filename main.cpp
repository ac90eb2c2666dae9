#include "main.h"

#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <new>
#include <vector>

#include "closure.h"
#include "files.h"
#include "preservation.h"
#include "reading.h"

namespace {

// The verdicts, in ISO-8859-2: "függőségörző" and "nem függőségörző".
constexpr std::string_view kPreserving = "f\xFCgg\xF5s\xE9g\xF6rz\xF5";
constexpr std::string_view kNotPreserving = "nem f\xFCgg\xF5s\xE9g\xF6rz\xF5";

// The verdict line for the model of an input, without its line feed.
std::string_view verdict_of(const numbered_input& model) {
  return preserves(model) ? kPreserving : kNotPreserving;
}

}  // namespace

schema linear_cutoff(const schema& /*universe*/,
                     const dependency_map& dependencies, const schema& start) {
  const numbered_input model = number_input(decomposition(), dependencies);
  const size_t width = model.names.size();
  std::vector<number> order(width);
  for (number a = 0; a < width; ++a) order[a] = a;
  const watched_dependencies all =
      watched_dependencies::make(model.left, model.right, width, order);
  std::vector<number> known;  // the names of start that the map mentions
  for (const std::string& name : start)
    if (number attribute; model.names.find(name, attribute))
      known.push_back(attribute);
  work_count work;
  closure close(all, width, work);
  close.compute(known);
  schema result = start;
  for (number attribute : close.reached().members())
    result.emplace(model.names.name(attribute));
  return result;
}

bool keep(const schema& /*universe*/, const decomposition& schemas,
          const dependency_map& dependencies) {
  return preserves(number_input(schemas, dependencies));
}

std::string output_for(std::string_view text, const std::string& name) {
  text_lines source(text);
  input_reader reader(name, false);
  std::string output;
  std::string_view record;
  while (source.next(record)) {
    reader.take(line_of(record));
    output += record;
    if (!record.ends_with('\n')) output += '\n';
  }
  return output.append("\n").append(verdict_of(reader.finish())).append("\n");
}

// The read loop: each line is taken into the model and then echoed, so that
// a line that is refused is not.
void run(const std::string& input_path, const std::string& output_path) {
  line_reader input(input_path);
  line_writer output(output_path, input);
  input_reader reader(input_path, false);
  std::string_view record;
  while (input.next(record)) {
    reader.take(line_of(record));
    output.write_line(record);
  }
  output.write_line("");
  output.write_line(verdict_of(reader.finish()));
  output.close();
}

#ifndef FDKEEP_NO_MAIN
// ---------------------------------------------------------------------------
// Command line

namespace {

constexpr std::string_view kUsage = "usage: fdkeep INPUT OUTPUT\n";

constexpr std::string_view kHelp =
    "\n"
    "Decides whether a decomposition of a relation schema preserves a set of\n"
    "functional dependencies. Copies every line of INPUT into OUTPUT, then\n"
    "writes an empty line and the verdict: \"függőségörző\" (preserving) or\n"
    "\"nem függőségörző\" (not preserving), in single ISO-8859-2 bytes.\n"
    "\n"
    "INPUT lists the schemas of the decomposition, one per line as\n"
    "comma-separated attribute names, then an empty line, then one dependency\n"
    "per line as LEFT->RIGHT, each side an attribute list:\n"
    "\n"
    "  A,B\n"
    "  B,D\n"
    "\n"
    "  A->B\n"
    "  D->A\n"
    "\n"
    "Names are taken byte for byte: blanks and carriage returns are part of\n"
    "them. OUTPUT is created with mode 0664 minus the umask, or overwritten.\n"
    "\n"
    "Exit status: 0 when the verdict was written, 1 when a file could not\n"
    "be read or written, a dependency line has no \"->\" or memory ran out,\n"
    "2 for a wrong command line.\n"
    "\n"
    "Options, given alone: -h, --help  this text; --version  the version.\n";

constexpr std::string_view kVersion = "fdkeep " FDKEEP_VERSION "\n";

// Prints the answer to --help or --version. Throws failure when standard
// output refuses it, so that a lost answer does not pass for success.
int answer(std::initializer_list<std::string_view> texts) {
  if (!write_all(STDOUT_FILENO, texts)) {
    const int error = errno;
    throw system_failure(message("cannot write standard output: {1}"), {},
                         error);
  }
  return kExitSuccess;
}

// Reports a failure on standard error as "fdkeep: <what>".
int report(std::string_view what) {
  write_all(STDERR_FILENO, {"fdkeep: ", what, "\n"});
  return kExitFailure;
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "-h"))
      return answer({kUsage, kHelp});
    if (argc == 2 && first == "--version") return answer({kVersion});
    if (argc < 3) {
      write_all(STDERR_FILENO, {kUsage});
      return kExitUsage;
    }
    run(argv[1], argv[2]);
    return kExitSuccess;
  } catch (const failure& error) {
    return report(error.what());
  } catch (const std::bad_alloc&) {
    return report("out of memory");
  }
}
#endif  // FDKEEP_NO_MAIN
