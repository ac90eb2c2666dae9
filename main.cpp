#include "main.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kArrow = "->";

// The verdicts, in ISO-8859-2: "függőségörző" and "nem függőségörző".
constexpr std::string_view kPreserving = "f\xFCgg\xF5s\xE9g\xF6rz\xF5";
constexpr std::string_view kNotPreserving = "nem f\xFCgg\xF5s\xE9g\xF6rz\xF5";

// ---------------------------------------------------------------------------
// Files

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// "<what failed>: <reason of errno>".
failure system_failure(const std::string& what, int error) {
  return failure(what + ": " + std::strerror(error));
}

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

// An open file descriptor, closed when its holder goes away.
class descriptor {
 public:
  explicit descriptor(int fd) : fd_(fd) {}
  descriptor(descriptor&& other) : fd_(std::exchange(other.fd_, -1)) {}
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

// The input, read in large blocks and cut into lines at line feeds.
class line_reader {
 public:
  // Opens the input file path.
  explicit line_reader(const std::string& path)
      : line_reader(path, "input file " + quoted(path),
                    ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

  // Reads standard input, called name in messages.
  static line_reader standard_input(const std::string& name) {
    return line_reader(name, "standard input", ::dup(STDIN_FILENO));
  }

  const std::string& path() const { return path_; }
  const struct stat& status() const { return status_; }

  line_reader(line_reader&&) = default;

  // Sets record to the next line followed by its line feed, or without one
  // when the input ends first, and returns true; the view stays valid until
  // the next call. Returns false when the input is used up, and throws
  // failure when a read fails.
  bool next(std::string_view& record) {
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

  // Takes over fd, opened on the input that what describes; throws failure
  // when it is not open.
  line_reader(std::string path, std::string what, int fd)
      : path_(std::move(path)), what_(std::move(what)), fd_(fd) {
    if (fd_.get() < 0 || ::fstat(fd_.get(), &status_) != 0)
      throw system_failure("cannot open " + what_, errno);
    // A directory opens for reading but holds no lines.
    if (S_ISDIR(status_.st_mode))
      throw system_failure("cannot open " + what_, EISDIR);
  }

  std::string path_;
  std::string what_;  // "input file 'in.txt'" or "standard input"
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
  // Throws failure when the file cannot be opened or is the input.
  line_writer(const std::string& path, const line_reader& input)
      : path_(path), fd_(open_for_writing(path, input)) {
    struct stat status {};
    if (::fstat(fd_.get(), &status) != 0) fail_to_open(errno);
    refuse_input(status, input);
    if (S_ISREG(status.st_mode) && ::ftruncate(fd_.get(), 0) != 0)
      fail_to_open(errno);
  }

  // Writes one line and its line feed in one write. record is the line,
  // followed by its line feed when the caller has one at hand; otherwise the
  // line feed is added. Throws failure when the write fails.
  void write_line(std::string_view record) {
    char feed = '\n';
    iovec parts[] = {{const_cast<char*>(record.data()), record.size()},
                     {&feed, 1}};
    const int count = record.ends_with('\n') ? 1 : 2;
    if (!write_fully(fd_.get(), parts, count)) fail_to_write(errno);
  }

  // Closes the file, reporting a write error that shows only now.
  void close() {
    if (fd_.close() != 0) fail_to_write(errno);
  }

 private:
  // Opens path for writing without cutting it: a new file gets 0664 minus
  // the umask. An existing file is cut only once it is known not to be the
  // input.
  int open_for_writing(const std::string& path, const line_reader& input) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) refuse_input(status, input);
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
  descriptor fd_;
};

// ---------------------------------------------------------------------------
// Reading the input

// Remembers recently handled lines by their text, with what handling each
// one produced, so that a line that repeats one of them need not be parsed
// again. A hash of the text picks a pair of slots, and a new line takes the
// place of the older line of its pair. Long lines are never kept, so the
// memory stays bounded whatever the input.
template <typename Value>
class recent_lines {
 public:
  // The pair of slots where line is kept when it is a recent one; none for
  // a line too long to keep, which is then never a recent one.
  struct place {
    size_t pair;
  };
  std::optional<place> place_of(std::string_view line) const {
    if (line.size() > kLongest) return std::nullopt;
    return place{2 * (std::hash<std::string_view>{}(line) % kPairs)};
  }

  // What was kept for line, at its place, or nullptr when it is not one of
  // the recent lines. The pointer is valid until the next call of keep().
  Value* find(place at, std::string_view line) {
    for (size_t i = at.pair; i < at.pair + 2; ++i)
      if (slots_[i].used && slots_[i].line == line) {
        misses_ = 0;
        return &slots_[i].value;
      }
    ++misses_;
    return nullptr;
  }

  // Keeps line, at its place, with value. After many misses in a row, lines
  // seldom repeat: only one in kSample is kept then, until one repeats.
  void keep(place at, std::string_view line, Value value) {
    if (misses_ > kPatience && misses_ % kSample != 0) return;
    slot& older =
        slots_[slots_[at.pair].age < slots_[at.pair + 1].age ? at.pair
                                                             : at.pair + 1];
    older.line.assign(line);  // in place: no allocation once it has grown
    older.value = std::move(value);
    older.age = ++clock_;
    older.used = true;
  }

 private:
  static constexpr size_t kPairs = 256, kLongest = 256;

  struct slot {
    std::string line;
    Value value{};
    uint64_t age = 0;
    bool used = false;
  };

  static constexpr uint64_t kPatience = 64, kSample = 16;
  std::vector<slot> slots_ = std::vector<slot>(2 * kPairs);
  uint64_t clock_ = 0;
  uint64_t misses_ = 0;  // lines not found, since the last one found
};

// A recent dependency line: the map entry of its left side, and its right
// side once the line has repeated.
struct recent_dependency {
  dependency_map::iterator entry;
  std::optional<schema> right;
};

// The lines behind the schemas and the dependencies, while they are read:
// keyed by the schema in the decomposition and the left side in the map.
struct citations {
  std::unordered_map<const schema*, input_line> schemas, dependencies;
};

// The state of one read of the input file: the section, what has been built
// of the decomposition, the universe and the dependency map so far, and the
// lines behind them when they are to be cited.
struct input_model {
  bool decomposition_section = true;
  decomposition schemas;
  dependency_map dependencies;
  schema universe;
  recent_lines<bool> recent_schemas;  // a repeat changes nothing
  recent_lines<recent_dependency> recent_dependencies;
  std::unique_ptr<citations> cited;  // none when nothing is cited
};

// Adds a decomposition line's schema, and its names to the universe.
void add_schema(std::string_view line, size_t number, input_model& model) {
  const auto at = model.recent_schemas.place_of(line);
  if (at && model.recent_schemas.find(*at, line) != nullptr) return;
  auto [position, added] = model.schemas.emplace(line);
  if (added) {
    model.universe.insert(position->begin(), position->end());
    if (model.cited)
      model.cited->schemas[&*position] = {number, std::string(line)};
  }
  if (at) model.recent_schemas.keep(*at, line, true);
}

// Cuts a dependency line at its first "->" and sets the map's entry for the
// left side; an entry for an equal left side loses its right side. Returns
// false when the line has no "->". A line that repeats a recent one sets
// the same entry to the same right side, parsed once.
bool add_dependency(std::string_view line, size_t number, input_model& model) {
  const size_t arrow = line.find(kArrow);
  if (arrow == std::string_view::npos) return false;
  const std::string_view right_text = line.substr(arrow + kArrow.size());
  const auto at = model.recent_dependencies.place_of(line);
  dependency_map::iterator entry;
  recent_dependency* known =
      at ? model.recent_dependencies.find(*at, line) : nullptr;
  if (known != nullptr) {
    if (!known->right) known->right.emplace(right_text);
    if (known->entry->second != *known->right)
      known->entry->second = *known->right;
    entry = known->entry;
  } else {
    entry =
        model.dependencies
            .insert_or_assign(schema(line.substr(0, arrow)), schema(right_text))
            .first;
    if (at) model.recent_dependencies.keep(*at, line, {entry, std::nullopt});
  }
  if (model.cited)
    model.cited->dependencies[&entry->first] = {number, std::string(line)};
  return true;
}

// Sorts line number into the model. An empty line ends the decomposition
// section; every other line is a schema there and a dependency after it.
// Returns false for a dependency line without "->".
bool take_line(std::string_view line, size_t number, input_model& model) {
  if (line.empty()) {
    model.decomposition_section = false;
    return true;
  }
  if (model.decomposition_section) {
    add_schema(line, number, model);
    return true;
  }
  return add_dependency(line, number, model);
}

// Reads every line of source into model, handing each one's record (the
// line and its line feed, when it has one) to seen after it has been taken.
// Throws failure, naming the input as name, at a dependency line without
// "->"; what source throws passes through.
template <typename Source, typename Seen>
void read_lines(Source& source, const std::string& name, input_model& model,
                Seen seen) {
  std::string_view record;
  for (size_t number = 1; source.next(record); ++number) {
    const std::string_view line =
        record.substr(0, record.size() - record.ends_with('\n'));
    if (!take_line(line, number, model))
      throw failure(name + ":" + std::to_string(number) +
                    ": dependency has no \"->\"");
    seen(record);
  }
}

// An input held in memory, cut into lines at line feeds.
class text_lines {
 public:
  explicit text_lines(std::string_view text) : rest_(text) {}

  // As line_reader::next().
  bool next(std::string_view& record) {
    if (rest_.empty()) return false;
    const size_t feed = rest_.find('\n');
    const size_t length =
        feed == std::string_view::npos ? rest_.size() : feed + 1;
    record = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return true;
  }

 private:
  std::string_view rest_;
};

// The lines cited for the keys of container, in its order.
template <typename Container>
std::vector<input_line> in_order(
    const Container& container,
    std::unordered_map<const schema*, input_line>& lines) {
  std::vector<input_line> result;
  result.reserve(container.size());
  for (const auto& element : container) {
    const schema* key;
    if constexpr (std::is_same_v<Container, decomposition>) {
      key = &element;
    } else {
      key = &element.first;
    }
    result.push_back(std::move(lines.at(key)));
  }
  return result;
}

// Reads all of source, citing lines, into an input.
template <typename Source>
input read_cited(Source& source, const std::string& name) {
  input_model model;
  model.cited = std::make_unique<citations>();
  read_lines(source, name, model, [](std::string_view) {});
  input result;
  result.schema_lines = in_order(model.schemas, model.cited->schemas);
  result.dependency_lines =
      in_order(model.dependencies, model.cited->dependencies);
  result.schemas = std::move(model.schemas);
  result.dependencies = std::move(model.dependencies);
  result.universe = std::move(model.universe);
  return result;
}

// ---------------------------------------------------------------------------
// Analysis
//
// The analysis works on numbers, not names: attribute names are numbered once
// per run, and dependencies and schemas become rows of numbers in flat
// arrays. Working sets are reset by stamping, so that each step costs what it
// touches, not the size of the input.
//
// A dependency X -> Y is tested by growing its derived set Z from X; each
// schema adds what the closure of its part of Z (under all dependencies)
// reaches of its own names. No such closure can leave C, the closure of X, so
// a test first computes C and then works inside it: only the dependencies
// that C applies are followed, only schemas that hold a name of C outside X
// can add anything, and a schema is done once every name it holds of C is
// derived. A schema's closure is taken once and resumed, never restarted,
// when its part grows; schemas whose parts start alike share one closure
// until their parts part ways, and each then goes on from the shared one
// without copying it. What a closure reached of its schema is remembered
// from one test to the next, keyed by the names of the part that it used:
// in a later test where those names are derived, the schema needs no
// closure. A closure that runs out before its schema is done is remembered
// whole, keyed by its whole part: a later schema with that part needs no
// closure until its part grows beyond what the closure reached, and a test
// whose closures outgrow their limit drops such closures for the memo's
// answer. It is also remembered, as a finished one is, by the names of the
// part that it used. Closures take turns, each processing in its turn as
// many names as it has reached: between turns, the parts that have grown
// are served, so that a schema that derives a name cheaply (one link of a
// chain, say) need not wait behind long closures that would reach it too;
// then the closure of the latest turn goes on, so that one long closure at
// a time holds its state. Before a schema's own closure processes a name
// that starts many dependencies, more than the schema holds names, the memo
// is asked whether the part with that name reaches the rest of the schema.
// A closure whose schema the memo has already given what some of its part
// reaches is put off until nothing else is left to do: the test usually
// ends before it is needed; put-off closures then take turns among
// themselves. Before it computes C, a test asks that memory alone, for a
// fixed number of steps: when it derives the right side, C is never
// computed.
//
// Cost, with N the number of dependencies tested, M the total size of the
// dependencies and S that of the schemas: a test takes O(M + S) to compute C,
// to find the schemas that can add, and to let names join Z (O(1) for each
// schema that holds the name); each closure that it takes costs O(M) more
// (expected, through hash maps). Closures are taken only for schemas whose
// part holds a name that starts a dependency and that the memory of earlier
// tests does not answer; on the input shapes we know, hostile ones
// included, they add no more than O(M + S) per test once earlier tests are
// remembered (a first test can take O(d M), d the number of schemas), and a
// run takes O(N (M + S) + d M), quadratic in the input. The bound for every
// input is O(N d M), cubic: each test closing every schema a long way. The
// shape that comes closest, consecutive tests that cycle through more parts
// of the same schemas than the memo keeps keys for, each part closing one
// long chain, stays quadratic because the schemas that hold the chain's
// links derive its names between the turns of the long closures. Memory is
// O(M + S) and what the closures of one test hold; closures that have become
// useless, or have run out and been remembered, are dropped once they hold
// more than a limit in proportion to the input.

using number = uint32_t;  // an attribute, a dependency, a schema or a closure
constexpr number kNone = UINT32_MAX;

// Rows of numbers in one flat array: row r is values[offsets[r]] up to
// values[offsets[r + 1]].
class table {
 public:
  size_t size() const { return offsets_.size() - 1; }
  std::span<const number> operator[](size_t row) const {
    return {values_.data() + offsets_[row], offsets_[row + 1] - offsets_[row]};
  }
  size_t value_count() const { return values_.size(); }
  void push(number value) { values_.push_back(value); }
  void end_row() { offsets_.push_back(static_cast<number>(values_.size())); }

  // True when the row, sorted ascending, holds value.
  bool sorted_row_holds(size_t row, number value) const {
    const std::span<const number> values = (*this)[row];
    return std::binary_search(values.begin(), values.end(), value);
  }

  // Sorts every row ascending.
  void sort_rows() {
    for (size_t row = 0; row < size(); ++row)
      std::sort(values_.begin() + offsets_[row],
                values_.begin() + offsets_[row + 1]);
  }

  // The inverted table, with one row for each value below width: row v lists
  // in ascending order the rows that hold v.
  table inverted(size_t width) const {
    table result;
    result.offsets_.assign(width + 1, 0);
    for (number value : values_) ++result.offsets_[value + 1];
    for (size_t v = 0; v < width; ++v)
      result.offsets_[v + 1] += result.offsets_[v];
    result.values_.resize(values_.size());
    std::vector<number> fill(result.offsets_.begin(),
                             result.offsets_.end() - 1);
    for (size_t row = 0; row < size(); ++row)
      for (number value : (*this)[row])
        result.values_[fill[value]++] = static_cast<number>(row);
    return result;
  }

 private:
  std::vector<number> offsets_{0};
  std::vector<number> values_;
};

// Numbers attribute names densely in the order they are first met. The names
// are views into schemas that must outlive the table. Lookups go through a
// flat open-addressing hash table whose slots keep each name's hash, length
// and first bytes, so that a lookup of a short name touches one slot only:
// the names themselves lie scattered in the schemas' nodes.
class name_table {
 public:
  size_t size() const { return names_.size(); }
  std::string_view name(number attribute) const { return names_[attribute]; }

  // The number of name, given the next free number when it is new.
  number add(std::string_view name) {
    if (2 * (names_.size() + 1) > slots_.size()) grow();
    const slot key = slot_of(name);
    slot& s = slots_[find_slot(name, key)];
    if (s.attribute == kFree) {
      s = key;
      s.attribute = static_cast<number>(names_.size());
      names_.push_back(name);
    }
    return s.attribute;
  }

  // The number of name; false when the name was never added.
  bool find(std::string_view name, number& attribute) const {
    if (slots_.empty()) return false;
    attribute = slots_[find_slot(name, slot_of(name))].attribute;
    return attribute != kFree;
  }

 private:
  static constexpr number kFree = UINT32_MAX;
  static constexpr size_t kInline = 16;  // name bytes kept in a slot
  struct slot {
    uint64_t hash = 0;
    number attribute = kFree;
    uint32_t length = 0;
    char head[kInline] = {};  // the first bytes of the name, zero-padded
  };

  static slot slot_of(std::string_view name) {
    slot s;
    s.hash = std::hash<std::string_view>{}(name);
    s.length = static_cast<uint32_t>(name.size());
    std::memcpy(s.head, name.data(), std::min(name.size(), kInline));
    return s;
  }

  bool same_name(const slot& s, const slot& key, std::string_view name) const {
    return s.hash == key.hash && s.length == key.length &&
           std::memcmp(s.head, key.head, kInline) == 0 &&
           (name.size() <= kInline || names_[s.attribute] == name);
  }

  // The slot that holds name, or the free slot where it would go.
  size_t find_slot(std::string_view name, const slot& key) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = key.hash & mask;; i = (i + 1) & mask) {
      const slot& s = slots_[i];
      if (s.attribute == kFree || same_name(s, key, name)) return i;
    }
  }

  // Doubles the slots, keeping at least half of them free.
  void grow() {
    std::vector<slot> old(std::max<size_t>(64, 2 * slots_.size()));
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const slot& s : old) {
      if (s.attribute == kFree) continue;
      size_t i = s.hash & mask;
      while (slots_[i].attribute != kFree) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<slot> slots_;  // a power of two of them, or none
  std::vector<std::string_view> names_;
};

// Marks on the numbers below a fixed bound, all cleared in constant time: a
// number is marked while its stamp is the current one.
class marks {
 public:
  explicit marks(size_t bound) : stamps_(bound, 0) {}

  bool marked(number value) const { return stamps_[value] == stamp_; }
  void mark(number value) { stamps_[value] = stamp_; }
  void unmark(number value) { stamps_[value] = 0; }

  void clear() {
    if (++stamp_ == 0) {  // the stamps wrapped around: forget them all
      std::fill(stamps_.begin(), stamps_.end(), 0);
      stamp_ = 1;
    }
  }

 private:
  std::vector<number> stamps_;
  number stamp_ = 1;
};

// A set of numbers below a fixed bound that empties in constant time. The
// members are also listed, in the order they joined.
class stamped_set {
 public:
  explicit stamped_set(size_t bound) : marks_(bound), members_(bound) {}

  bool contains(number value) const { return marks_.marked(value); }
  // The members in the order they were inserted; valid until clear().
  std::span<const number> members() const { return {members_.data(), size_}; }

  // Adds value; returns false when it was a member already.
  bool insert(number value) {
    if (contains(value)) return false;
    marks_.mark(value);
    members_[size_++] = value;
    return true;
  }

  void clear() {
    size_ = 0;
    marks_.clear();
  }

 private:
  marks marks_;
  std::vector<number> members_;  // room for every value below the bound
  size_t size_ = 0;
};

// A dependency map and a decomposition with names replaced by numbers, built
// once and then read by every test.
struct dependency_graph {
  dependency_graph(const dependency_map& dependencies,
                   const decomposition& schemas) {
    for (const auto& [left_side, right_side] : dependencies) {
      add_row(left, left_side);
      add_row(right, right_side);
    }
    for (const schema& s : schemas) add_row(members, s);
    members.sort_rows();
    dependents = left.inverted(names.size());
    containing = members.inverted(names.size());
    for (number d = 0; d < left.size(); ++d)
      if (left[d].empty()) unconditional.push_back(d);
    index_wide_schemas();
  }

  size_t dependency_count() const { return left.size(); }
  number left_size(number dependency) const {
    return static_cast<number>(left[dependency].size());
  }
  size_t schema_count() const { return members.size(); }
  // The numbers that the dependencies and the schemas hold.
  size_t size() const {
    return left.value_count() + right.value_count() + members.value_count();
  }

  // True when schema s holds attribute.
  bool holds(number s, number attribute) const {
    const number at = bits_at_[s];
    if (at == kNone) return members.sorted_row_holds(s, attribute);
    return (bits_[at + attribute / 64] >> (attribute % 64) & 1) != 0;
  }

  name_table names;
  table left;        // per dependency, in map order: its left side
  table right;       // per dependency: its right side
  table members;     // per schema, in decomposition order: its attributes,
                     // in ascending numbers
  table dependents;  // per attribute: the dependencies whose left side holds it
  table containing;  // per attribute: the schemas that hold it
  std::vector<number> unconditional;  // dependencies with an empty left side

 private:
  // Gives each schema that holds at least one name in 64 a bit per name, so
  // that asking it for a name takes one look instead of a binary search;
  // the bits take no more room than the schema's own numbers.
  void index_wide_schemas() {
    const size_t words = (names.size() + 63) / 64;
    bits_at_.assign(schema_count(), kNone);
    for (number s = 0; s < schema_count(); ++s) {
      if (members[s].size() < std::max<size_t>(words, 64)) continue;
      bits_at_[s] = static_cast<number>(bits_.size());
      bits_.resize(bits_.size() + words);
      for (number attribute : members[s])
        bits_[bits_at_[s] + attribute / 64] |= uint64_t{1} << (attribute % 64);
    }
  }

  void add_row(table& rows, const schema& s) {
    for (const std::string& name : s) rows.push(names.add(name));
    rows.end_row();
  }

  std::vector<number> bits_at_;  // per schema: where its bits start, or kNone
  std::vector<uint64_t> bits_;
};

// A hash map from 64-bit keys to numbers that empties in constant time: a
// slot is in use while its stamp is the current one. Open addressing with
// linear probing, never more than half full; it keeps the largest size it
// has needed.
class scratch_map {
 public:
  // The value of key, or nullptr when key is absent.
  const number* find(uint64_t key) const {
    for (size_t i = home(key);; i = (i + 1) & mask()) {
      const slot& s = slots_[i];
      if (s.stamp != stamp_) return nullptr;
      if (s.key == key) return &s.value;
    }
  }

  // The value of key, and true when key was absent and has been added with
  // the value 0. The pointer is valid until the next key is added.
  std::pair<number*, bool> add(uint64_t key) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    size_t i = home(key);
    while (slots_[i].stamp == stamp_ && slots_[i].key != key)
      i = (i + 1) & mask();
    slot& s = slots_[i];
    if (s.stamp == stamp_) return {&s.value, false};
    s = {key, 0, stamp_};
    ++size_;
    return {&s.value, true};
  }

  size_t size() const { return size_; }

  void clear() {
    size_ = 0;
    if (++stamp_ == 0) {  // the stamps wrapped around: forget them all
      for (slot& s : slots_) s.stamp = 0;
      stamp_ = 1;
    }
  }

  // Keeps only the keys for which keep(key) holds.
  template <typename Keep>
  void keep_if(Keep keep) {
    std::vector<slot> old(slots_.size());
    old.swap(slots_);
    const number live = stamp_;
    clear();
    for (const slot& s : old)
      if (s.stamp == live && keep(s.key)) *add(s.key).first = s.value;
  }

 private:
  struct slot {
    uint64_t key = 0;
    number value = 0;
    number stamp = 0;
  };

  size_t mask() const { return mask_; }
  size_t home(uint64_t key) const {
    return ((key * 0x9E3779B97F4A7C15u) >> 32) & mask_;
  }

  void grow() {
    std::vector<slot> old(2 * slots_.size());
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    size_ = 0;
    for (const slot& s : old)
      if (s.stamp == stamp_) *add(s.key).first = s.value;
  }

  std::vector<slot> slots_ = std::vector<slot>(64);  // a power of two
  size_t mask_ = 63;
  size_t size_ = 0;
  number stamp_ = 1;
};

// Closes sets of attributes under the dependencies of a graph: the textbook
// linear closure, with a counter per dependency of the left-side names not
// yet reached. The working arrays are made once; every computation starts
// with new stamps, so it costs what it reaches.
class closure {
 public:
  explicit closure(const dependency_graph& graph)
      : graph_(graph),
        reached_(graph.names.size()),
        applied_(graph.dependency_count()),
        counted_(graph.dependency_count()),
        missing_(graph.dependency_count()) {}

  // Closes start: afterwards reached() holds start and every attribute that
  // the dependencies reach from it, and applied() every dependency whose left
  // side lies within reached().
  void compute(std::span<const number> start) {
    reached_.clear();
    applied_.clear();
    counted_.clear();
    for (number attribute : start) reached_.insert(attribute);
    for (number dependency : graph_.unconditional) apply(dependency);
    // reached_ lists every attribute once; walking the list processes each
    // newly reached one, whose dependents then miss one name less.
    for (size_t next = 0; next < reached_.members().size(); ++next)
      for (number dependency : graph_.dependents[reached_.members()[next]]) {
        if (!counted_.marked(dependency)) {
          const number size = graph_.left_size(dependency);
          if (size == 1) {  // applies now, with no count to keep
            apply(dependency);
            continue;
          }
          counted_.mark(dependency);
          missing_[dependency] = size;
        }
        if (--missing_[dependency] == 0) apply(dependency);
      }
  }

  const stamped_set& reached() const { return reached_; }

  // True when the last computation applied dependency.
  bool applied(number dependency) const { return applied_.marked(dependency); }

 private:
  void apply(number dependency) {
    applied_.mark(dependency);
    for (number attribute : graph_.right[dependency])
      reached_.insert(attribute);
  }

  const dependency_graph& graph_;
  stamped_set reached_;
  marks applied_;
  marks counted_;                // dependencies whose missing_ count is live
  std::vector<number> missing_;  // per dependency: left-side names unreached
};

// Remembers, across tests, what the closures of schemas' parts reach of
// their own schemas: under a schema, a key (the names of a part that a
// closure used) and the schema's names that the closure of the key reaches.
// In any test, once every name of a key is derived, so are those names. A
// key can also be the whole part of a closure that ran to its end: the
// names are then all that the closure reaches of the schema, and they stay
// all while the part grows only by them. A schema keeps its latest sixteen
// keys. Holds at most a fixed number of numbers, in proportion to the
// input; when full, it forgets everything and starts over.
class contribution_memo {
 public:
  contribution_memo(size_t schemas, size_t limit)
      : head_(schemas, kNone), limit_(limit) {}

  // Calls use(key, names, whole) for the key and the names remembered for
  // schema s under every key whose names all pass known(name), and that
  // holds holding unless that is kNone; whole tells that the names are all
  // that the closure of the key reaches of s. The spans are valid until the
  // next call of remember().
  // Always inlined: made a call, it slowed a run that asks it on every part
  // growth by a quarter.
  template <typename Known, typename Use>
  [[gnu::always_inline]] void recall(number s, Known known, Use use,
                                     number holding = kNone) const {
    for (number e = head_[s]; e != kNone; e = entries_[e]) {
      const number* key = &entries_[e + 3];
      const number* end = key + entries_[e + 1];
      if ((holding == kNone || std::binary_search(key, end, holding)) &&
          std::all_of(key, end, known))
        use(std::span<const number>(key, end - key),
            std::span<const number>(end, entries_[e + 2] & ~kWhole),
            (entries_[e + 2] & kWhole) != 0);
    }
  }

  // Remembers that the closure of key, names of schema s, reaches names,
  // also names of s; whole when they are all that it reaches of s. Keys and
  // names are in ascending order.
  void remember(number s, std::span<const number> key,
                std::span<const number> names, bool whole = false) {
    const size_t size = 3 + key.size() + names.size();
    if (entries_.size() + size > limit_) {
      entries_.clear();
      std::fill(head_.begin(), head_.end(), kNone);
    }
    number kept = 1;  // entries of s that stay: the newest few
    for (number e = head_[s]; e != kNone; e = entries_[e], ++kept) {
      if (std::equal(key.begin(), key.end(), &entries_[e + 3],
                     &entries_[e + 3] + entries_[e + 1]))
        return;  // known already
      if (kept == kPerSchema) entries_[e] = kNone;
    }
    const number e = static_cast<number>(entries_.size());
    entries_.push_back(head_[s]);
    entries_.push_back(static_cast<number>(key.size()));
    entries_.push_back(static_cast<number>(names.size()) |
                       (whole ? kWhole : 0));
    entries_.insert(entries_.end(), key.begin(), key.end());
    entries_.insert(entries_.end(), names.begin(), names.end());
    head_[s] = e;
  }

 private:
  static constexpr number kPerSchema = 16;
  static constexpr number kWhole = number{1} << 31;  // in an entry's size
  std::vector<number> head_;  // per schema: its newest entry, or kNone
  // Entries: the next (older) entry of the schema or kNone, the sizes of the
  // key and of the names, the key, the names.
  std::vector<number> entries_;
  size_t limit_;
};

// Tests the dependencies of one graph for preservation, one at a time,
// reusing its working sets from one dependency to the next.
//
// Within a test, a schema is looked at when it first holds a derived name:
// it counts the names it holds of the left side's closure that are not
// derived yet, and it is done when none is left. Its closure is a node, which
// holds the names it has reached and the counters of the dependencies it has
// touched, in two hash maps keyed by node. A schema gets a node once its part
// holds a name that starts a dependency: at the start, schemas whose parts of
// the left side are equal share one node; later, a schema whose part grows
// gets a node of its own. A schema that leaves a shared node goes on from
// it, reading what the shared node holds and keeping only what differs; the
// shared node is closed first and changes no more. A node of its own grows
// in place, remembering for each name it reaches the dependency that reached
// it, so that what it reached of its schema can be traced back to its part
// for the memo when the schema is done. Before a schema gets a node, the
// memo is asked.
class preservation_test {
 public:
  explicit preservation_test(const dependency_graph& graph)
      : graph_(graph),
        whole_(graph),
        derived_(graph.names.size()),
        wanted_(graph.names.size()),
        seen_(graph.schema_count()),
        missing_(graph.schema_count()),
        node_of_(graph.schema_count()),
        relevant_built_(graph.names.size()),
        relevant_at_(graph.names.size()),
        relevant_(graph.left.value_count()),  // all lists of a test fit
        memo_(graph.schema_count(), 4 * graph.size() + 4096),
        answered_(graph.schema_count()),
        told_(graph.schema_count()),
        retired_(graph.schema_count()),
        answer_at_(graph.schema_count()),
        traced_(graph.names.size()),
        in_left_(graph.names.size()),
        needed_(graph.names.size()),
        joined_(graph.names.size()),
        joined_at_(graph.names.size()),
        state_limit_(2 * graph.size() + 65536) {}

  // How a test ends.
  enum class result { within_left_side, inside_one_schema, derived, lost };

  // A name joining the derived set: the schema whose closure added it, and
  // how: reached in node through the dependency cause, or, when node is
  // kNone, recalled from the memo under the key that starts at keys()[cause].
  struct joined {
    number schema, attribute, node, cause;
  };

  // True when the derived set of the dependency's left side takes in its
  // right side. Stops as soon as it does.
  bool preserved(number dependency) {
    return test(dependency, nullptr) != result::lost;
  }

  // Tests the dependency as preserved() does. With a trace, it records in
  // order each name that joins the derived set and the schema that added it,
  // and does not stop early at a right-side name that no schema holds, so
  // that a lost dependency's derived set is complete. A dependency inside
  // one schema leaves that schema in holder().
  result test(number dependency, std::vector<joined>* trace) {
    const std::span<const number> left = graph_.left[dependency];
    derive_only(left);
    wanted_.clear();
    for (number attribute : graph_.right[dependency]) {
      if (derived_.contains(attribute)) continue;
      if (graph_.containing[attribute].empty() && trace == nullptr)
        return result::lost;  // underivable
      wanted_.insert(attribute);
    }
    wanted_left_ = wanted_.members().size();
    if (wanted_left_ == 0) return result::within_left_side;
    holder_ = schema_holding_both(left);
    if (holder_ != kNone) return result::inside_one_schema;
    if (trace == nullptr) {
      if (derived_from_memory()) return result::derived;
      derive_only(left);  // back to the left side
      wanted_left_ = wanted_.members().size();
    }

    whole_.compute(left);
    reset();
    keys_.clear();
    trace_ = trace;
    start(left);
    const bool derived = grow_to_the_end();
    remember_unfinished();
    return derived ? result::derived : result::lost;
  }

  const stamped_set& derived() const { return derived_; }
  number holder() const { return holder_; }

  // Puts into report the steps of the trace of the last test, which derived
  // the dependency's right side, that the right side needs, in order, and
  // the names they add; consecutive steps of one schema become one. Walking
  // the trace backwards, a needed name keeps the step that added it, and the
  // names that the step used are needed in turn: the key it was recalled
  // under, or the names, derived before it or in the left side, from which
  // its node reached it.
  void needed_steps(number dependency, dependency_report& report) {
    const std::vector<joined>& trace = *trace_;
    in_left_.clear();
    for (number attribute : graph_.left[dependency]) in_left_.mark(attribute);
    needed_.clear();
    for (number attribute : graph_.right[dependency])
      if (!in_left_.marked(attribute)) needed_.mark(attribute);
    joined_.clear();
    for (number k = 0; k < trace.size(); ++k) {
      joined_.mark(trace[k].attribute);
      joined_at_[trace[k].attribute] = k;
    }
    std::vector<bool> kept(trace.size());
    for (number k = static_cast<number>(trace.size()); k-- > 0;) {
      const joined& step = trace[k];
      if (!needed_.marked(step.attribute)) continue;
      kept[k] = true;
      if (step.node == kNone) {
        const number* key = &keys_[step.cause];
        for (number i = 1; i <= key[0]; ++i) need(key[i]);
      } else {
        trace_back(step.node, step.cause, step.schema, k);
      }
    }
    std::vector<dependency_report::step>& steps = report.steps;
    std::vector<std::string_view>& names = report.added_names;
    for (number k = 0; k < trace.size(); ++k) {
      if (!kept[k]) continue;
      if (steps.empty() || steps.back().place != trace[k].schema)
        steps.push_back({trace[k].schema, names.size(), 0});
      names.push_back(graph_.names.name(trace[k].attribute));
      ++steps.back().added_count;
    }
    for (const dependency_report::step& step : steps) {  // a schema's order
      const auto first = names.begin() + step.first_added;
      std::sort(first, first + step.added_count);
    }
  }

 private:
  // The closure of a part, held for the schemas whose part it is.
  struct node {
    number parent;     // the shared node this one goes on from, or kNone
    number residents;  // schemas, still adding, whose closure this is
    number first_resident, resident_slots;  // in residents_, some gone
    number part_begin, part_size;  // in parts_: the part it starts from,
                                   // for the nodes of the left side's parts
    number first_event = kNone, last_event = kNone;  // names to process
    bool shared = false;     // others go on from it: it must not change
    bool waiting = false;    // on ready_, turned_ or later_
    bool collected = false;  // dead, and what it held is forgotten
    bool complete = false;   // it has processed every name it reached
    number names = 0;        // names it has reached and processes
    // When it was made, the memo knew what the closure of some of its part
    // reaches, and its schema holds no name still wanted: its closure waits
    // until nothing else is left to do, since a test often ends first.
    bool patient = false;
    // The one schema of a node of its own, whose names it remembers even
    // when they start no dependency, so that what it reached of the schema
    // can be traced back; or kNone.
    number schema = kNone;
  };
  struct event {
    number attribute, next;
  };

  static constexpr size_t kMemoryBudget = 256;
  // Names that start more dependencies are worth asking the memo about.
  static constexpr size_t kManyDependencies = 8;

  static uint64_t key(number node, number value) {
    return uint64_t{node} << 32 | value;
  }

  // A schema that holds both sides of the dependency, which then holds
  // inside that schema, or kNone. Expects wanted_ to hold the rest of the
  // right side. Only the schemas that hold the rarest name are candidates.
  number schema_holding_both(std::span<const number> left) const {
    number rarest = wanted_.members().front();
    auto fewer = [&](number attribute) {
      if (graph_.containing[attribute].size() <
          graph_.containing[rarest].size())
        rarest = attribute;
    };
    for (number attribute : left) fewer(attribute);
    for (number attribute : wanted_.members()) fewer(attribute);
    for (number s : graph_.containing[rarest]) {
      auto held = [&](number attribute) { return graph_.holds(s, attribute); };
      if (std::all_of(left.begin(), left.end(), held) &&
          std::all_of(wanted_.members().begin(), wanted_.members().end(), held))
        return s;
    }
    return kNone;
  }

  // True when what earlier tests remembered takes the derived set to the
  // right side, with no closure taken: each schema that holds a derived name
  // adds the names remembered under those of its keys that are derived.
  // Gives up after kMemoryBudget steps (a schema asked, a key's name
  // checked, a remembered name taken), so that it costs at most a constant;
  // the closure of the left side, which a test that the memo answers never
  // computes, often costs far more. Leaves derived_ grown either way.
  bool derived_from_memory() {
    size_t budget = kMemoryBudget;
    const auto derived = [&](number attribute) {
      return budget > 0 && (--budget, derived_.contains(attribute));
    };
    for (size_t i = 0; i < derived_.members().size(); ++i) {
      for (number s : graph_.containing[derived_.members()[i]]) {
        if (budget == 0) return false;
        --budget;
        memo_.recall(
            s, derived,
            [&](std::span<const number>, std::span<const number> names,
                bool) {
              for (number attribute : names) {
                if (budget == 0) return;
                --budget;
                if (derived_.insert(attribute) && wanted_.contains(attribute))
                  --wanted_left_;
              }
            });
        if (wanted_left_ == 0) return true;
      }
    }
    return false;
  }

  // The derived set holds the left side and nothing else.
  void derive_only(std::span<const number> left) {
    derived_.clear();
    for (number attribute : left) derived_.insert(attribute);
  }

  void reset() {
    answered_.clear();
    answers_.clear();
    told_.clear();
    retired_.clear();
    seen_.clear();
    nodes_.clear();
    events_.clear();
    ready_.clear();
    ready_head_ = 0;
    turned_.clear();
    later_.clear();
    later_head_ = 0;
    grows_.clear();
    grow_head_ = 0;
    reached_.clear();
    counters_.clear();
    parts_.clear();
    residents_.clear();
    part_nodes_.clear();
    relevant_built_.clear();
    relevant_end_ = 0;
  }

  // Looks at the schemas that hold a name of the left side (every schema,
  // when a dependency with an empty left side makes even an empty part
  // grow), gives those that can still add the node of their part of the left
  // side, shared with the schemas whose part is the same, and seeds the
  // nodes.
  void start(std::span<const number> left) {
    const bool unconditional = !graph_.unconditional.empty();
    if (unconditional) {
      for (number s = 0; s < graph_.schema_count(); ++s) look_at(s);
    } else if (const size_t by_left = holders(left);
               holders_of_rest(by_left) < by_left) {
      // Fewer schemas hold a name of the closure outside the left side,
      // and only those can add anything: those of them that hold a name of
      // the left side are looked at.
      for (number attribute : whole_.reached().members()) {
        if (derived_.contains(attribute)) continue;
        for (number s : graph_.containing[attribute])
          if (!seen_.contains(s) &&
              std::any_of(left.begin(), left.end(),
                          [&](number a) { return graph_.holds(s, a); }))
            look_at(s);
      }
    } else {
      for (number attribute : left)
        for (number s : graph_.containing[attribute]) look_at(s);
    }
    sorted_left_.assign(left.begin(), left.end());
    std::sort(sorted_left_.begin(), sorted_left_.end());
    for (number s : seen_.members()) {
      if (missing_[s] == 0) continue;
      const number begin = static_cast<number>(parts_.size());
      add_part(s);
      if (parts_.size() == begin && !unconditional) continue;  // no node yet
      node_of_[s] = node_for_part(begin);
      ++nodes_[node_of_[s]].residents;
    }
    list_residents();
    // Recalling derives names, and so can look at more schemas.
    for (size_t i = 0, seen = seen_.members().size(); i < seen; ++i)
      recall(seen_.members()[i]);
    for (number n = 0; n < nodes_.size(); ++n) {
      if (!alive(nodes_[n])) continue;
      // A node of one schema only, which a finished schema of a shared
      // node does not leave behind.
      if (nodes_[n].resident_slots == 1 && nodes_[n].residents == 1)
        nodes_[n].schema = residents_[nodes_[n].first_resident];
      for (number attribute : part_of(n)) reach(n, attribute, kNone);
      for (number dependency : graph_.unconditional)
        for (number attribute : graph_.right[dependency])
          reach(n, attribute, dependency);
    }
  }

  // How many schemas hold each name of attributes, summed.
  size_t holders(std::span<const number> attributes) const {
    size_t count = 0;
    for (number attribute : attributes)
      count += graph_.containing[attribute].size();
    return count;
  }

  // The same for the names of the left side's closure outside the left
  // side, counted until the count reaches limit.
  size_t holders_of_rest(size_t limit) const {
    size_t count = 0;
    for (number attribute : whole_.reached().members()) {
      if (count >= limit) break;
      if (!derived_.contains(attribute))
        count += graph_.containing[attribute].size();
    }
    return count;
  }

  // Starts counting for schema s when it is first looked at in a test: the
  // names it holds of the left side's closure that are not derived yet. It
  // has no node yet. Walks the schema or looks the closure's names up in it,
  // whichever is shorter.
  void look_at(number s) {
    if (!seen_.insert(s)) return;
    node_of_[s] = kNone;
    const std::span<const number> members = graph_.members[s];
    const std::span<const number> closure = whole_.reached().members();
    number missing = 0;
    if (members.size() <= closure.size() * std::bit_width(members.size())) {
      for (number attribute : members)
        missing += whole_.reached().contains(attribute) &&
                   !derived_.contains(attribute);
    } else {
      for (number attribute : closure)
        missing += !derived_.contains(attribute) && graph_.holds(s, attribute);
    }
    missing_[s] = missing;
  }

  // Appends to parts_ the names of the left side that schema s holds, in
  // ascending order: by walking the schema or by looking each name up in it,
  // whichever is shorter.
  void add_part(number s) {
    const std::span<const number> members = graph_.members[s];
    if (members.size() <=
        sorted_left_.size() * std::bit_width(members.size())) {
      for (number attribute : members)
        if (derived_.contains(attribute)) parts_.push_back(attribute);
    } else {
      for (number attribute : sorted_left_)
        if (graph_.holds(s, attribute)) parts_.push_back(attribute);
    }
  }

  // The node for the part that starts at parts_[begin] and ends at the end
  // of parts_: a new one, or the one of an earlier equal part, whose copy is
  // then dropped.
  number node_for_part(number begin) {
    const std::span<const number> part(parts_.data() + begin,
                                       parts_.size() - begin);
    uint64_t hash = 14695981039346656037u;  // FNV-1a over the numbers
    for (number attribute : part) hash = (hash ^ attribute) * 1099511628211u;
    for (;; ++hash) {  // on a collision, the next hash
      const number* known = part_nodes_.find(hash);
      if (known == nullptr) break;
      const std::span<const number> other = part_of(*known);
      if (std::equal(part.begin(), part.end(), other.begin(), other.end())) {
        parts_.resize(begin);
        return *known;
      }
    }
    const number n = new_node(kNone, kNone);
    nodes_[n].part_begin = begin;
    nodes_[n].part_size = static_cast<number>(part.size());
    *part_nodes_.add(hash).first = n;
    return n;
  }

  // Lists the schemas of each node together in residents_, by counting.
  void list_residents() {
    std::vector<number>& next = scratch_;
    next.assign(nodes_.size() + 1, 0);
    number listed = 0;
    for (number s : seen_.members())
      if (missing_[s] > 0 && node_of_[s] != kNone) {
        ++next[node_of_[s] + 1];
        ++listed;
      }
    for (size_t n = 0; n < nodes_.size(); ++n) {
      next[n + 1] += next[n];
      nodes_[n].first_resident = next[n];
      nodes_[n].resident_slots = nodes_[n].residents;
    }
    residents_.resize(listed);
    for (number s : seen_.members())
      if (missing_[s] > 0 && node_of_[s] != kNone)
        residents_[next[node_of_[s]]++] = s;
  }

  // A new node that goes on from parent (or kNone), with its one schema s
  // (or none, when s is kNone).
  number new_node(number parent, number s) {
    nodes_.push_back({.parent = parent,
                      .residents = s == kNone ? 0u : 1u,
                      .first_resident = static_cast<number>(residents_.size()),
                      .resident_slots = s == kNone ? 0u : 1u,
                      .part_begin = 0,
                      .part_size = 0});
    if (s != kNone) residents_.push_back(s);
    return static_cast<number>(nodes_.size() - 1);
  }

  std::span<const number> part_of(number n) const {
    return {parts_.data() + nodes_[n].part_begin, nodes_[n].part_size};
  }

  // Grows the derived set until no closure adds to it or it takes in the
  // right side; true in the second case.
  bool grow_to_the_end() {
    for (;;) {
      if (wanted_left_ == 0) return true;
      if (reached_.size() + counters_.size() > state_limit_) collect();
      if (ready_head_ < ready_.size()) {
        take_turn(ready_[ready_head_++], turned_);
      } else if (grow_head_ < grows_.size()) {
        const auto [s, attribute] = grows_[grow_head_++];
        grow(s, attribute);
      } else if (!turned_.empty()) {
        // The node that took the latest turn goes on: one long closure at a
        // time, not all of them side by side.
        const number n = turned_.back();
        turned_.pop_back();
        take_turn(n, turned_);
      } else if (later_head_ < later_.size()) {
        take_turn(later_[later_head_++], later_);
      } else {
        return false;
      }
    }
  }

  // Node n processes as many names as it has reached so far, then waits on
  // queue if names are left. Closures thus take turns, and their sizes
  // double from one turn to the next: one that soon adds what a schema or
  // the test needs does not wait behind long ones, and the parts that grow
  // meanwhile are served between turns.
  void take_turn(number n, std::vector<number>& queue) {
    drain(n, std::max<number>(1, nodes_[n].names));
    if (nodes_[n].first_event != kNone && alive(nodes_[n]) && wanted_left_ > 0)
      queue.push_back(n);
    else
      nodes_[n].waiting = false;
  }

  bool alive(const node& n) const { return n.residents > 0 || n.shared; }

  // Forgets what the dead nodes hold: those that serve no schema and that
  // no other node goes on from, and those of unfinished schemas. When the
  // living still hold more than half the limit, the limit doubles, so that
  // collecting costs what it frees.
  void collect() {
    for (number n = 0; n < nodes_.size(); ++n) retire(n);
    const auto living = [&](uint64_t key) { return alive(nodes_[key >> 32]); };
    reached_.keep_if(living);
    counters_.keep_if(living);
    std::vector<event> pending;  // the queues of the living, relinked
    for (node& x : nodes_) {
      if (!alive(x)) x.collected = true;
      if (!alive(x) || x.first_event == kNone) {
        x.first_event = x.last_event = kNone;
        continue;
      }
      const number first = static_cast<number>(pending.size());
      for (number e = x.first_event; e != kNone; e = events_[e].next)
        pending.push_back(
            {events_[e].attribute, static_cast<number>(pending.size() + 1)});
      pending.back().next = kNone;
      x.first_event = first;
      x.last_event = static_cast<number>(pending.size() - 1);
    }
    events_.swap(pending);
    if (reached_.size() + counters_.size() > state_limit_ / 2)
      state_limit_ *= 2;
  }

  // Processes the names that node n has reached, until none is left, the
  // node has no schema left to serve, the right side is derived, or it has
  // processed limit names.
  void drain(number n, number limit = kNone) {
    for (number processed = 0;
         processed < limit && nodes_[n].first_event != kNone &&
         alive(nodes_[n]) && wanted_left_ > 0;
         ++processed) {
      node& x = nodes_[n];
      const event e = events_[x.first_event];
      x.first_event = e.next;
      if (e.next == kNone) x.last_event = kNone;
      process(n, e.attribute);
    }
    node& x = nodes_[n];
    x.complete = x.first_event == kNone && wanted_left_ > 0 && alive(x);
  }

  // Counts a name that node n has reached off the dependencies whose left
  // side holds it, and applies those that have no name left to wait for.
  void process(number n, number attribute) {
    const std::span<const number> dependencies = relevant(attribute);
    if (dependencies.size() > kManyDependencies) [[unlikely]] {
      if (recalled_instead(n, attribute, dependencies.size())) return;
    }
    for (number dependency : dependencies) {
      // A dependency of one left-side name applies now, with no count.
      if (graph_.left_size(dependency) > 1) {
        const auto [count, added] = counters_.add(key(n, dependency));
        if (added) *count = inherited_count(n, dependency);
        if (--*count > 0) continue;
      }
      for (number reached : graph_.right[dependency]) {
        reach(n, reached, dependency);
        if (wanted_left_ == 0 || !alive(nodes_[n])) return;
      }
    }
  }

  // Before node n processes attribute, which starts count dependencies: when
  // n is the node of one schema, which holds fewer names than that (and so
  // has keys that hold attribute cheaper to check), the memo may know what
  // its part reaches with attribute in it, and make the schema done. True
  // when n is then to stop.
  [[gnu::noinline]] bool recalled_instead(number n, number attribute,
                                          size_t count) {
    const number s = nodes_[n].schema;
    if (s == kNone || !derived_.contains(attribute) ||
        count <= graph_.members[s].size())
      return false;
    recall(s, kNone, attribute);
    return wanted_left_ == 0 || !alive(nodes_[n]);
  }

  bool reached(number n, number attribute) const {
    const number parent = nodes_[n].parent;
    return reached_.find(key(n, attribute)) != nullptr ||
           (parent != kNone &&
            reached_.find(key(parent, attribute)) != nullptr);
  }

  // Node n reaches attribute through the dependency cause (kNone for a name
  // of its part): it is offered to the node's schemas at once, so that a
  // schema is done as soon as it can be, and joins the node's names to
  // process, remembered with its cause. A name on no left side needs no
  // processing; unless it is a name of the node's own schema, it is not
  // even remembered, since offering it again changes nothing.
  void reach(number n, number attribute, number cause) {
    if (graph_.dependents[attribute].empty() &&
        (nodes_[n].schema == kNone ||
         !graph_.holds(nodes_[n].schema, attribute)))
      return offer(n, attribute, cause);
    const number parent = nodes_[n].parent;
    if (parent != kNone && reached_.find(key(parent, attribute)) != nullptr)
      return;
    const auto [slot, added] = reached_.add(key(n, attribute));
    if (!added) return;
    *slot = cause;
    offer(n, attribute, cause);
    const number e = static_cast<number>(events_.size());
    events_.push_back({attribute, kNone});
    node& x = nodes_[n];
    ++x.names;
    x.complete = false;
    if (x.last_event == kNone) {
      x.first_event = e;
    } else {
      events_[x.last_event].next = e;
    }
    x.last_event = e;
    if (!x.waiting) {
      x.waiting = true;
      (x.patient ? later_ : ready_).push_back(n);
    }
  }

  // How many left-side names of dependency node n had not reached before it
  // counted any of its own: as many as the node it goes on from had not.
  number inherited_count(number n, number dependency) const {
    const number parent = nodes_[n].parent;
    if (parent != kNone)
      if (const number* shared = counters_.find(key(parent, dependency)))
        return *shared;
    return static_cast<number>(graph_.left[dependency].size());
  }

  // The dependencies whose left side holds attribute and that the closure
  // of the left side applies: only those can apply in a node. Each list is
  // built on first use in a test.
  std::span<const number> relevant(number attribute) {
    if (!relevant_built_.marked(attribute)) {
      relevant_built_.mark(attribute);
      const number begin = relevant_end_;
      for (number dependency : graph_.dependents[attribute])
        if (whole_.applied(dependency)) relevant_[relevant_end_++] = dependency;
      relevant_at_[attribute] = {begin, relevant_end_ - begin};
    }
    return {relevant_.data() + relevant_at_[attribute].first,
            relevant_at_[attribute].second};
  }

  // If a schema of node n holds attribute, which n reached through the
  // dependency cause, and it is not derived yet, it joins the derived set.
  // Walks the node's schemas or the attribute's, whichever list is shorter.
  void offer(number n, number attribute, number cause) {
    const node& x = nodes_[n];
    if (x.schema != kNone) {
      if (!derived_.contains(attribute) && missing_[x.schema] > 0 &&
          graph_.holds(x.schema, attribute))
        derive(attribute, {x.schema, attribute, n, cause});
      return;
    }
    if (derived_.contains(attribute)) return;
    const std::span<const number> holders = graph_.containing[attribute];
    if (x.resident_slots <= holders.size()) {
      for (number i = 0; i < x.resident_slots; ++i) {
        const number s = residents_[x.first_resident + i];
        if (serves(n, s) && graph_.holds(s, attribute))
          return derive(attribute, {s, attribute, n, cause});
      }
    } else {
      for (number s : holders)
        if (seen_.contains(s) && serves(n, s))
          return derive(attribute, {s, attribute, n, cause});
    }
  }

  // True when node n holds the closure of schema s, which still adds.
  bool serves(number n, number s) const {
    return node_of_[s] == n && missing_[s] > 0;
  }

  // Attribute joins the derived set, as how says: the schemas that hold it
  // have one name less to wait for, and their parts grow. A name that starts
  // no dependency leaves every closure as it was but for itself, and it is
  // derived already, so then no part needs to grow.
  void derive(number attribute, const joined& how) {
    derived_.insert(attribute);
    if (trace_ != nullptr) trace_->push_back(how);
    if (wanted_.contains(attribute) && --wanted_left_ == 0) return;
    const bool starts_dependencies = !relevant(attribute).empty();
    for (number s : graph_.containing[attribute]) {
      if (!seen_.contains(s)) {
        look_at(s);  // attribute is derived already: not counted
      } else if (missing_[s] > 0 && --missing_[s] == 0) {  // done
        const number n = node_of_[s];
        if (n == kNone) continue;
        if (nodes_[n].schema == s) remember(s, n);
        --nodes_[n].residents;
      }
      if (missing_[s] > 0 && starts_dependencies)
        grows_.push_back({s, attribute});
    }
  }

  // The names that the memo knows the closure of schema s's part to reach,
  // from what is derived now, join the derived set. When the memo knows all
  // that the closure of a key reaches, and the key or those names hold
  // first, the name that has just started s's part, s is answered by the key
  // and those names, until its part grows by another name. Only keys that
  // hold holding are asked, unless it is kNone. True when the memo knew the
  // closure of a key.
  bool recall(number s, number first = kNone, number holding = kNone) {
    if (missing_[s] == 0) return false;
    recalled_.clear();  // name, and where its key starts in keys_
    bool known = false;
    memo_.recall(
        s, [&](number attribute) { return derived_.contains(attribute); },
        [&](std::span<const number> key, std::span<const number> names,
            bool whole) {
          known = true;
          if (whole && first != kNone && !answered_.marked(s) &&
              (std::binary_search(key.begin(), key.end(), first) ||
               std::binary_search(names.begin(), names.end(), first)))
            answer(s, key, names);
          number at = kNone;
          if (trace_ != nullptr) {  // the key is copied: the memo can change
            at = static_cast<number>(keys_.size());
            keys_.push_back(static_cast<number>(key.size()));
            keys_.insert(keys_.end(), key.begin(), key.end());
          }
          for (number attribute : names) recalled_.push_back({attribute, at});
        },
        holding);
    for (const auto& [attribute, at] : recalled_) {
      if (missing_[s] == 0 || wanted_left_ == 0) break;
      if (!derived_.contains(attribute))
        derive(attribute, {s, attribute, kNone, at});
    }
    return known;
  }

  // Once schema s, served by its own node n, is done: remembers the names of
  // s that n reached beyond its part, keyed by the names of its part that
  // they were reached from.
  void remember(number s, number n) {
    split_reached(s, n);
    remember_traced(s, n);
  }

  // Remembers gained_, the names of schema s that node n reached beyond its
  // part, keyed by the names of the part that they were reached from
  // (traced back through the dependency that reached each name).
  void remember_traced(number s, number n) {
    if (gained_.empty()) return;
    key_.clear();
    traced_.clear();
    stack_.assign(gained_.begin(), gained_.end());
    for (number attribute : gained_) traced_.mark(attribute);
    while (!stack_.empty()) {
      const number attribute = stack_.back();
      stack_.pop_back();
      const number cause = *cause_in(n, attribute);
      if (cause == kNone) {
        key_.push_back(attribute);
        continue;
      }
      for (number earlier : graph_.left[cause])
        if (!traced_.marked(earlier)) {
          traced_.mark(earlier);
          stack_.push_back(earlier);
        }
    }
    std::sort(key_.begin(), key_.end());
    memo_.remember(s, key_, gained_);
  }

  // True when node n is the closure of the part of one schema, which is
  // not done, has processed all it reached, and did no less work than a
  // walk of the schema costs: it can then be remembered whole for what it
  // cost. Gives that schema in s.
  bool unfinished(number n, number& s) const {
    const node& x = nodes_[n];
    s = x.schema;
    return x.complete && s != kNone &&
           (x.parent == kNone || nodes_[x.parent].complete) && !x.shared &&
           x.residents == 1 && node_of_[s] == n && missing_[s] > 0 &&
           graph_.members[s].size() <= 4 * size_t{x.names} + 16;
  }

  // Remembers, keyed by its whole part, all that node n, the complete
  // closure of unfinished schema s, reached of s, and also, keyed by the
  // names of the part they were reached from, the names beyond the part, so
  // that a later part that holds those names needs no closure to add them;
  // once a test for each schema, so that it costs what the closure did.
  // Leaves the part in used_ and the rest in gained_ when it does.
  bool remember_whole(number s, number n) {
    if (told_.marked(s)) return false;
    told_.mark(s);
    split_reached(s, n);
    memo_.remember(s, used_, gained_, true);
    remember_traced(s, n);
    return true;
  }

  // At the end of a test, remembers the unfinished schemas whole, so that
  // later tests need no closure for them.
  void remember_unfinished() {
    for (number n = 0, s; n < nodes_.size(); ++n)
      if (unfinished(n, s)) remember_whole(s, n);
  }

  // Node n, if it is an unfinished schema's, is no longer needed: the schema
  // is answered by what it reached, and gets a new node, from its whole
  // part, only if the part grows by another name. Once a test for each
  // schema, so that a schema whose part keeps growing is closed again at
  // most once.
  void retire(number n) {
    number s;
    if (!unfinished(n, s) || retired_.marked(s)) return;
    retired_.mark(s);
    if (!remember_whole(s, n)) split_reached(s, n);
    answer(s, used_, gained_);
    node_of_[s] = kNone;
    nodes_[n].residents = 0;
  }

  // Puts the names of schema s that node n reached into used_, those of its
  // part, and gained_, those it reached through a dependency, in ascending
  // order.
  void split_reached(number s, number n) {
    used_.clear();
    gained_.clear();
    for (number member : graph_.members[s])
      if (const number* cause = cause_in(n, member))
        (*cause == kNone ? used_ : gained_).push_back(member);
  }

  void need(number attribute) {
    if (!in_left_.marked(attribute)) needed_.mark(attribute);
  }

  // Needs the names of the part of schema s at step k (names of s derived
  // before it, or in the left side) from which node n, the closure of that
  // part, reached a name through dependency cause: back through the
  // dependency that reached each name in n, until such names. When n has
  // been collected, the whole part is needed, which is more than enough.
  void trace_back(number n, number cause, number s, number k) {
    if (nodes_[n].collected) {
      for (number member : graph_.members[s])
        if (in_left_.marked(member) ||
            (joined_.marked(member) && joined_at_[member] < k))
          need(member);
      return;
    }
    traced_.clear();
    stack_.clear();
    const auto push = [&](number dependency) {
      for (number attribute : graph_.left[dependency])
        if (!traced_.marked(attribute)) {
          traced_.mark(attribute);
          stack_.push_back(attribute);
        }
    };
    push(cause);
    while (!stack_.empty()) {
      const number attribute = stack_.back();
      stack_.pop_back();
      const number* reason = cause_in(n, attribute);
      const bool in_part =
          (in_left_.marked(attribute) ||
           (joined_.marked(attribute) && joined_at_[attribute] < k)) &&
          graph_.holds(s, attribute);
      if (in_part || reason == nullptr || *reason == kNone) {
        need(attribute);
        continue;
      }
      push(*reason);
    }
  }

  // The dependency through which node n reached attribute (kNone for a name
  // of its part), or nullptr when n did not remember reaching it.
  const number* cause_in(number n, number attribute) const {
    if (const number* own = reached_.find(key(n, attribute))) return own;
    const number parent = nodes_[n].parent;
    return parent == kNone ? nullptr : reached_.find(key(parent, attribute));
  }

  // The part of schema s grows by attribute, which starts a dependency: its
  // node reaches it. A schema without a node gets one; a schema that shares
  // its node first parts ways.
  void grow(number s, number attribute) {
    if (missing_[s] == 0) return;
    number n = node_of_[s];
    if (n == kNone) {
      if (answered_.marked(s)) {
        if (answers(s, attribute)) return;
        answered_.unmark(s);  // its closure must go beyond the memo's
        n = new_own_node(s);
        for (number member : graph_.members[s])
          if (derived_.contains(member)) reach(n, member, kNone);
        return;
      }
      n = own_node(s, attribute);
      if (n != kNone) reach(n, attribute, kNone);
      return;
    }
    if (reached(n, attribute)) return;
    const auto alone = [&] {
      return nodes_[n].residents == 1 && !nodes_[n].shared;
    };
    if (!alone()) {
      drain(n);  // a node that others go on from must be closed
      if (wanted_left_ == 0 || missing_[s] == 0 || reached(n, attribute))
        return;
      if (!alone()) {
        n = part_ways(n, s, attribute);
        if (n != kNone) reach(n, attribute, kNone);
        return;
      }
    }
    reach(n, attribute, kNone);
  }

  // The first node of schema s, whose part has grown from nothing by
  // attribute, or kNone when the memo makes it done or answers it.
  number own_node(number s, number attribute) {
    answered_.unmark(s);
    const bool recalled = recall(s, attribute);
    if (missing_[s] == 0 || answered_.marked(s)) return kNone;
    const number own = new_own_node(s);
    nodes_[own].patient = can_wait(s, recalled);
    return own;
  }

  number new_own_node(number s) {
    const number own = new_node(kNone, s);
    nodes_[own].schema = s;
    node_of_[s] = own;
    return own;
  }

  // True when the closure of schema s can be put off: the memo, just asked,
  // knew a key of s (recalled), and s holds no name of the right side still
  // wanted. Walks the schema or the right side, whichever is shorter.
  bool can_wait(number s, bool recalled) const {
    if (!recalled) return false;
    const std::span<const number> members = graph_.members[s];
    const std::span<const number> wanted = wanted_.members();
    const auto still_wanted = [&](number attribute) {
      return wanted_.contains(attribute) && !derived_.contains(attribute);
    };
    if (members.size() < wanted.size())
      return std::none_of(members.begin(), members.end(), still_wanted);
    return std::none_of(wanted.begin(), wanted.end(), [&](number attribute) {
      return !derived_.contains(attribute) && graph_.holds(s, attribute);
    });
  }

  // Schema s is answered by the memo: the closure of key reaches names, and
  // no more, of s. Keeps a copy of both, in ascending order.
  void answer(number s, std::span<const number> key,
              std::span<const number> names) {
    const size_t begin = answers_.size();
    answers_.insert(answers_.end(), key.begin(), key.end());
    answers_.insert(answers_.end(), names.begin(), names.end());
    std::inplace_merge(answers_.begin() + begin,
                       answers_.begin() + begin + key.size(), answers_.end());
    answer_at_[s] = {static_cast<number>(begin),
                     static_cast<number>(answers_.size() - begin)};
    answered_.mark(s);
  }

  // True when attribute is a name of the key or of the names that answer
  // schema s: its part may grow by it with no change to what s adds.
  bool answers(number s, number attribute) const {
    const auto [begin, size] = answer_at_[s];
    const auto first = answers_.begin() + begin;
    return std::binary_search(first, first + size, attribute);
  }

  // Schema s leaves the shared node n, as its part grows by attribute, for a
  // node of its own that goes on from n, and returns it; or returns kNone
  // when the memo makes it done, or answers its whole part.
  number part_ways(number n, number s, number attribute) {
    answered_.unmark(s);
    const bool recalled =
        recall(s, nodes_[n].parent == kNone ? attribute : kNone);
    if (missing_[s] == 0) return kNone;
    --nodes_[n].residents;
    if (answered_.marked(s)) {
      const std::span<const number> part = part_of(n);
      if (std::all_of(part.begin(), part.end(),
                      [&](number name) { return answers(s, name); })) {
        node_of_[s] = kNone;  // the memo answers its whole part
        return kNone;
      }
      answered_.unmark(s);
    }
    nodes_[n].shared = true;
    const number own = new_node(n, s);
    nodes_[own].schema = s;
    nodes_[own].patient = can_wait(s, recalled);
    node_of_[s] = own;
    return own;
  }

  const dependency_graph& graph_;
  closure whole_;        // the closure of the left side under every dependency
  stamped_set derived_;  // the derived set of the dependency under test
  stamped_set wanted_;   // right-side names not in the left side
  size_t wanted_left_ = 0;       // those not derived yet
  stamped_set seen_;             // schemas looked at in this test
  std::vector<number> missing_;  // per schema seen: names of C not derived
  std::vector<number> node_of_;  // per schema seen: its node, or kNone
  std::vector<number> sorted_left_;
  std::vector<number> parts_;      // the parts that nodes start from
  std::vector<number> residents_;  // the schemas of each node, together
  std::vector<number> scratch_;
  scratch_map part_nodes_;  // hash of a part to its node
  std::vector<node> nodes_;
  std::vector<event> events_;  // the queues of the nodes, linked
  std::vector<number> ready_;  // nodes with names to process
  size_t ready_head_ = 0;
  std::vector<number> turned_;  // those of them that have had a turn
  std::vector<number> later_;   // patient nodes with names to process
  size_t later_head_ = 0;
  std::vector<std::pair<number, number>> grows_;  // schema, attribute
  size_t grow_head_ = 0;
  scratch_map reached_;   // node and attribute: reached
  scratch_map counters_;  // node and dependency: left-side names unreached
  marks relevant_built_;  // attributes whose relevant list is built
  std::vector<std::pair<number, number>> relevant_at_;  // begin, size
  std::vector<number> relevant_;  // the lists, each dependency at most once
  number relevant_end_ = 0;       // where the next list starts
  contribution_memo memo_;        // kept from one test to the next
  std::vector<std::pair<number, number>> recalled_;
  std::vector<number> gained_, used_, key_, stack_;
  marks answered_;        // schemas that the memo answers, with no node
  marks told_, retired_;  // schemas remembered whole, or retired, this test
  std::vector<std::pair<number, number>> answer_at_;  // in answers_
  std::vector<number> answers_;  // keys and names that answer schemas
  marks traced_;
  std::vector<number> keys_;         // the memo's keys that a trace cites
  marks in_left_, needed_, joined_;  // while a trace is cut
  std::vector<number> joined_at_;    // per name joined: its step
  size_t state_limit_;  // entries the maps may hold before dead ones go
  std::vector<joined>* trace_ = nullptr;  // where to record, if anywhere
  number holder_ = kNone;  // the schema that holds both sides, if any
};

}  // namespace

schema linear_cutoff(const schema& /*universe*/,
                     const dependency_map& dependencies, const schema& start) {
  const dependency_graph graph(dependencies, decomposition());
  std::vector<number> known;  // the names of start that the map mentions
  for (const std::string& name : start)
    if (number attribute; graph.names.find(name, attribute))
      known.push_back(attribute);
  closure close(graph);
  close.compute(known);
  schema result = start;
  for (number attribute : close.reached().members())
    result.emplace(graph.names.name(attribute));
  return result;
}

bool explain(
    const decomposition& schemas, const dependency_map& dependencies,
    const std::vector<size_t>& order,
    const std::function<void(size_t, const dependency_report&)>& report) {
  if (dependencies.empty()) return true;
  const dependency_graph graph(dependencies, schemas);
  preservation_test test(graph);
  std::vector<preservation_test::joined> trace;
  bool preserving = true;
  using outcome = dependency_report::outcome;
  for (size_t i = 0; i < graph.dependency_count(); ++i) {
    const number d = static_cast<number>(order.empty() ? i : order[i]);
    trace.clear();
    dependency_report r;
    switch (test.test(d, &trace)) {
      case preservation_test::result::within_left_side:
        r.how = outcome::within_left_side;
        break;
      case preservation_test::result::inside_one_schema:
        r.how = outcome::inside_one_schema;
        r.place = test.holder();
        break;
      case preservation_test::result::derived:
        r.how = outcome::derived;
        test.needed_steps(d, r);
        break;
      case preservation_test::result::lost:
        r.how = outcome::lost;
        preserving = false;
        for (number attribute : test.derived().members())
          r.derived.emplace(graph.names.name(attribute));
        for (number attribute : graph.right[d])
          if (!test.derived().contains(attribute))
            r.missing.emplace(graph.names.name(attribute));
        break;
    }
    report(d, r);
  }
  return preserving;
}

bool keep(const schema& /*universe*/, const decomposition& schemas,
          const dependency_map& dependencies) {
  if (dependencies.empty()) return true;
  const dependency_graph graph(dependencies, schemas);
  preservation_test test(graph);
  for (number d = 0; d < graph.dependency_count(); ++d)
    if (!test.preserved(d)) return false;
  return true;
}

input read_input(const std::string& path) {
  if (path == "-") {
    line_reader source = line_reader::standard_input("standard input");
    return read_cited(source, "standard input");
  }
  line_reader source(path);
  return read_cited(source, path);
}

input read_input_text(std::string_view text, const std::string& name) {
  text_lines source(text);
  return read_cited(source, name);
}

bool write_all(int fd, std::string_view text) {
  iovec part{const_cast<char*>(text.data()), text.size()};
  return write_fully(fd, &part, 1);
}

// The verdict line for an input read into model, without its line feed.
std::string_view verdict_of(const input_model& model) {
  return keep(model.universe, model.schemas, model.dependencies)
             ? kPreserving
             : kNotPreserving;
}

std::string output_for(std::string_view text, const std::string& name) {
  text_lines source(text);
  input_model model;
  std::string output;
  read_lines(source, name, model, [&](std::string_view record) {
    output += record;
    if (!record.ends_with('\n')) output += '\n';
  });
  return output.append("\n").append(verdict_of(model)).append("\n");
}

void run(const std::string& input_path, const std::string& output_path) {
  line_reader input(input_path);
  line_writer output(output_path, input);
  input_model model;
  read_lines(input, input_path, model,
             [&](std::string_view record) { output.write_line(record); });
  output.write_line("");
  output.write_line(verdict_of(model));
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
