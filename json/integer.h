#pragma once

#include <cstdint>

#include "json/value.h"

namespace VendraJSON {

// A JSON number without fraction or exponent: a signed 64-bit integer.
class VSJInteger final : public VSJValue {
 public:
  // A new integer with one reference for the caller.
  static VSJInteger* Create(int64_t value);

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeInteger; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  // Against integers, numbers (truncated toward zero) and, without
  // kCompareSameClass, strings read as decimal integers.
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

  // The integer.
  int64_t Value() const { return value_; }

 private:
  friend class VSJValue;

  explicit VSJInteger(int64_t value) : VSJValue(kTypeInteger), value_(value) {}

  int64_t value_;
};

}  // namespace VendraJSON
