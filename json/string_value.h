#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "json/value.h"

namespace VendraJSON {

class VSJArray;

// A JSON string: any UTF-16 code units, code unit 0 included. The text of a
// new string lives in the same allocation as the value.
class VSJString final : public VSJValue {
 public:
  // A new string of a copy of text, with one reference for the caller.
  static VSJString* Create(std::u16string_view text = {});
  // A string of the UTF-16 form of UTF-8 text (invalid bytes become U+FFFD).
  static VSJString* CreateUtf8(std::string_view utf8);
  // A string of ASCII text (every byte below 0x80), widened.
  static VSJString* CreateAscii(std::string_view ascii);

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeString; }
  bool ToString(std::u16string& out) const override;
  // The UTF-8 form of the text up to its first code unit 0.
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;
  // The pieces between separators, each piece before a separator even when
  // empty, the rest after the last one only when not empty. Always true.
  virtual bool Split(char16_t separator, VSJArray** out) const;
  // Replaces the text with the UTF-16 form of NUL-terminated UTF-8 text;
  // false, text unchanged, for an empty or null text.
  virtual bool SetUTF8(const char* utf8);

  // The text, valid until the string changes or goes.
  std::u16string_view Text() const { return {data_, size_}; }
  // Replaces the text with a copy of text.
  void SetText(std::u16string_view text);

 private:
  friend class VSJValue;

  explicit VSJString(std::u16string_view text);
  // ASCII bytes widened.
  explicit VSJString(std::string_view ascii);
  ~VSJString() override;

  bool OwnsHeapText() const { return data_ != InlineText(); }
  const char16_t* InlineText() const { return reinterpret_cast<const char16_t*>(this + 1); }

  char16_t* data_;
  size_t size_;
  size_t capacity_;
};

}  // namespace VendraJSON
