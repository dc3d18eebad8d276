#include "json/member_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "json/block_pool.h"

namespace VendraJSON {

MemberTable::~MemberTable() {
  if (entries_) BlockPool::Free(entries_, BlockBytes(capacity_, keysCapacity_));
  delete[] index_;
}

size_t MemberTable::BlockBytes(size_t capacity, size_t keysCapacity) {
  return capacity * sizeof(Entry) + keysCapacity * sizeof(char16_t);
}

uint32_t MemberTable::Hash(std::u16string_view key) {
  uint32_t h = 2166136261u;
  for (char16_t c : key) h = (h ^ c) * 16777619u;
  return h;
}

bool MemberTable::SameKey(const Entry& e, std::u16string_view key) const {
  return e.keyLength == key.size() &&
         (key.empty() ||
          std::memcmp(keys_ + e.keyOffset, key.data(), key.size() * sizeof(char16_t)) == 0);
}

size_t MemberTable::Find(std::u16string_view key) const {
  if (!index_) {
    for (size_t i = 0; i < count_; ++i)
      if (SameKey(entries_[i], key)) return i;
    return kNotFound;
  }
  const uint32_t mask = indexCapacity_ - 1;
  for (uint32_t slot = Hash(key) & mask;; slot = (slot + 1) & mask) {
    const uint32_t n = index_[slot];
    if (n == 0) return kNotFound;
    if (SameKey(entries_[n - 1], key)) return n - 1;
  }
}

void MemberTable::Reserve(size_t members, size_t keyUnits) {
  if (count_ + members > capacity_ || keysUsed_ + keyUnits > keysCapacity_)
    Grow(count_ + members, keysUsed_ + keyUnits);
}

void MemberTable::Grow(size_t members, size_t keyUnits) {
  const size_t capacity = std::max<size_t>(members, capacity_);
  const size_t keysCapacity = std::max<size_t>(keyUnits, keysCapacity_);
  auto* block = static_cast<Entry*>(BlockPool::Allocate(BlockBytes(capacity, keysCapacity)));
  auto* keys = reinterpret_cast<char16_t*>(block + capacity);
  if (count_) std::memcpy(block, entries_, count_ * sizeof(Entry));
  if (keysUsed_) std::memcpy(keys, keys_, keysUsed_ * sizeof(char16_t));
  if (entries_) BlockPool::Free(entries_, BlockBytes(capacity_, keysCapacity_));
  entries_ = block;
  keys_ = keys;
  capacity_ = static_cast<uint32_t>(capacity);
  keysCapacity_ = static_cast<uint32_t>(keysCapacity);
}

void MemberTable::Append(std::u16string_view key, VSJValueContainer* holder) {
  if (count_ == capacity_ || keysUsed_ + key.size() > keysCapacity_) {
    Grow(count_ == capacity_ ? std::max<size_t>(4, 2 * size_t{capacity_}) : capacity_,
         std::max<size_t>(keysUsed_ + key.size(), 2 * size_t{keysCapacity_}));
  }
  if (!key.empty()) std::memcpy(keys_ + keysUsed_, key.data(), key.size() * sizeof(char16_t));
  entries_[count_] = Entry{keysUsed_, static_cast<uint32_t>(key.size()), holder};
  keysUsed_ += static_cast<uint32_t>(key.size());
  ++count_;

  if (index_ && 2 * size_t{count_} <= indexCapacity_) {
    IndexInsert(count_ - 1, Hash(key));
  } else if (count_ > kLinearLimit) {
    size_t capacity = 16;
    while (capacity < 4 * size_t{count_}) capacity *= 2;
    RebuildIndex(capacity);
  }
}

void MemberTable::IndexInsert(uint32_t entry, uint32_t hash) {
  const uint32_t mask = indexCapacity_ - 1;
  uint32_t slot = hash & mask;
  while (index_[slot] != 0) slot = (slot + 1) & mask;
  index_[slot] = entry + 1;
}

void MemberTable::RebuildIndex(size_t capacity) {
  delete[] index_;
  index_ = new uint32_t[capacity]();
  indexCapacity_ = static_cast<uint32_t>(capacity);
  for (uint32_t i = 0; i < count_; ++i) IndexInsert(i, Hash(KeyAt(i)));
}

std::vector<uint32_t> MemberTable::SortedIndexes() const {
  std::vector<uint32_t> order(count_);
  for (uint32_t i = 0; i < count_; ++i) order[i] = i;
  // std::u16string_view compares char16_t as unsigned code units.
  std::sort(order.begin(), order.end(),
            [this](uint32_t a, uint32_t b) { return KeyAt(a) < KeyAt(b); });
  return order;
}

}  // namespace VendraJSON
