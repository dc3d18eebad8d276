#include "json/array.h"

#include "common/text/utf.h"
#include "json/value_container.h"
#include "json/writer.h"

namespace VendraJSON {

VSJArray* VSJArray::Create() { return Make<VSJArray>(0); }

VSJArray::~VSJArray() {
  for (VSJValueContainer* holder : elements_) holder->Release();
}

bool VSJArray::Clone(VSJValue** out) const {
  VSJArray* copy = Create();
  copy->Reserve(elements_.size());
  for (const VSJValueContainer* holder : elements_) {
    VSJValue* cloned = nullptr;
    holder->Clone(&cloned);
    copy->AppendAdopted(cloned);
  }
  *out = copy;
  return true;
}

bool VSJArray::ToString(std::u16string& out) const {
  AppendJSON(out, *this, false, 0, u"");
  return true;
}

bool VSJArray::ToStringA(std::string& out) const {
  std::u16string text;
  AppendJSON(text, *this, false, 0, u"");
  out = VendraText::Utf16ToUtf8(text);
  return true;
}

bool VSJArray::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                         std::u16string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJArray::WriteJSONA(std::string& out, bool pretty, unsigned level,
                          std::string_view newline) const {
  AppendJSON(out, *this, pretty, level, newline);
  return true;
}

bool VSJArray::Compare(const VSJValue*, int, int&) const { return false; }
bool VSJArray::Equals(const VSJValue*) const { return false; }
bool VSJArray::EqualsLoose(const VSJValue*) const { return false; }

size_t VSJArray::Append(VSJValue* value) {
  elements_.push_back(VSJValueContainer::Create(value));
  return elements_.size();
}

size_t VSJArray::AppendAdopted(VSJValue* value) {
  elements_.push_back(VSJValueContainer::Adopt(value));
  return elements_.size();
}

}  // namespace VendraJSON
