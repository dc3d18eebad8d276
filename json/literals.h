#pragma once

#include "json/value.h"

namespace VendraJSON {

// true. Compares with true (0) and false (1).
class VSJTrue final : public VSJValue {
 public:
  // A new value with one reference for the caller.
  static VSJTrue* Create();

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeTrue; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

 private:
  friend class VSJValue;

  VSJTrue() : VSJValue(kTypeTrue) {}
};

// false. Compares with true (-1) and false (0).
class VSJFalse final : public VSJValue {
 public:
  // A new value with one reference for the caller.
  static VSJFalse* Create();

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeFalse; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

 private:
  friend class VSJValue;

  VSJFalse() : VSJValue(kTypeFalse) {}
};

// null. Has no text form; compares with any value (0 with null, else -1).
class VSJNull final : public VSJValue {
 public:
  // A new value with one reference for the caller.
  static VSJNull* Create();

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeNull; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

 private:
  friend class VSJValue;

  VSJNull() : VSJValue(kTypeNull) {}
};

}  // namespace VendraJSON
