#include "json/object.h"

#include "common/text/utf.h"
#include "json/array.h"
#include "json/integer.h"
#include "json/literals.h"
#include "json/number.h"
#include "json/number_text.h"
#include "json/string_value.h"
#include "json/value_container.h"
#include "json/writer.h"

namespace VendraJSON {
namespace {

// Keys are NUL-terminated texts: nothing after a code unit 0 belongs to one.
std::u16string_view KeyPart(std::u16string_view key) {
  const size_t zero = key.find(u'\0');
  return zero == std::u16string_view::npos ? key : key.substr(0, zero);
}

}  // namespace

VSJObject* VSJObject::Create() { return Make<VSJObject>(0); }

VSJObject::~VSJObject() {
  for (size_t i = 0; i < members_.Count(); ++i) members_.HolderAt(i)->Release();
}

bool VSJObject::Clone(VSJValue** out) const {
  VSJObject* copy = Create();
  copy->Reserve(Count(), 0);
  for (uint32_t i : members_.SortedIndexes()) {
    VSJValue* cloned = nullptr;
    members_.HolderAt(i)->Clone(&cloned);
    copy->SetAdopted(members_.KeyAt(i), cloned);
  }
  *out = copy;
  return true;
}

bool VSJObject::ToString(std::u16string& out) const {
  AppendJSON(out, *this, false, 0, u"");
  return true;
}

bool VSJObject::ToStringA(std::string& out) const {
  std::u16string text;
  AppendJSON(text, *this, false, 0, u"");
  out = VendraText::Utf16ToUtf8(text);
  return true;
}

bool VSJObject::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                          std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJObject::WriteJSONA(std::string& out, bool pretty, unsigned level,
                           std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJObject::Compare(const VSJValue*, int, int&) const { return false; }
bool VSJObject::Equals(const VSJValue*) const { return false; }
bool VSJObject::EqualsLoose(const VSJValue*) const { return false; }

VSJValueContainer* VSJObject::FindHolder(std::u16string_view key) const {
  const size_t i = members_.Find(KeyPart(key));
  return i == MemberTable::kNotFound ? nullptr : members_.HolderAt(i);
}

void VSJObject::Set(std::u16string_view key, VSJValue* value) {
  if (value) value->AddRef();
  SetAdopted(key, value);
}

void VSJObject::SetAdopted(std::u16string_view key, VSJValue* value) {
  AdoptMember(KeyPart(key), value);
}

void VSJObject::AdoptMember(std::u16string_view key, VSJValue* value) {
  const size_t i = members_.Find(key);
  if (i != MemberTable::kNotFound) {
    VSJValueContainer* holder = members_.HolderAt(i);
    holder->SetValue(value);
    if (value) value->Release();
    return;
  }
  members_.Append(key, VSJValueContainer::Adopt(value));
}

void VSJObject::SetInteger(std::u16string_view key, int64_t value) {
  SetAdopted(key, VSJInteger::Create(value));
}

void VSJObject::SetString(std::u16string_view key, const char16_t* text) {
  if (!text) {
    SetAdopted(key, VSJNull::Create());
    return;
  }
  SetAdopted(key, VSJString::Create(text));
}

void VSJObject::SetString(std::u16string_view key, std::u16string_view text) {
  SetAdopted(key, VSJString::Create(text));
}

void VSJObject::SetStringA(std::u16string_view key, const char* utf8) {
  if (!utf8) {
    SetAdopted(key, VSJNull::Create());
    return;
  }
  SetStringA(key, std::string_view(utf8));
}

void VSJObject::SetStringA(std::u16string_view key, std::string_view utf8) {
  SetAdopted(key, VSJString::Create(VendraText::Utf8ToUtf16(utf8)));
}

bool VSJObject::Has(std::u16string_view key) const { return FindHolder(key) != nullptr; }

bool VSJObject::Get(std::u16string_view key, VSJValue** out) const {
  const VSJValueContainer* holder = FindHolder(key);
  return holder && holder->GetValue(out);
}

bool VSJObject::GetString(std::u16string_view key, std::u16string& out) const {
  const VSJValueContainer* holder = FindHolder(key);
  const VSJValue* value = holder ? holder->Value() : nullptr;
  return value && value->ToString(out);
}

bool VSJObject::GetStringA(std::u16string_view key, std::string& out) const {
  const VSJValueContainer* holder = FindHolder(key);
  const VSJValue* value = holder ? holder->Value() : nullptr;
  return value && value->ToStringA(out);
}

bool VSJObject::GetInteger(std::u16string_view key, int64_t& out) const {
  const VSJValueContainer* holder = FindHolder(key);
  const VSJValue* value = holder ? holder->Value() : nullptr;
  if (!value) return false;
  if (value->Kind() == kTypeInteger) {
    out = static_cast<const VSJInteger*>(value)->Value();
    return true;
  }
  if (value->Kind() == kTypeNumber) {
    out = TruncateToInt64(static_cast<const VSJNumber*>(value)->Value());
    return true;
  }
  return false;
}

bool VSJObject::GetUInt(std::u16string_view key, uint32_t& out) const {
  int64_t wide = 0;
  if (!GetInteger(key, wide)) return false;
  out = static_cast<uint32_t>(static_cast<uint64_t>(wide));
  return true;
}

bool VSJObject::GetObject(std::u16string_view key, VSJObject** out) const {
  const VSJValueContainer* holder = FindHolder(key);
  VSJValue* value = holder ? holder->Value() : nullptr;
  if (!value || value->Kind() != kTypeObject) return false;
  value->AddRef();
  *out = static_cast<VSJObject*>(value);
  return true;
}

bool VSJObject::GetArray(std::u16string_view key, VSJArray** out) const {
  const VSJValueContainer* holder = FindHolder(key);
  VSJValue* value = holder ? holder->Value() : nullptr;
  if (!value || value->Kind() != kTypeArray) return false;
  value->AddRef();
  *out = static_cast<VSJArray*>(value);
  return true;
}

}  // namespace VendraJSON
