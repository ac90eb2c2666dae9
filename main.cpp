#include "main.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kArrow = "->";

// ---------------------------------------------------------------------------
// Files

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// "<what failed>: <reason of errno>".
failure system_failure(const std::string& what, int error) {
  return failure(what + ": " + std::strerror(error));
}

// Writes every byte of the buffers, resuming after short writes and signals.
// Returns false with errno set when the file refuses a write.
bool write_fully(int fd, iovec* parts, int count) {
  while (count > 0) {
    const ssize_t written = ::writev(fd, parts, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    size_t left = static_cast<size_t>(written);
    while (count > 0 && left >= parts->iov_len) {
      left -= parts->iov_len;
      ++parts;
      --count;
    }
    if (count > 0) {
      parts->iov_base = static_cast<char*>(parts->iov_base) + left;
      parts->iov_len -= left;
    }
  }
  return true;
}

// An open file descriptor, closed when its holder goes away.
class descriptor {
 public:
  explicit descriptor(int fd) : fd_(fd) {}
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
  ~descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }

  // Closes the file now and returns what close() returned.
  int close() { return ::close(std::exchange(fd_, -1)); }

 private:
  int fd_;
};

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The input file, read in large blocks and cut into lines at line feeds.
class line_reader {
 public:
  explicit line_reader(const std::string& path)
      : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_.get() < 0 || ::fstat(fd_.get(), &status_) != 0)
      throw system_failure("cannot open input file " + quoted(path_), errno);
    // A directory opens for reading but holds no lines.
    if (S_ISDIR(status_.st_mode))
      throw system_failure("cannot open input file " + quoted(path_), EISDIR);
  }

  const std::string& path() const { return path_; }
  const struct stat& status() const { return status_; }

  // Sets line to the next line, without its line feed, and returns true; the
  // view stays valid until the next call. Bytes after the last line feed form
  // one more line. Returns false when the input is used up, and throws
  // failure when a read fails.
  bool next(std::string_view& line) {
    for (;;) {
      const char* start = buffer_.data() + begin_;
      const void* feed = std::memchr(buffer_.data() + scanned_, '\n',
                                     end_ - scanned_);
      if (feed != nullptr) {
        const size_t length = static_cast<const char*>(feed) - start;
        line = std::string_view(start, length);
        begin_ = scanned_ = begin_ + length + 1;
        return true;
      }
      scanned_ = end_;
      if (at_end_) {
        if (begin_ == end_) return false;
        line = std::string_view(start, end_ - begin_);
        begin_ = scanned_ = end_;
        return true;
      }
      fill();
    }
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;

  // Reads one more block behind the unfinished line, moving that line to the
  // front of the buffer and growing the buffer when the line fills it.
  void fill() {
    const size_t pending = end_ - begin_;
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
      scanned_ -= begin_;
      begin_ = 0;
      end_ = pending;
    }
    if (buffer_.size() - end_ < kBlock) buffer_.resize(end_ + kBlock);
    for (;;) {
      const ssize_t got = ::read(fd_.get(), buffer_.data() + end_,
                                 buffer_.size() - end_);
      if (got > 0) {
        end_ += static_cast<size_t>(got);
        return;
      }
      if (got == 0) {
        at_end_ = true;
        return;
      }
      if (errno != EINTR)
        throw system_failure("cannot read input file " + quoted(path_), errno);
    }
  }

  std::string path_;
  descriptor fd_;
  struct stat status_ {};
  std::vector<char> buffer_;
  size_t begin_ = 0;    // first byte of the unfinished line
  size_t scanned_ = 0;  // bytes before this hold no line feed
  size_t end_ = 0;      // end of the bytes read so far
  bool at_end_ = false;
};

// The output file. Every line goes out with its line feed in one write, so
// each line is in the file as soon as it has been written.
class line_writer {
 public:
  // Opens the output file, refusing the input file itself. The same-file
  // check runs before opening, so that a read-only input is reported as what
  // it is, and again on the opened file, so that nothing can slip in between.
  line_writer(const std::string& path, const line_reader& input)
      : path_(path), fd_(-1) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) refuse_input(status, input);
    fd_ = open_for_writing(path);
    if (::fstat(fd_, &status) != 0) fail_to_open(errno);
    refuse_input(status, input);
    if (S_ISREG(status.st_mode) && ::ftruncate(fd_, 0) != 0)
      fail_to_open(errno);
  }
  line_writer(const line_writer&) = delete;
  line_writer& operator=(const line_writer&) = delete;
  ~line_writer() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Writes line and a line feed. Throws failure when the write fails.
  void write_line(std::string_view line) {
    char feed = '\n';
    iovec parts[] = {{const_cast<char*>(line.data()), line.size()},
                     {&feed, 1}};
    if (!write_fully(fd_, parts, 2)) fail_to_write(errno);
  }

  // Closes the file, reporting a write error that shows only now.
  void close() {
    if (::close(std::exchange(fd_, -1)) != 0) fail_to_write(errno);
  }

 private:
  // Opens path for writing without cutting it: a new file gets 0664 minus
  // the umask. An existing file is cut only once it is known not to be the
  // input.
  int open_for_writing(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0664);
    if (fd < 0) fail_to_open(errno);
    return fd;
  }

  void refuse_input(const struct stat& status, const line_reader& input) {
    if (same_file(status, input.status()))
      throw failure("cannot open output file " + quoted(path_) +
                    ": it is the input file " + quoted(input.path()));
  }

  [[noreturn]] void fail_to_open(int error) {
    throw system_failure("cannot open output file " + quoted(path_), error);
  }
  [[noreturn]] void fail_to_write(int error) {
    throw system_failure("cannot write output file " + quoted(path_), error);
  }

  std::string path_;
  int fd_;
};

// ---------------------------------------------------------------------------
// Reading the input

// The state of one read of the input file: the section, and what has been
// built of the decomposition, the universe and the dependency map so far.
struct input_model {
  bool decomposition_section = true;
  decomposition schemas;
  dependency_map dependencies;
  schema universe;
};

// Adds a decomposition line's schema, and its names to the universe.
void add_schema(std::string_view line, input_model& model) {
  auto [position, added] = model.schemas.emplace(line);
  if (added) model.universe.insert(position->begin(), position->end());
}

// Cuts a dependency line at its first "->" and sets the map's entry for the
// left side; an entry for an equal left side loses its right side. Returns
// false when the line has no "->".
bool add_dependency(std::string_view line, input_model& model) {
  const size_t arrow = line.find(kArrow);
  if (arrow == std::string_view::npos) return false;
  model.dependencies.insert_or_assign(
      schema(line.substr(0, arrow)), schema(line.substr(arrow + kArrow.size())));
  return true;
}

// Sorts one line into the model. An empty line ends the decomposition
// section; every other line is a schema there and a dependency after it.
// Returns false for a dependency line without "->".
bool take_line(std::string_view line, input_model& model) {
  if (line.empty()) {
    model.decomposition_section = false;
    return true;
  }
  if (model.decomposition_section) {
    add_schema(line, model);
    return true;
  }
  return add_dependency(line, model);
}

}  // namespace

void run(const std::string& input_path, const std::string& output_path) {
  line_reader input(input_path);
  line_writer output(output_path, input);
  input_model model;
  std::string_view line;
  for (size_t number = 1; input.next(line); ++number) {
    if (!take_line(line, model))
      throw failure(input_path + ":" + std::to_string(number) +
                    ": dependency has no \"->\"");
    output.write_line(line);
  }
  output.write_line("");
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
    "writes an empty line and the verdict, in ISO-8859-2:\n"
    "\"f\xFCgg\xF5s\xE9g\xF6rz\xF5\" (preserving) or "
    "\"nem f\xFCgg\xF5s\xE9g\xF6rz\xF5\" (not preserving).\n"
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
    "Exit status: 0 when the verdict was written, 1 when a file could not be\n"
    "read or written, a dependency line has no \"->\" or memory ran out, 2 for\n"
    "a wrong command line.\n"
    "\n"
    "Options, given alone: -h, --help  this text; --version  the version.\n";

constexpr std::string_view kVersion = "fdkeep " FDKEEP_VERSION "\n";

// Writes up to three texts one after the other to fd; returns false when it
// cannot. Allocates nothing, so that it can report exhausted memory.
bool print(int fd, std::initializer_list<std::string_view> texts) {
  iovec parts[3];
  int count = 0;
  for (std::string_view text : texts)
    parts[count++] = {const_cast<char*>(text.data()), text.size()};
  return write_fully(fd, parts, count);
}

// Prints the answer to --help or --version. Throws failure when standard
// output refuses it, so that a lost answer does not pass for success.
int answer(std::initializer_list<std::string_view> texts) {
  if (!print(STDOUT_FILENO, texts))
    throw system_failure("cannot write standard output", errno);
  return kExitSuccess;
}

// Reports a failure on standard error as "fdkeep: <what>".
int report(std::string_view what) {
  print(STDERR_FILENO, {"fdkeep: ", what, "\n"});
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
      print(STDERR_FILENO, {kUsage});
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
