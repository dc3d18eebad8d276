#pragma once

#include "json/value.h"

namespace VendraJSON {

// A JSON number with a fraction or exponent: a 64-bit IEEE double, written
// with six decimals and its trailing zeros shortened (1.50, 2.0).
class VSJNumber final : public VSJValue {
 public:
  // A new number with one reference for the caller.
  static VSJNumber* Create(double value);

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeNumber; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  // Against numbers, integers and (without kCompareSameClass) strings read
  // as numbers.
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

  // The number.
  double Value() const { return value_; }

 private:
  friend class VSJValue;

  explicit VSJNumber(double value) : VSJValue(kTypeNumber), value_(value) {}

  double value_;
};

}  // namespace VendraJSON
