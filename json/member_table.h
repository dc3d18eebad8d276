#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace VendraJSON {

class VSJValueContainer;

// The members of an object: keys with their holders, kept in the order in
// which each key was first stored. Keys and entries share one allocation;
// objects with more than a handful of members also get a hash index, so a
// lookup never walks a long list. The table does not own the holders.
class MemberTable {
 public:
  // What Find answers for a key that is not there.
  static constexpr size_t kNotFound = static_cast<size_t>(-1);

  MemberTable() = default;
  ~MemberTable();
  MemberTable(const MemberTable&) = delete;
  MemberTable& operator=(const MemberTable&) = delete;

  // The number of members.
  size_t Count() const { return count_; }
  // The key of member i (below Count).
  std::u16string_view KeyAt(size_t i) const {
    return {keys_ + entries_[i].keyOffset, entries_[i].keyLength};
  }
  // The holder of member i (below Count).
  VSJValueContainer* HolderAt(size_t i) const { return entries_[i].holder; }

  // The index of key, or kNotFound.
  size_t Find(std::u16string_view key) const;
  // Makes room for this many more members and key code units.
  void Reserve(size_t members, size_t keyUnits);
  // Adds a key that is not present yet.
  void Append(std::u16string_view key, VSJValueContainer* holder);
  // Member indexes in ascending key order, code units compared as unsigned
  // numbers and a prefix first.
  std::vector<uint32_t> SortedIndexes() const;

 private:
  struct Entry {
    uint32_t keyOffset;
    uint32_t keyLength;
    VSJValueContainer* holder;
  };

  static constexpr size_t kLinearLimit = 8;

  static size_t BlockBytes(size_t capacity, size_t keysCapacity);
  static uint32_t Hash(std::u16string_view key);
  bool SameKey(const Entry& e, std::u16string_view key) const;
  void Grow(size_t members, size_t keyUnits);
  void RebuildIndex(size_t capacity);
  void IndexInsert(uint32_t entry, uint32_t hash);

  Entry* entries_ = nullptr;  // start of the one allocation
  char16_t* keys_ = nullptr;  // inside it, after the entries
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
  uint32_t keysUsed_ = 0;
  uint32_t keysCapacity_ = 0;
  uint32_t* index_ = nullptr;  // open addressing, entry number + 1, 0 when free
  uint32_t indexCapacity_ = 0;  // a power of two, or 0 without an index
};

}  // namespace VendraJSON
