#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace VendraJSON {

class VSJValue;

// The holder of one member of an object or one element of an array. It owns
// one reference to its value, which may be null (an empty holder). The value
// operations forward to the held value; an empty holder answers type code 0,
// null text or false.
class VSJValueContainer {
 protected:
  virtual ~VSJValueContainer();

 public:
  // A new holder (one reference) that takes its own reference to value.
  static VSJValueContainer* Create(VSJValue* value);
  // A new holder that takes over the caller's reference to value.
  static VSJValueContainer* Adopt(VSJValue* value);

  VSJValueContainer(const VSJValueContainer&) = delete;
  VSJValueContainer& operator=(const VSJValueContainer&) = delete;

  // Holds a place in the table of operations; does nothing.
  virtual void Reserved();
  // The held value's type code; 0 when empty.
  virtual int GetType() const;
  // The held value's type name; null when empty.
  virtual const char* GetTypeNameA() const;
  // The held value's type name as wide text; null when empty.
  virtual const char16_t* GetTypeName() const;
  // A clone of the held value, not of the holder.
  virtual bool Clone(VSJValue** out) const;
  // Calls OnDelete, then destroys the holder and releases its value.
  virtual void Delete();
  // Called by Delete just before the holder goes; does nothing here.
  virtual void OnDelete();
  // Adds a reference to the holder; answers the new count.
  virtual int AddRef();
  // Drops a reference to the holder, deleting it with the last one.
  virtual int Release();
  // The held value's ToString; false when empty.
  virtual bool ToString(std::u16string& out) const;
  // The held value's ToStringA; false when empty.
  virtual bool ToStringA(std::string& out) const;
  // The held value's WriteJSON; false when empty.
  virtual bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                         std::u16string_view newline) const;
  // The held value's WriteJSONA; false when empty.
  virtual bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                          std::string_view newline) const;
  // Hands out a reference to the held value; false when empty.
  virtual bool GetValue(VSJValue** out) const;
  // Holds value (null allowed), sharing it, and releases the old one.
  virtual void SetValue(VSJValue* value);
  // The held value's Compare; false when empty.
  virtual bool Compare(const VSJValue* other, int flags, int& result) const;
  // The held value's Equals; false when empty.
  virtual bool Equals(const VSJValue* other) const;
  // The held value's EqualsLoose; false when empty.
  virtual bool EqualsLoose(const VSJValue* other) const;

  // The held value without a reference of its own (valid while the holder
  // holds it), or null.
  VSJValue* Value() const { return value_; }

 private:
  explicit VSJValueContainer(VSJValue* adopted) : value_(adopted) {}

  int32_t refs_ = 1;
  VSJValue* value_;
};

}  // namespace VendraJSON
