#include "main.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <new>
#include <span>
#include <string_view>
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

// Remembers recently handled lines by their text, so that a line that
// repeats one of them need not be parsed again. A hash of the text picks one
// of a fixed number of slots, and a slot holds the last line that landed in
// it; long lines are never kept, so the memory stays bounded whatever the
// input.
class recent_lines {
 public:
  // True when line is one of the recent lines; otherwise it becomes one,
  // unless it is too long to keep. Requires a non-empty line.
  bool repeat(std::string_view line) {
    std::string& slot =
        slots_[std::hash<std::string_view>{}(line) % slots_.size()];
    if (slot == line) return true;
    if (line.size() <= kLongest) slot.assign(line);
    return false;
  }

 private:
  static constexpr size_t kSlots = 256, kLongest = 256;
  std::vector<std::string> slots_ = std::vector<std::string>(kSlots);
};

// The state of one read of the input file: the section, and what has been
// built of the decomposition, the universe and the dependency map so far.
struct input_model {
  bool decomposition_section = true;
  decomposition schemas;
  dependency_map dependencies;
  schema universe;
  recent_lines recent_schemas;  // a repeat changes nothing
};

// Adds a decomposition line's schema, and its names to the universe.
void add_schema(std::string_view line, input_model& model) {
  if (model.recent_schemas.repeat(line)) return;
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
      schema(line.substr(0, arrow)),
      schema(line.substr(arrow + kArrow.size())));
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

// ---------------------------------------------------------------------------
// Analysis
//
// The analysis works on numbers, not names: attribute names are numbered once
// per test, and dependencies and schemas become rows of numbers in flat
// arrays. Working sets are reset by stamping, so that one closure costs what
// it touches, not the size of the dependency map.

using number = uint32_t;  // an attribute, a dependency or a schema

// Rows of numbers in one flat array: row r is values[offsets[r]] up to
// values[offsets[r + 1]].
class table {
 public:
  size_t size() const { return offsets_.size() - 1; }
  std::span<const number> operator[](size_t row) const {
    return {values_.data() + offsets_[row], values_.data() + offsets_[row + 1]};
  }
  void push(number value) { values_.push_back(value); }
  void end_row() { offsets_.push_back(static_cast<number>(values_.size())); }

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
  explicit stamped_set(size_t bound) : marks_(bound) {}

  bool contains(number value) const { return marks_.marked(value); }
  const std::vector<number>& members() const { return members_; }

  // Adds value; returns false when it was a member already.
  bool insert(number value) {
    if (contains(value)) return false;
    marks_.mark(value);
    members_.push_back(value);
    return true;
  }

  void clear() {
    members_.clear();
    marks_.clear();
  }

 private:
  marks marks_;
  std::vector<number> members_;
};

// A dependency map and a decomposition with names replaced by numbers, built
// once and then read by every closure of a test.
struct dependency_graph {
  dependency_graph(const dependency_map& dependencies,
                   const decomposition& schemas) {
    for (const auto& [left_side, right_side] : dependencies) {
      add_row(left, left_side);
      add_row(right, right_side);
    }
    for (const schema& s : schemas) add_row(members, s);
    dependents = left.inverted(names.size());
    for (number d = 0; d < left.size(); ++d)
      if (left[d].empty()) unconditional.push_back(d);
  }

  size_t dependency_count() const { return left.size(); }

  name_table names;
  table left;        // per dependency, in map order: its left side
  table right;       // per dependency: its right side
  table members;     // per schema, in decomposition order: its attributes
  table dependents;  // per attribute: the dependencies whose left side holds it
  std::vector<number> unconditional;  // dependencies with an empty left side

 private:
  void add_row(table& rows, const schema& s) {
    for (const std::string& name : s) rows.push(names.add(name));
    rows.end_row();
  }
};

// A first-in first-out queue of numbers below a fixed bound in which each
// number waits at most once at a time; empties in constant time.
class work_queue {
 public:
  explicit work_queue(size_t bound) : waiting_(bound) {}

  bool empty() const { return head_ == items_.size(); }

  void push(number value) {
    if (waiting_.marked(value)) return;
    waiting_.mark(value);
    items_.push_back(value);
  }

  number pop() {
    const number value = items_[head_++];
    waiting_.unmark(value);
    return value;
  }

  void clear() {
    items_.clear();
    head_ = 0;
    waiting_.clear();
  }

 private:
  marks waiting_;
  std::vector<number> items_;
  size_t head_ = 0;
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
        target_(graph.names.size()),
        counted_(graph.dependency_count()),
        missing_(graph.dependency_count()) {}

  // Closes start completely: afterwards reached() holds start and every
  // attribute that the dependencies reach from it.
  void compute(std::span<const number> start) {
    target_.clear();
    unreached_target_ = SIZE_MAX;
    close(start);
  }

  // Closes start as far as one schema needs, stopping once every member of
  // the schema is reached: afterwards reached() holds every member that the
  // closure of start holds, and perhaps more. Requires start to lie within
  // members.
  void compute_within(std::span<const number> start,
                      std::span<const number> members) {
    target_.clear();
    for (number attribute : members) target_.insert(attribute);
    unreached_target_ = members.size();
    close(start);
  }

  const stamped_set& reached() const { return reached_; }

 private:
  void close(std::span<const number> start) {
    reached_.clear();
    counted_.clear();
    for (number attribute : start) reach(attribute);
    for (number dependency : graph_.unconditional) apply(dependency);
    // reached_ lists every attribute once; walking the list processes each
    // newly reached one, whose dependents then miss one name less.
    const std::vector<number>& queue = reached_.members();
    for (size_t next = 0; next < queue.size() && unreached_target_ > 0; ++next)
      for (number dependency : graph_.dependents[queue[next]]) {
        if (counted_.insert(dependency))
          missing_[dependency] =
              static_cast<number>(graph_.left[dependency].size());
        if (--missing_[dependency] == 0) apply(dependency);
      }
  }

  void reach(number attribute) {
    if (reached_.insert(attribute) && target_.contains(attribute))
      --unreached_target_;
  }

  void apply(number dependency) {
    for (number attribute : graph_.right[dependency]) reach(attribute);
  }

  const dependency_graph& graph_;
  stamped_set reached_;
  stamped_set target_;           // the schema being served, if any
  size_t unreached_target_ = 0;  // members of target_ not yet reached
  stamped_set counted_;          // dependencies whose missing_ count is live
  std::vector<number> missing_;  // per dependency: left-side names unreached
};

// Tests the dependencies of one graph for preservation, one at a time,
// reusing its working sets from one dependency to the next.
class preservation_test {
 public:
  explicit preservation_test(const dependency_graph& graph)
      : graph_(graph),
        containing_(graph.members.inverted(graph.names.size())),
        close_(graph),
        derived_(graph.names.size()),
        wanted_(graph.names.size()),
        queue_(graph.members.size()) {}

  // True when the derived set of the dependency's left side takes in its
  // right side. The derived set grows by what a schema's closure adds to the
  // schema's part of it; only schemas whose part has grown are visited
  // again, and the test stops as soon as the right side is derived.
  bool preserved(number dependency) {
    derived_.clear();
    wanted_.clear();
    for (number attribute : graph_.left[dependency]) derived_.insert(attribute);
    for (number attribute : graph_.right[dependency]) {
      if (derived_.contains(attribute)) continue;
      if (containing_[attribute].empty()) return false;  // never derivable
      wanted_.insert(attribute);
    }
    size_t missing = wanted_.members().size();
    if (missing == 0 || inside_one_schema(dependency)) return true;

    queue_.clear();
    if (!graph_.unconditional.empty())  // then even an empty part can grow
      for (number s = 0; s < graph_.members.size(); ++s) queue_.push(s);
    for (number attribute : graph_.left[dependency])
      for (number s : containing_[attribute]) queue_.push(s);
    while (!queue_.empty()) {
      const number s = queue_.pop();
      for (number attribute : contribution(s)) {
        if (!derived_.insert(attribute)) continue;
        if (wanted_.contains(attribute) && --missing == 0) return true;
        for (number other : containing_[attribute])
          if (other != s) queue_.push(other);
      }
    }
    return false;
  }

 private:
  // True when one schema holds both sides of the dependency, which then
  // holds inside that schema. Expects derived_ to hold the left side and
  // wanted_ the rest of the right side.
  bool inside_one_schema(number dependency) const {
    const std::span<const number> left = graph_.left[dependency];
    if (left.empty()) return false;
    // Only the schemas that hold the rarest left-side name are candidates.
    number rarest = left[0];
    for (number attribute : left)
      if (containing_[attribute].size() < containing_[rarest].size())
        rarest = attribute;
    const size_t sides = left.size() + wanted_.members().size();
    for (number s : containing_[rarest]) {
      size_t held = 0;
      for (number attribute : graph_.members[s])
        held += derived_.contains(attribute) || wanted_.contains(attribute);
      if (held == sides) return true;
    }
    return false;
  }

  // The members of schema s that the closure of its part of derived_
  // reaches. Many dependencies reach the same parts of the same schemas, so
  // results are remembered by schema and part, up to kMemoLimit numbers.
  const std::vector<number>& contribution(number s) {
    const std::span<const number> members = graph_.members[s];
    key_.assign(1, s);
    for (number attribute : members)
      if (derived_.contains(attribute)) key_.push_back(attribute);
    const auto known = memo_.find(key_);
    if (known != memo_.end()) return known->second;

    const std::span<const number> start(key_.begin() + 1, key_.end());
    scratch_.clear();
    if (start.size() == members.size()) return scratch_;  // nothing to add
    close_.compute_within(start, members);
    for (number attribute : members)
      if (close_.reached().contains(attribute)) scratch_.push_back(attribute);
    // A closure that reached little is cheaper to redo than to remember.
    if (close_.reached().members().size() < kWorthRemembering ||
        memo_size_ > kMemoLimit)
      return scratch_;
    memo_size_ += key_.size() + scratch_.size();
    return memo_.emplace(key_, scratch_).first->second;
  }

  struct numbers_hash {
    size_t operator()(const std::vector<number>& values) const {
      uint64_t hash = 14695981039346656037u;  // FNV-1a over the numbers
      for (number value : values) hash = (hash ^ value) * 1099511628211u;
      return hash;
    }
  };
  static constexpr size_t kWorthRemembering = 16;
  static constexpr size_t kMemoLimit = size_t{1} << 24;

  const dependency_graph& graph_;
  const table containing_;  // per attribute: the schemas that hold it
  closure close_;
  std::unordered_map<std::vector<number>, std::vector<number>, numbers_hash>
      memo_;  // schema and its part of derived_, to what the part reaches
  size_t memo_size_ = 0;         // numbers held by memo_
  std::vector<number> key_;      // the key being looked up
  std::vector<number> scratch_;  // a result not remembered
  stamped_set derived_;          // the derived set of the dependency under test
  stamped_set wanted_;           // right-side names not in the left side
  work_queue queue_;             // schemas whose part of derived_ has grown
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

bool keep(const schema& /*universe*/, const decomposition& schemas,
          const dependency_map& dependencies) {
  if (dependencies.empty()) return true;
  const dependency_graph graph(dependencies, schemas);
  preservation_test test(graph);
  for (number d = 0; d < graph.dependency_count(); ++d)
    if (!test.preserved(d)) return false;
  return true;
}

void run(const std::string& input_path, const std::string& output_path) {
  line_reader input(input_path);
  line_writer output(output_path, input);
  input_model model;
  std::string_view record;
  for (size_t number = 1; input.next(record); ++number) {
    const std::string_view line =
        record.substr(0, record.size() - record.ends_with('\n'));
    if (!take_line(line, model))
      throw failure(input_path + ":" + std::to_string(number) +
                    ": dependency has no \"->\"");
    output.write_line(record);
  }
  output.write_line("");
  const bool preserving =
      keep(model.universe, model.schemas, model.dependencies);
  output.write_line(preserving ? kPreserving : kNotPreserving);
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
