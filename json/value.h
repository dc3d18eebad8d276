#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "json/block_pool.h"
#include "json/type_names.h"

// The JSON library: counted values, the parser and the writers.
namespace VendraJSON {

// Flags of Compare.
constexpr int kCompareSameClass = 1;      // only a value of the same class is comparable
constexpr int kCompareCaseSensitive = 2;  // strings compare code unit by code unit

// A reference-counted JSON value. A new value has one reference, owned by its
// creator; Release of the last reference destroys it. The count is a plain
// integer: a tree must not be changed or released by two threads at once.
//
// The classes are final and made through their static Create functions, so a
// value only ever ends through Release.
class VSJValue {
 protected:
  virtual ~VSJValue() = default;

 public:
  VSJValue(const VSJValue&) = delete;
  VSJValue& operator=(const VSJValue&) = delete;

  // Holds a place in the table of operations; does nothing.
  virtual void Reserved();
  // Deep copy with one reference; always true.
  virtual bool Clone(VSJValue** out) const = 0;
  // The type code (kTypeNull ... kTypeInteger, json/type_names.h).
  virtual int GetType() const = 0;
  // The type's name ("object", "string", ...) as narrow text.
  virtual const char* GetTypeNameA() const;
  // The type's name as wide text.
  virtual const char16_t* GetTypeName() const;
  // Calls OnDelete, then destroys and frees the value.
  virtual void Delete();
  // Called by Delete just before the value goes; does nothing here.
  virtual void OnDelete();
  // Adds a reference; answers the new count.
  virtual int AddRef();
  // Does nothing and answers 0 when the count is already 0.
  virtual int Release();
  // Text form: strings give their text, numbers and literals their JSON
  // text, objects and arrays append their compact JSON text; null is false.
  virtual bool ToString(std::u16string& out) const = 0;
  // ToString as UTF-8.
  virtual bool ToStringA(std::string& out) const = 0;
  // Appends the JSON text (UTF-8 for WriteJSONA); always true.
  virtual bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                         std::u16string_view newline) const = 0;
  // WriteJSON as UTF-8.
  virtual bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                          std::string_view newline) const = 0;
  // Three-way comparison into result; false (result untouched) when the
  // other value is not comparable with this one.
  virtual bool Compare(const VSJValue* other, int flags, int& result) const = 0;
  // Whether other is a value of the same type and content.
  virtual bool Equals(const VSJValue* other) const = 0;
  // Like Equals, but a string may stand for a number or any value's text.
  virtual bool EqualsLoose(const VSJValue* other) const = 0;

  // The type code without a virtual call; equal to GetType().
  int Kind() const { return kind_; }
  // The reference count, for checks and tests only: another thread may
  // change it at once.
  int RefCount() const { return refs_.load(std::memory_order_relaxed); }

 protected:
  // A value of the type code kind, with one reference.
  explicit VSJValue(int kind) : kind_(static_cast<uint8_t>(kind)) {}

  // Makes a T (a friend of VSJValue) in a pooled block with extraBytes after
  // the object itself.
  template <typename T, typename... Args>
  static T* Make(size_t extraBytes, Args&&... args) {
    const size_t bytes = sizeof(T) + extraBytes;
    T* value = new (BlockPool::Allocate(bytes)) T(std::forward<Args>(args)...);
    value->blockBytes_ = bytes <= BlockPool::kLargestPooled ? static_cast<uint16_t>(bytes) : 0;
    return value;
  }

 private:
  // Jobs hand values to worker threads, and either thread may drop the last
  // reference, so the count changes atomically.
  std::atomic<int32_t> refs_{1};
  uint8_t kind_;
  uint16_t blockBytes_ = 0;  // size of the block, 0 for a large one
};

}  // namespace VendraJSON
