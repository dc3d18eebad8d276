#include "json/integer.h"

#include "json/number.h"
#include "json/number_text.h"
#include "json/string_value.h"
#include "json/writer.h"

namespace VendraJSON {

VSJInteger* VSJInteger::Create(int64_t value) { return Make<VSJInteger>(0, value); }

bool VSJInteger::Clone(VSJValue** out) const {
  *out = Create(value_);
  return true;
}

bool VSJInteger::ToString(std::u16string& out) const {
  char text[24];
  const size_t length = FormatIntegerText(value_, text);
  out.assign(text, text + length);
  return true;
}

bool VSJInteger::ToStringA(std::string& out) const {
  char text[24];
  out.assign(text, FormatIntegerText(value_, text));
  return true;
}

bool VSJInteger::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                           std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJInteger::WriteJSONA(std::string& out, bool pretty, unsigned level,
                            std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJInteger::Compare(const VSJValue* other, int flags, int& result) const {
  if (!other) return false;
  int64_t o = 0;
  const bool sameClassOnly = (flags & kCompareSameClass) != 0;
  switch (other->Kind()) {
    case kTypeInteger:
      o = static_cast<const VSJInteger*>(other)->Value();
      break;
    case kTypeNumber:
      if (sameClassOnly) return false;
      o = TruncateToInt64(static_cast<const VSJNumber*>(other)->Value());
      break;
    case kTypeString:
      if (sameClassOnly) return false;
      o = ReadInt64(static_cast<const VSJString*>(other)->Text());
      break;
    default:
      return false;
  }
  result = value_ < o ? -1 : (value_ == o ? 0 : 1);
  return true;
}

bool VSJInteger::Equals(const VSJValue* other) const {
  if (!other) return false;
  if (other->Kind() == kTypeInteger)
    return static_cast<double>(static_cast<const VSJInteger*>(other)->Value()) ==
           static_cast<double>(value_);
  if (other->Kind() == kTypeNumber)
    return static_cast<const VSJNumber*>(other)->Value() == static_cast<double>(value_);
  return false;
}

bool VSJInteger::EqualsLoose(const VSJValue* other) const {
  if (Equals(other)) return true;
  return other && other->Kind() == kTypeString &&
         ReadInt64(static_cast<const VSJString*>(other)->Text()) == value_;
}

}  // namespace VendraJSON
