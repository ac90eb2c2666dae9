// Files: the input read in large blocks and cut into lines, the output written
// a line at a time, and the one error type in which everything below the
// command line reports a failure.
//
// What they keep true: the input is opened for reading only and never
// created; the output is opened only after the input, never when it is the
// input itself, and every line written is in the file (handed to the system)
// before write_line() returns. A failure of the system is reported with the
// file's name and the system's reason.
//
// What they cost: one read() per 64 KiB of input, one write() per line out,
// and memory for the longest line.
#ifndef FDKEEP_FILES_H_
#define FDKEEP_FILES_H_

#include <sys/stat.h>

#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "messages.h"

// The one error type of a run. what() says what failed and why, without the
// program name: "cannot open input file 'in.txt': No such file or directory".
// Made from a form, an English text with {1}, {2}, ... for values (see
// messages.h), so that a front end can say the same in its reader's
// language.
class failure : public std::runtime_error {
 public:
  failure(std::string_view form, std::vector<std::string> values);
  explicit failure(std::string_view what) : failure(what, {}) {}

  // The English text with its places, and what goes into them.
  const std::string& form() const { return form_; }
  const std::vector<std::string>& values() const { return values_; }

 private:
  std::string form_;
  std::vector<std::string> values_;
};

// A failure of the system: form, whose last place is for the system's text
// for error, filled with values and that text.
failure system_failure(std::string_view form, std::vector<std::string> values,
                       int error);

// Writes every byte of the texts, in order, to the open file descriptor fd,
// resuming after short writes and signals. Returns false, with errno set,
// when the file refuses it. Takes at most three texts and allocates nothing,
// so that it can report exhausted memory.
bool write_all(int fd, std::initializer_list<std::string_view> texts);

// An open file descriptor, closed when its holder goes away.
class descriptor {
 public:
  explicit descriptor(int fd) : fd_(fd) {}
  descriptor(descriptor&& other) : fd_(std::exchange(other.fd_, -1)) {}
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
  ~descriptor();

  int get() const { return fd_; }

  // Closes the file now and returns what close() returned.
  int close();

 private:
  int fd_;
};

// An input, read in large blocks and cut into lines at line feeds.
class line_reader {
 public:
  // Opens the input file path. Throws failure when it cannot be opened or is
  // a directory.
  explicit line_reader(const std::string& path);

  // Reads standard input, called name in messages.
  static line_reader standard_input(const std::string& name);

  line_reader(line_reader&&) = default;

  const std::string& path() const { return path_; }
  const struct stat& status() const { return status_; }

  // Sets record to the next line followed by its line feed, or without one
  // when the input ends first, and returns true; the view stays valid until
  // the next call. Returns false when the input is used up, and throws
  // failure when a read fails.
  bool next(std::string_view& record);

 private:
  line_reader(std::string path, bool standard, int fd);
  void fill();

  std::string path_;
  bool standard_;  // standard input, not a file by its name
  descriptor fd_;
  struct stat status_ {};
  std::unique_ptr<char[]> buffer_;  // not zeroed: the reads fill it
  size_t capacity_ = 0;
  size_t begin_ = 0;    // first byte of the unfinished line
  size_t scanned_ = 0;  // bytes before this hold no line feed
  size_t end_ = 0;      // end of the bytes read so far
  bool at_end_ = false;
};

// An input held in memory, cut into lines at line feeds.
class text_lines {
 public:
  explicit text_lines(std::string_view text) : rest_(text) {}

  // As line_reader::next().
  bool next(std::string_view& record);

 private:
  std::string_view rest_;
};

// The output file. Every line goes out with its line feed in one write, so
// each line is in the file as soon as it has been written.
class line_writer {
 public:
  // Opens the output file path, refusing the input file itself: created with
  // mode 0664 minus the umask, or cut to length zero in place. Throws failure
  // when it cannot be opened or is the input.
  line_writer(const std::string& path, const line_reader& input);

  // Writes one line and its line feed in one write. record is the line,
  // followed by its line feed when the caller has one at hand; otherwise the
  // line feed is added. Throws failure when the write fails.
  void write_line(std::string_view record);

  // Closes the file, reporting a write error that shows only now.
  void close();

 private:
  int open_for_writing(const std::string& path, const line_reader& input);
  void refuse_input(const struct stat& status, const line_reader& input);
  [[noreturn]] void fail_to_open(int error);
  [[noreturn]] void fail_to_write(int error);

  std::string path_;
  descriptor fd_;
};

#endif  // FDKEEP_FILES_H_
