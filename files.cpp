#include "files.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// Writes every byte of the buffers, resuming after short writes and signals.
// Returns false with errno set when the file refuses a write. A single
// buffer goes through write(), which costs the kernel less than writev().
bool write_fully(int fd, iovec* parts, int count) {
  while (count > 0) {
    const ssize_t written = count == 1
                                ? ::write(fd, parts->iov_base, parts->iov_len)
                                : ::writev(fd, parts, count);
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

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

failure system_failure(const std::string& what, int error) {
  return failure(what + ": " + std::strerror(error));
}

bool write_all(int fd, std::initializer_list<std::string_view> texts) {
  iovec parts[3];
  int count = 0;
  for (std::string_view text : texts)
    if (count < 3)
      parts[count++] = {const_cast<char*>(text.data()), text.size()};
  return write_fully(fd, parts, count);
}

descriptor::~descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int descriptor::close() { return ::close(std::exchange(fd_, -1)); }

// ---------------------------------------------------------------------------
// line_reader

line_reader::line_reader(const std::string& path)
    : line_reader(path, "input file " + quoted(path),
                  ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

line_reader line_reader::standard_input(const std::string& name) {
  return line_reader(name, "standard input", ::dup(STDIN_FILENO));
}

// Takes over fd, opened on the input that what describes; throws failure
// when it is not open.
line_reader::line_reader(std::string path, std::string what, int fd)
    : path_(std::move(path)), what_(std::move(what)), fd_(fd) {
  if (fd_.get() < 0 || ::fstat(fd_.get(), &status_) != 0)
    throw system_failure("cannot open " + what_, errno);
  // A directory opens for reading but holds no lines.
  if (S_ISDIR(status_.st_mode))
    throw system_failure("cannot open " + what_, EISDIR);
}

bool line_reader::next(std::string_view& record) {
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const void* feed =
        scanned_ == end_  // also before the first read, with no buffer yet
            ? nullptr
            : std::memchr(buffer_.data() + scanned_, '\n', end_ - scanned_);
    if (feed != nullptr) {
      const size_t length = static_cast<const char*>(feed) - start + 1;
      record = std::string_view(start, length);
      begin_ = scanned_ = begin_ + length;
      return true;
    }
    scanned_ = end_;
    if (at_end_) {
      if (begin_ == end_) return false;
      record = std::string_view(start, end_ - begin_);
      begin_ = scanned_ = end_;
      return true;
    }
    fill();
  }
}

// Reads one more block behind the unfinished line, moving that line to the
// front of the buffer and growing the buffer when the line fills it.
void line_reader::fill() {
  constexpr size_t kBlock = 64 * 1024;
  const size_t pending = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    scanned_ -= begin_;
    begin_ = 0;
    end_ = pending;
  }
  if (buffer_.size() - end_ < kBlock) buffer_.resize(end_ + kBlock);
  for (;;) {
    const ssize_t got =
        ::read(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
    if (got > 0) {
      end_ += static_cast<size_t>(got);
      return;
    }
    if (got == 0) {
      at_end_ = true;
      return;
    }
    if (errno != EINTR) throw system_failure("cannot read " + what_, errno);
  }
}

bool text_lines::next(std::string_view& record) {
  if (rest_.empty()) return false;
  const size_t feed = rest_.find('\n');
  const size_t length = feed == std::string_view::npos ? rest_.size() : feed + 1;
  record = rest_.substr(0, length);
  rest_.remove_prefix(length);
  return true;
}

// ---------------------------------------------------------------------------
// line_writer

// The same-file check runs before opening, so that a read-only input is
// reported as what it is, and again on the opened file, so that nothing can
// slip in between.
line_writer::line_writer(const std::string& path, const line_reader& input)
    : path_(path), fd_(open_for_writing(path, input)) {
  struct stat status {};
  if (::fstat(fd_.get(), &status) != 0) fail_to_open(errno);
  refuse_input(status, input);
  if (S_ISREG(status.st_mode) && ::ftruncate(fd_.get(), 0) != 0)
    fail_to_open(errno);
}

void line_writer::write_line(std::string_view record) {
  char feed = '\n';
  iovec parts[] = {{const_cast<char*>(record.data()), record.size()},
                   {&feed, 1}};
  const int count = record.ends_with('\n') ? 1 : 2;
  if (!write_fully(fd_.get(), parts, count)) fail_to_write(errno);
}

void line_writer::close() {
  if (fd_.close() != 0) fail_to_write(errno);
}

// Opens path for writing without cutting it: a new file gets 0664 minus the
// umask. An existing file is cut only once it is known not to be the input.
int line_writer::open_for_writing(const std::string& path,
                                  const line_reader& input) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) refuse_input(status, input);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0664);
  if (fd < 0) fail_to_open(errno);
  return fd;
}

void line_writer::refuse_input(const struct stat& status,
                               const line_reader& input) {
  if (same_file(status, input.status()))
    throw failure("cannot open output file " + quoted(path_) +
                  ": it is the input file " + quoted(input.path()));
}

void line_writer::fail_to_open(int error) {
  throw system_failure("cannot open output file " + quoted(path_), error);
}

void line_writer::fail_to_write(int error) {
  throw system_failure("cannot write output file " + quoted(path_), error);
}
