#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "json/member_table.h"
#include "json/value.h"

namespace VendraJSON {

class VSJArray;
class VSJValueContainer;

// A JSON object. Members are found by exact key (code unit by code unit) and
// written in the order in which each key was first stored. Keys end at their
// first code unit 0.
class VSJObject final : public VSJValue {
 public:
  // A new empty object with one reference for the caller.
  static VSJObject* Create();

  // Copies members in ascending key order, whatever the source's key order.
  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeObject; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

  // Stores value (shared; null makes an empty holder). A key already present
  // keeps its place and gets the new value.
  void Set(std::u16string_view key, VSJValue* value);
  // Stores a new integer.
  void SetInteger(std::u16string_view key, int64_t value);
  // A string with a copy of text; a null when text is null.
  void SetString(std::u16string_view key, const char16_t* text);
  // A string with a copy of text.
  void SetString(std::u16string_view key, std::u16string_view text);
  // The same from UTF-8 text.
  void SetStringA(std::u16string_view key, const char* utf8);
  // A string of the UTF-16 form of utf8.
  void SetStringA(std::u16string_view key, std::string_view utf8);

  // True also when the member's holder is empty.
  bool Has(std::u16string_view key) const;
  // Hands out a reference; false when absent or empty.
  bool Get(std::u16string_view key, VSJValue** out) const;
  // The member's ToString / ToStringA result.
  bool GetString(std::u16string_view key, std::u16string& out) const;
  // GetString as UTF-8.
  bool GetStringA(std::u16string_view key, std::string& out) const;
  // Integers as they are, numbers truncated toward zero (saturating); any
  // other type is false.
  bool GetInteger(std::u16string_view key, int64_t& out) const;
  // Integers by their low 32 bits, numbers truncated toward zero first.
  bool GetUInt(std::u16string_view key, uint32_t& out) const;
  // Hands out a reference to the member when it is an object; false
  // otherwise.
  bool GetObject(std::u16string_view key, VSJObject** out) const;
  // Hands out a reference to the member when it is an array; false
  // otherwise.
  bool GetArray(std::u16string_view key, VSJArray** out) const;

  // Writes the object as a pretty UTF-8 file, replacing any file at path
  // only once the new text is complete on disk. errorCode: 0, 13 when the
  // target cannot be written, 2 when its folder is missing, another C error
  // number for other failures.
  bool SaveFile(int& errorCode, std::u16string_view path) const;

  // Members in key order, for readers and writers.
  size_t Count() const { return members_.Count(); }
  // The key of member i (below Count).
  std::u16string_view KeyAt(size_t i) const { return members_.KeyAt(i); }
  // The holder of member i, without a reference for the caller.
  VSJValueContainer* HolderAt(size_t i) const { return members_.HolderAt(i); }
  // The holder of key, or null.
  VSJValueContainer* FindHolder(std::u16string_view key) const;

  // Makes room for members and key code units about to be stored.
  void Reserve(size_t members, size_t keyUnits) { members_.Reserve(members, keyUnits); }
  // Stores value, taking over the caller's reference to it.
  void SetAdopted(std::u16string_view key, VSJValue* value);
  // The same for a key known to hold no code unit 0.
  void AdoptMember(std::u16string_view key, VSJValue* value);

 private:
  friend class VSJValue;

  VSJObject() : VSJValue(kTypeObject) {}
  ~VSJObject() override;

  MemberTable members_;
};

}  // namespace VendraJSON
