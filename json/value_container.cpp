#include "json/value_container.h"

#include <new>

#include "json/block_pool.h"
#include "json/value.h"

namespace VendraJSON {

VSJValueContainer* VSJValueContainer::Create(VSJValue* value) {
  if (value) value->AddRef();
  return Adopt(value);
}

VSJValueContainer* VSJValueContainer::Adopt(VSJValue* value) {
  return new (BlockPool::Allocate(sizeof(VSJValueContainer))) VSJValueContainer(value);
}

VSJValueContainer::~VSJValueContainer() {
  if (value_) value_->Release();
}

void VSJValueContainer::Reserved() {}

int VSJValueContainer::GetType() const { return value_ ? value_->GetType() : 0; }

const char* VSJValueContainer::GetTypeNameA() const {
  return value_ ? value_->GetTypeNameA() : nullptr;
}

const char16_t* VSJValueContainer::GetTypeName() const {
  return value_ ? value_->GetTypeName() : nullptr;
}

bool VSJValueContainer::Clone(VSJValue** out) const { return value_ && value_->Clone(out); }

void VSJValueContainer::Delete() {
  OnDelete();
  this->~VSJValueContainer();
  BlockPool::Free(this, sizeof(VSJValueContainer));
}

void VSJValueContainer::OnDelete() {}

int VSJValueContainer::AddRef() { return ++refs_; }

int VSJValueContainer::Release() {
  if (refs_ == 0) return 0;
  if (--refs_ == 0) {
    Delete();
    return 0;
  }
  return refs_;
}

bool VSJValueContainer::ToString(std::u16string& out) const {
  return value_ && value_->ToString(out);
}

bool VSJValueContainer::ToStringA(std::string& out) const {
  return value_ && value_->ToStringA(out);
}

bool VSJValueContainer::WriteJSON(std::u16string& out, bool pretty, unsigned level,
                                  std::u16string_view newline) const {
  return value_ && value_->WriteJSON(out, pretty, level, newline);
}

bool VSJValueContainer::WriteJSONA(std::string& out, bool pretty, unsigned level,
                                   std::string_view newline) const {
  return value_ && value_->WriteJSONA(out, pretty, level, newline);
}

bool VSJValueContainer::GetValue(VSJValue** out) const {
  if (!value_) return false;
  value_->AddRef();
  *out = value_;
  return true;
}

void VSJValueContainer::SetValue(VSJValue* value) {
  if (value) value->AddRef();
  VSJValue* old = value_;
  if (old) old->Release();
  value_ = value;
}

bool VSJValueContainer::Compare(const VSJValue* other, int flags, int& result) const {
  return value_ && value_->Compare(other, flags, result);
}

bool VSJValueContainer::Equals(const VSJValue* other) const {
  return value_ && value_->Equals(other);
}

bool VSJValueContainer::EqualsLoose(const VSJValue* other) const {
  return value_ && value_->EqualsLoose(other);
}

}  // namespace VendraJSON
