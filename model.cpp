#include "model.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

namespace {

constexpr char kSeparator = ',';

// FNV-1a over the numbers of a row.
uint64_t row_hash(std::span<const number> row) {
  uint64_t hash = 14695981039346656037u;
  for (number value : row) hash = (hash ^ value) * 1099511628211u;
  return hash;
}

// The count bytes at bytes (at most eight) as one word, in memory order and
// zero-padded: two loads that may overlap rather than a call to copy them.
// Overlapping loads agree only where a word's bytes lie in memory order.
static_assert(std::endian::native == std::endian::little);
uint64_t word_at(const char* bytes, size_t count) {
  const auto byte = [&](size_t i) {
    return static_cast<uint64_t>(static_cast<unsigned char>(bytes[i]));
  };
  if (count >= 4) {
    uint32_t low, high;
    std::memcpy(&low, bytes, 4);
    std::memcpy(&high, bytes + count - 4, 4);
    return low | static_cast<uint64_t>(high) << 8 * (count - 4);
  }
  if (count == 0) return 0;
  return byte(0) | byte(count / 2) << 8 * (count / 2) |
         byte(count - 1) << 8 * (count - 1);
}

}  // namespace

table table::inverted(size_t width) const {
  table result;
  result.offsets_.assign(width + 1, 0);
  for (number value : values_) ++result.offsets_[value + 1];
  for (size_t v = 0; v < width; ++v)
    result.offsets_[v + 1] += result.offsets_[v];
  result.values_.resize(values_.size());
  std::vector<size_t> fill(result.offsets_.begin(), result.offsets_.end() - 1);
  for (size_t row = 0; row < size(); ++row)
    for (number value : (*this)[row])
      result.values_[fill[value]++] = static_cast<number>(row);
  return result;
}

// ---------------------------------------------------------------------------
// name_table

number name_table::add(std::string_view name) {
  if (2 * (names_.size() + 1) > slots_.size()) grow();
  const slot key = slot_of(name);
  slot& s = slots_[find_slot(name, key)];
  if (s.attribute == kNone) {
    s = key;
    s.attribute = static_cast<number>(names_.size());
    names_.push_back(keep_copy(name));
  }
  return s.attribute;
}

bool name_table::find(std::string_view name, number& attribute) const {
  if (slots_.empty()) return false;
  attribute = slots_[find_slot(name, slot_of(name))].attribute;
  return attribute != kNone;
}

// The slot of name: its first bytes, its length and a hash of all of it,
// eight bytes at a time.
name_table::slot name_table::slot_of(std::string_view name) {
  slot s;
  const size_t length = name.size();
  s.length = static_cast<uint32_t>(length);
  uint64_t hash = 0x9E3779B97F4A7C15u ^ length;
  const auto take = [&](uint64_t word) {
    hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 32;
  };
  const uint64_t first = word_at(name.data(), std::min<size_t>(length, 8));
  const uint64_t second =
      length > 8 ? word_at(name.data() + 8, std::min<size_t>(length - 8, 8))
                 : 0;
  s.head[0] = first;
  s.head[1] = second;
  take(first);
  take(second);
  for (size_t at = kInline; at < length; at += 8)
    take(word_at(name.data() + at, std::min<size_t>(8, length - at)));
  s.hash = hash * 0xC4CEB9FE1A85EC53u;
  s.hash ^= s.hash >> 29;
  return s;
}

bool name_table::same_name(const slot& s, const slot& key,
                           std::string_view name) const {
  return s.hash == key.hash && s.length == key.length &&
         s.head[0] == key.head[0] && s.head[1] == key.head[1] &&
         (name.size() <= kInline || names_[s.attribute] == name);
}

size_t name_table::find_slot(std::string_view name, const slot& key) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = key.hash & mask;; i = (i + 1) & mask) {
    const slot& s = slots_[i];
    if (s.attribute == kNone || same_name(s, key, name)) return i;
  }
}

// Doubles the slots, keeping at least half of them free.
void name_table::grow() {
  std::vector<slot> old(std::max<size_t>(64, 2 * slots_.size()));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const slot& s : old) {
    if (s.attribute == kNone) continue;
    size_t i = s.hash & mask;
    while (slots_[i].attribute != kNone) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

// Copies name into blocks that never move, so that the views of earlier
// names stay valid.
std::string_view name_table::keep_copy(std::string_view name) {
  constexpr size_t kBlock = 64 * 1024;
  if (name.empty()) return {};
  if (name.size() > block_left_) {
    const size_t size = std::max(kBlock, name.size());
    blocks_.push_back(std::unique_ptr<char[]>(new char[size]));
    block_next_ = blocks_.back().get();
    block_left_ = size;
  }
  char* copy = block_next_;
  std::memcpy(copy, name.data(), name.size());
  block_next_ += name.size();
  block_left_ -= name.size();
  return {copy, name.size()};
}

// ---------------------------------------------------------------------------
// model_builder

void model_builder::parse(std::string_view attribute_list,
                          std::vector<number>& row) {
  row.clear();
  for (;;) {
    const size_t comma = attribute_list.find(kSeparator);
    row.push_back(model_.names.add(attribute_list.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    attribute_list.remove_prefix(comma + 1);
  }
  // Names met for the first time come in ascending order, so a row is
  // often ascending, each name once, already.
  if (std::adjacent_find(row.begin(), row.end(), std::greater_equal<>()) ==
      row.end())
    return;
  std::sort(row.begin(), row.end());
  row.erase(std::unique(row.begin(), row.end()), row.end());
}

std::pair<number, bool> model_builder::add_schema(
    std::span<const number> row) {
  const uint64_t hash = row_hash(row);
  const number known = schema_rows_.find(model_.schemas, row, hash);
  if (known != kNone) return {known, false};
  const number place = static_cast<number>(model_.schemas.size());
  model_.schemas.add_row(row);
  schema_rows_.add(hash, place);
  return {place, true};
}

std::pair<number, number> model_builder::set_dependency(
    std::span<const number> left, std::span<const number> right) {
  const number right_row = static_cast<number>(right_rows_.size());
  right_rows_.add_row(right);
  const uint64_t hash = row_hash(left);
  number place = left_rows_.find(model_.left, left, hash);
  if (place == kNone) {
    place = static_cast<number>(model_.left.size());
    model_.left.add_row(left);
    left_rows_.add(hash, place);
    right_of_.push_back(right_row);
  } else {
    right_of_[place] = right_row;
  }
  return {place, right_row};
}

numbered_input model_builder::finish() {
  // Each dependency's right side is its own row of right_rows_, in order,
  // unless a line replaced one: then they are copied in order.
  bool in_order = right_rows_.size() == right_of_.size();
  for (number d = 0; in_order && d < right_of_.size(); ++d)
    in_order = right_of_[d] == d;
  if (in_order) {
    model_.right = std::move(right_rows_);
  } else {
    for (number row : right_of_) model_.right.add_row(right_rows_[row]);
  }
  model_.held.assign(model_.names.size(), false);
  for (size_t s = 0; s < model_.schemas.size(); ++s)
    for (number attribute : model_.schemas[s]) model_.held[attribute] = true;
  numbered_input result = std::move(model_);
  *this = model_builder();
  return result;
}

number model_builder::row_index::find(const table& rows,
                                      std::span<const number> row,
                                      uint64_t hash) const {
  const size_t mask = entries_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const entry& e = entries_[i];
    if (e.place == kNone) return kNone;
    if (e.hash == hash) {
      const std::span<const number> other = rows[e.place];
      if (std::equal(row.begin(), row.end(), other.begin(), other.end()))
        return e.place;
    }
  }
}

void model_builder::row_index::add(uint64_t hash, number place) {
  if (2 * (size_ + 1) > entries_.size()) grow();
  const size_t mask = entries_.size() - 1;
  size_t i = hash & mask;
  while (entries_[i].place != kNone) i = (i + 1) & mask;
  entries_[i] = {hash, place};
  ++size_;
}

void model_builder::row_index::grow() {
  std::vector<entry> old(2 * entries_.size());
  old.swap(entries_);
  size_ = 0;
  for (const entry& e : old)
    if (e.place != kNone) add(e.hash, e.place);
}

// ---------------------------------------------------------------------------

numbered_input number_input(const decomposition& schemas,
                            const dependency_map& dependencies) {
  model_builder builder;
  std::vector<number> left, right;
  const auto numbered = [&](const schema& s, std::vector<number>& row) {
    row.clear();
    for (const std::string& name : s) row.push_back(builder.number_of(name));
    std::sort(row.begin(), row.end());
  };
  for (const schema& s : schemas) {
    numbered(s, left);
    builder.add_schema(left);
  }
  for (const auto& [left_side, right_side] : dependencies) {
    numbered(left_side, left);
    numbered(right_side, right);
    builder.set_dependency(left, right);
  }
  return builder.finish();
}

schema schema_of(const numbered_input& model, std::span<const number> row) {
  schema result;
  for (number attribute : row) result.emplace(model.names.name(attribute));
  return result;
}
