#include "json/literals.h"

#include "json/writer.h"

namespace VendraJSON {

VSJTrue* VSJTrue::Create() { return Make<VSJTrue>(0); }
VSJFalse* VSJFalse::Create() { return Make<VSJFalse>(0); }
VSJNull* VSJNull::Create() { return Make<VSJNull>(0); }

bool VSJTrue::Clone(VSJValue** out) const {
  *out = Create();
  return true;
}
bool VSJFalse::Clone(VSJValue** out) const {
  *out = Create();
  return true;
}
bool VSJNull::Clone(VSJValue** out) const {
  *out = Create();
  return true;
}

bool VSJTrue::ToString(std::u16string& out) const {
  out = u"true";
  return true;
}
bool VSJTrue::ToStringA(std::string& out) const {
  out = "true";
  return true;
}
bool VSJFalse::ToString(std::u16string& out) const {
  out = u"false";
  return true;
}
bool VSJFalse::ToStringA(std::string& out) const {
  out = "false";
  return true;
}
bool VSJNull::ToString(std::u16string&) const { return false; }
bool VSJNull::ToStringA(std::string&) const { return false; }

bool VSJTrue::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                        std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}
bool VSJTrue::WriteJSONA(std::string& out, bool pretty, unsigned level,
                         std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}
bool VSJFalse::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                         std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}
bool VSJFalse::WriteJSONA(std::string& out, bool pretty, unsigned level,
                          std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}
bool VSJNull::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                        std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}
bool VSJNull::WriteJSONA(std::string& out, bool pretty, unsigned level,
                         std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

// Flags do not matter to literals.
bool VSJTrue::Compare(const VSJValue* other, int, int& result) const {
  if (!other || (other->Kind() != kTypeTrue && other->Kind() != kTypeFalse)) return false;
  result = other->Kind() == kTypeTrue ? 0 : 1;
  return true;
}
bool VSJFalse::Compare(const VSJValue* other, int, int& result) const {
  if (!other || (other->Kind() != kTypeTrue && other->Kind() != kTypeFalse)) return false;
  result = other->Kind() == kTypeTrue ? -1 : 0;
  return true;
}
bool VSJNull::Compare(const VSJValue* other, int, int& result) const {
  if (!other) return false;
  result = other->Kind() == kTypeNull ? 0 : -1;
  return true;
}

bool VSJTrue::Equals(const VSJValue* other) const { return other && other->Kind() == kTypeTrue; }
bool VSJFalse::Equals(const VSJValue* other) const { return other && other->Kind() == kTypeFalse; }
bool VSJNull::Equals(const VSJValue* other) const { return other && other->Kind() == kTypeNull; }
bool VSJTrue::EqualsLoose(const VSJValue* other) const { return Equals(other); }
bool VSJFalse::EqualsLoose(const VSJValue* other) const { return Equals(other); }
bool VSJNull::EqualsLoose(const VSJValue* other) const { return Equals(other); }

}  // namespace VendraJSON
