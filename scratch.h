// Working sets that the analysis empties once per test: marks, sets and hash
// maps over numbers that clear in constant time, so that a test costs what it
// touches and not the size of the input.
//
// What they keep true: after clear(), nothing is marked, held or mapped,
// whatever was before. Each keeps the largest room it has needed; clearing
// frees nothing. A stamp that wraps around after 2^32 clears costs one sweep
// of the room.
#ifndef FDKEEP_SCRATCH_H_
#define FDKEEP_SCRATCH_H_

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

// An attribute, a dependency, a schema, a rule or a closure, by its place.
using number = uint32_t;
inline constexpr number kNone = UINT32_MAX;

// Sets out to the values of from for which keep(value) holds, in order:
// written in place, without a test of room for each value.
template <typename Keep>
void copy_where(std::span<const number> from, std::vector<number>& out,
                Keep keep) {
  if (from.size() <= 8) {  // too few to be worth writing in place
    out.clear();
    for (number value : from)
      if (keep(value)) out.push_back(value);
    return;
  }
  if (out.size() < from.size()) out.resize(from.size());
  size_t count = 0;
  for (number value : from) {
    out[count] = value;
    count += keep(value) ? 1 : 0;
  }
  out.resize(count);
}

// Marks on the numbers below a fixed bound. A number is marked while its stamp
// is the current one.
class marks {
 public:
  explicit marks(size_t bound = 0) : stamps_(bound, 0) {}

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

// A set of numbers below a fixed bound. The members are also listed, in the
// order they joined.
class stamped_set {
 public:
  explicit stamped_set(size_t bound = 0) : marks_(bound), members_(bound) {}

  bool contains(number value) const { return marks_.marked(value); }
  // The members in the order they joined; valid until clear().
  std::span<const number> members() const { return {members_.data(), size_}; }
  size_t size() const { return size_; }

  // Adds value; returns false when it was a member already.
  bool insert(number value) {
    if (contains(value)) return false;
    marks_.mark(value);
    members_[size_++] = value;
    return true;
  }

  // Sets out to the members in ascending order: sorted, or found by a walk
  // of every number below the bound when that is cheaper.
  void ascending(std::vector<number>& out) const {
    size_t log = 1;
    while ((size_t{1} << log) < size_) ++log;
    if (size_ * log < members_.size()) {
      out.assign(members().begin(), members().end());
      std::sort(out.begin(), out.end());
      return;
    }
    out.resize(size_);
    size_t count = 0;
    for (number value = 0; count < size_; ++value) {
      out[count] = value;
      count += contains(value) ? 1 : 0;
    }
  }

  void clear() {
    size_ = 0;
    marks_.clear();
  }
  // Takes out the members that joined after the first size of them.
  void truncate(size_t size) {
    for (size_t i = size; i < size_; ++i) marks_.unmark(members_[i]);
    size_ = std::min(size, size_);
  }

 private:
  marks marks_;
  std::vector<number> members_;  // room for every value below the bound
  size_t size_ = 0;
};

// For each name, the part of a list of numbers that a filter keeps, made on
// the first ask for that name and kept until clear(): a name whose list is
// long but keeps few costs those few after the first ask.
class filtered_lists {
 public:
  explicit filtered_lists(size_t names = 0)
      : begin_(names), end_(names), listed_(names) {}

  // What keep(value) keeps of list(name), in its order.
  template <typename List, typename Keep>
  std::span<const number> of(number name, List list, Keep keep) {
    if (!listed_.marked(name)) {
      listed_.mark(name);
      begin_[name] = static_cast<number>(kept_.size());
      for (number value : list(name))
        if (keep(value)) kept_.push_back(value);
      end_[name] = static_cast<number>(kept_.size());
    }
    return {kept_.data() + begin_[name], end_[name] - begin_[name]};
  }

  // Forgets every list made.
  void clear() {
    listed_.clear();
    kept_.clear();
  }

 private:
  std::vector<number> begin_, end_, kept_;
  marks listed_;
};

// A hash map from 64-bit keys to numbers: open addressing with linear
// probing, never more than half full. A slot is in use while its stamp is the
// current one. Growing and keep_if() build the new table in the room of the
// one before, so a map holds at most twice the room of its largest table and
// asks for memory only when it outgrows both.
class scratch_map {
 public:
  // The value of key, or nullptr when key is absent.
  const number* find(uint64_t key) const {
    for (size_t i = home(key);; i = (i + 1) & mask_) {
      const slot& s = slots_[i];
      if (s.stamp != stamp_) return nullptr;
      if (s.key == key) return &s.value;
    }
  }
  number* find(uint64_t key) {
    return const_cast<number*>(std::as_const(*this).find(key));
  }

  // The value of key, and true when key was absent and has been added with
  // the value fresh. The pointer is valid until the next key is added.
  std::pair<number*, bool> add(uint64_t key, number fresh = 0) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    size_t i = home(key);
    while (slots_[i].stamp == stamp_ && slots_[i].key != key)
      i = (i + 1) & mask_;
    slot& s = slots_[i];
    if (s.stamp == stamp_) return {&s.value, false};
    s = {key, fresh, stamp_};
    ++size_;
    return {&s.value, true};
  }

  size_t size() const { return size_; }

  // Asks the processor to bring key's first slot near, where it can: for a
  // caller that knows which keys it will add or find next, so that their
  // misses overlap instead of coming one after another.
  void prefetch(uint64_t key) const {
#if defined(__GNUC__)
    __builtin_prefetch(&slots_[home(key)]);
#else
    (void)key;
#endif
  }

  // Forgets every key. A table more than sixteen times as large as the
  // most keys it held in any of its last sixteen uses shrinks to four times
  // that, so that a few large uses do not spread the many small ones after
  // them over memory they miss in, and sizes that alternate do not make it
  // shrink and grow again each time.
  void clear() {
    recent_ = std::max(recent_, size_);
    size_ = 0;
    if (++uses_ % 16 == 0) {
      const size_t most = std::exchange(recent_, 0);
      if (slots_.size() > kLeast && slots_.size() / 16 > most) {
        slots_.resize(std::max(kLeast, std::bit_ceil(4 * most)));
        mask_ = slots_.size() - 1;
      }
    }
    if (++stamp_ == 0) {  // the stamps wrapped around: forget them all
      for (slot& s : slots_) s.stamp = 0;
      for (slot& s : spare_) s.stamp = 0;
      stamp_ = 1;
    }
  }

  // Keeps only the keys for which keep(key, value) holds; keep may change
  // the value it is given.
  template <typename Keep>
  void keep_if(Keep keep) {
    const number live = renew(slots_.size());
    for (slot& s : spare_)
      if (s.stamp == live && keep(s.key, s.value)) *add(s.key).first = s.value;
  }

 private:
  struct slot {
    uint64_t key = 0;
    number value = 0;
    number stamp = 0;
  };

  size_t home(uint64_t key) const {
    return ((key * 0x9E3779B97F4A7C15u) >> 32) & mask_;
  }

  void grow() {
    const number live = renew(2 * slots_.size());
    for (const slot& s : spare_)
      if (s.stamp == live) *add(s.key).first = s.value;
  }

  // Moves the keys to the spare table and gives the map an empty one of
  // size slots, made of the room the spare had: a fresh stamp empties it
  // without a write to each slot, and no memory is asked for again once the
  // tables have been this large. Returns the stamp of the keys moved.
  number renew(size_t size) {
    spare_.resize(size);
    spare_.swap(slots_);
    mask_ = slots_.size() - 1;
    size_ = 0;
    const number live = stamp_;
    if (++stamp_ == 0) {  // wrapped around: no stamp may look current
      for (slot& s : slots_) s.stamp = 0;
      for (slot& s : spare_) s.stamp = s.stamp == live ? 1 : 0;
      stamp_ = 2;
      return 1;
    }
    return live;
  }

  static constexpr size_t kLeast = 64;
  std::vector<slot> slots_ = std::vector<slot>(kLeast);  // a power of two
  std::vector<slot> spare_;  // the room of an earlier table, stamps stale
  size_t mask_ = kLeast - 1;
  size_t size_ = 0;
  size_t recent_ = 0, uses_ = 0;  // the most keys in the uses since a look
  number stamp_ = 1;
};

// Two numbers as one key of a scratch_map.
inline uint64_t pair_key(number first, number second) {
  return uint64_t{first} << 32 | second;
}

#endif  // FDKEEP_SCRATCH_H_
