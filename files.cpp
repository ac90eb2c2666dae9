#include "files.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

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

failure::failure(std::string_view form, std::vector<std::string> values)
    : std::runtime_error(fill(form, values)),
      form_(form),
      values_(std::move(values)) {}

failure system_failure(std::string_view form, std::vector<std::string> values,
                       int error) {
  values.emplace_back(std::strerror(error));
  return failure(form, std::move(values));
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
    : line_reader(path, false, ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

line_reader line_reader::standard_input(const std::string& name) {
  return line_reader(name, true, ::dup(STDIN_FILENO));
}

// Takes over fd, opened on the input file path or on standard input; throws
// failure when it is not open.
line_reader::line_reader(std::string path, bool standard, int fd)
    : path_(std::move(path)), standard_(standard), fd_(fd) {
  const int error = fd_.get() < 0 || ::fstat(fd_.get(), &status_) != 0
                        ? errno
                    : S_ISDIR(status_.st_mode)
                        ? EISDIR  // it opens for reading but holds no lines
                        : 0;
  if (error == 0) return;
  if (standard_)
    throw system_failure(message("cannot open standard input: {1}"), {},
                         error);
  throw system_failure(message("cannot open input file '{1}': {2}"), {path_},
                       error);
}

bool line_reader::next(std::string_view& record) {
  for (;;) {
    const char* start = buffer_.get() + begin_;
    const void* feed =
        scanned_ == end_  // also before the first read, with no buffer yet
            ? nullptr
            : std::memchr(buffer_.get() + scanned_, '\n', end_ - scanned_);
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
    std::memmove(buffer_.get(), buffer_.get() + begin_, pending);
    scanned_ -= begin_;
    begin_ = 0;
    end_ = pending;
  }
  if (capacity_ - end_ < kBlock) {
    std::unique_ptr<char[]> larger(new char[end_ + kBlock]);
    if (end_ > 0) std::memcpy(larger.get(), buffer_.get(), end_);
    buffer_ = std::move(larger);
    capacity_ = end_ + kBlock;
  }
  for (;;) {
    const ssize_t got =
        ::read(fd_.get(), buffer_.get() + end_, capacity_ - end_);
    if (got > 0) {
      end_ += static_cast<size_t>(got);
      return;
    }
    if (got == 0) {
      at_end_ = true;
      return;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (standard_)
      throw system_failure(message("cannot read standard input: {1}"), {},
                           error);
    throw system_failure(message("cannot read input file '{1}': {2}"),
                         {path_}, error);
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
    throw failure(
        message("cannot open output file '{1}': it is the input file '{2}'"),
        {path_, input.path()});
}

void line_writer::fail_to_open(int error) {
  throw system_failure(message("cannot open output file '{1}': {2}"), {path_},
                       error);
}

void line_writer::fail_to_write(int error) {
  throw system_failure(message("cannot write output file '{1}': {2}"),
                       {path_}, error);
}
