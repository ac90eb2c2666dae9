// fdkeep-explain: says why a decomposition preserves its dependencies or
// not, dependency by dependency. It reads its input by fdkeep's rules and
// tests it with fdkeep's analysis; only the writing is its own.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>

#include "explain.h"
#include "files.h"
#include "messages.h"
#include "reading.h"

namespace {

// Exit statuses.
constexpr int kAllPreserved = 0;
constexpr int kSomeLost = 1;
constexpr int kFailure = 2;  // also for a wrong command line

constexpr std::string_view kUsage =
    message("usage: fdkeep-explain [--json] [--quiet] INPUT\n");

constexpr std::string_view kHelp = message(
    "\n"
    "Says why a decomposition preserves its functional dependencies or not.\n"
    "Reads INPUT as fdkeep does (\"-\" reads standard input) and writes, for\n"
    "each dependency, how it is preserved (its right side within its left\n"
    "side, both sides in one schema, or the steps of a derivation) or, when\n"
    "it is lost, what the decomposition derives from its left side, what is\n"
    "missing and a schema that would keep it; then schemas that, added\n"
    "together, keep every lost dependency, a summary and fdkeep's verdict,\n"
    "in UTF-8.\n"
    "\n"
    "Names that could be mistaken are quoted: \"\" is the empty name, \\xHH\n"
    "a byte that is not UTF-8 or a control, \\u{HHHH} a character that\n"
    "hides, reorders or combines (see the manual).\n"
    "\n"
    "  --json   write one JSON document instead of text\n"
    "  --quiet  write nothing; the exit status tells\n"
    "  --help, -h, --version, given alone: this text, the version\n"
    "\n"
    "Exit status: 0 when every dependency is preserved, 1 when one is lost,\n"
    "2 when the input cannot be read, a dependency line has no \"->\", memory\n"
    "runs out, standard output cannot be written, or the command line is\n"
    "wrong.\n");

constexpr std::string_view kVersion = "fdkeep-explain " FDKEEP_VERSION "\n";

// Standard output, written in large pieces. A write that fails throws
// failure.
class standard_output {
 public:
  void write(std::string_view text) {
    buffer_ += text;
    if (buffer_.size() >= kPiece) flush();
  }

  void flush() {
    if (!write_all(STDOUT_FILENO, {buffer_})) {
      const int error = errno;
      throw system_failure(message("cannot write standard output: {1}"), {},
                           error);
    }
    buffer_.clear();
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;
  std::string buffer_;
};

// What the command line asks for.
struct request {
  explanation_format format = explanation_format::text;
  bool quiet = false;
  std::string input;
};

// Reads the command line into what. Returns the exit status when the
// command line is answered by itself (help, version or a usage error), or -1
// when the run goes on.
int parse(int argc, char* argv[], request& what, standard_output& out,
          const messages& say) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    out.write(say(kUsage));
    out.write(say(kHelp));
    return kAllPreserved;
  }
  if (argc == 2 && first == "--version") {
    out.write(kVersion);
    return kAllPreserved;
  }
  bool options = true;
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--json") {
      what.format = explanation_format::json;
    } else if (options && arg == "--quiet") {
      what.quiet = true;
    } else if (options && arg.size() > 1 && arg.front() == '-') {
      return -2;
    } else {
      what.input = arg;
      ++inputs;
    }
  }
  return inputs == 1 ? -1 : -2;
}

// Reports a failure on standard error as "fdkeep-explain: <what>".
// Allocates nothing, so that it can report exhausted memory.
int report(std::string_view what) {
  write_all(STDERR_FILENO, {"fdkeep-explain: ", what, "\n"});
  return kFailure;
}

// Reads, explains and writes, in the language of say.
int run(int argc, char* argv[], const messages& say) {
  try {
    standard_output out;
    request what;
    const int answered = parse(argc, argv, what, out, say);
    if (answered == -2) {
      write_all(STDERR_FILENO, {say(kUsage)});
      return kFailure;
    }
    if (answered >= 0) {
      out.flush();
      return answered;
    }
    const std::string standard_name(say(message("standard input")));
    const input in = read_input(what.input, standard_name);
    const std::string_view name =
        what.input == "-" ? std::string_view(standard_name) : what.input;
    const bool preserving =
        write_explanation(in, name, what.format, [&](std::string_view text) {
          if (!what.quiet) out.write(text);
        },
        say);
    out.flush();
    return preserving ? kAllPreserved : kSomeLost;
  } catch (const failure& error) {
    return report(fill(say(error.form()), error.values()));
  } catch (const std::bad_alloc&) {
    return report(say(message("out of memory")));
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    const messages say(
        language_from([](const char* name) { return std::getenv(name); }));
    return run(argc, argv, say);
  } catch (const std::bad_alloc&) {  // before the texts could be made
    return report("out of memory");
  }
}
