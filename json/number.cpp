#include "json/number.h"

#include "json/integer.h"
#include "json/number_text.h"
#include "json/string_value.h"
#include "json/writer.h"

namespace VendraJSON {
namespace {

// The other value as a double, when it can stand for one.
bool OtherAsDouble(const VSJValue* other, bool sameClassOnly, double& out) {
  if (!other) return false;
  switch (other->Kind()) {
    case kTypeNumber:
      out = static_cast<const VSJNumber*>(other)->Value();
      return true;
    case kTypeInteger:
      if (sameClassOnly) return false;
      out = static_cast<double>(static_cast<const VSJInteger*>(other)->Value());
      return true;
    case kTypeString:
      if (sameClassOnly) return false;
      out = ReadDouble(static_cast<const VSJString*>(other)->Text());
      return true;
    default:
      return false;
  }
}

}  // namespace

VSJNumber* VSJNumber::Create(double value) { return Make<VSJNumber>(0, value); }

bool VSJNumber::Clone(VSJValue** out) const {
  *out = Create(value_);
  return true;
}

bool VSJNumber::ToString(std::u16string& out) const {
  char text[kNumberTextMax];
  const size_t length = FormatNumberText(value_, text);
  out.assign(text, text + length);
  return true;
}

bool VSJNumber::ToStringA(std::string& out) const {
  char text[kNumberTextMax];
  out.assign(text, FormatNumberText(value_, text));
  return true;
}

bool VSJNumber::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                          std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJNumber::WriteJSONA(std::string& out, bool pretty, unsigned level,
                           std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJNumber::Compare(const VSJValue* other, int flags, int& result) const {
  double o = 0;
  if (!OtherAsDouble(other, (flags & kCompareSameClass) != 0, o)) return false;
  result = value_ < o ? -1 : (value_ == o ? 0 : 1);
  return true;
}

bool VSJNumber::Equals(const VSJValue* other) const {
  if (!other || other->Kind() == kTypeString) return false;
  double o = 0;
  return OtherAsDouble(other, false, o) && o == value_;
}

bool VSJNumber::EqualsLoose(const VSJValue* other) const {
  double o = 0;
  return OtherAsDouble(other, false, o) && o == value_;
}

}  // namespace VendraJSON
