#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "json/value.h"

namespace VendraJSON {

class VSJValueContainer;

// A JSON array: holders in order, growing only at the end. Readers walk the
// holders directly (Count, At, or a range-for) and ask each for its type.
class VSJArray final : public VSJValue {
 public:
  // A new empty array with one reference for the caller.
  static VSJArray* Create();

  bool Clone(VSJValue** out) const override;
  int GetType() const override { return kTypeArray; }
  bool ToString(std::u16string& out) const override;
  bool ToStringA(std::string& out) const override;
  bool WriteJSON(std::u16string& out, bool pretty, unsigned level,
                 std::u16string_view newline) const override;
  bool WriteJSONA(std::string& out, bool pretty, unsigned level,
                  std::string_view newline) const override;
  bool Compare(const VSJValue* other, int flags, int& result) const override;
  bool Equals(const VSJValue* other) const override;
  bool EqualsLoose(const VSJValue* other) const override;

  // Adds a holder sharing value (null allowed); returns the new count.
  size_t Append(VSJValue* value);
  // The same, taking over the caller's reference to value.
  size_t AppendAdopted(VSJValue* value);
  // Makes room for count holders in all.
  void Reserve(size_t count) { elements_.reserve(count); }

  // The number of holders.
  size_t Count() const { return elements_.size(); }
  // The holder at i (below Count), without a reference for the caller.
  VSJValueContainer* At(size_t i) const { return elements_[i]; }
  // The holders in order, without references for the caller.
  const std::vector<VSJValueContainer*>& Elements() const { return elements_; }
  // The first holder, for a range-for.
  auto begin() const { return elements_.begin(); }
  // Past the last holder.
  auto end() const { return elements_.end(); }

 private:
  friend class VSJValue;

  VSJArray() : VSJValue(kTypeArray) {}
  ~VSJArray() override;

  std::vector<VSJValueContainer*> elements_;
};

}  // namespace VendraJSON
