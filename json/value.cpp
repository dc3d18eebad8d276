#include "json/value.h"


namespace VendraJSON {

void VSJValue::Reserved() {}

const char* VSJValue::GetTypeNameA() const { return TypeNameA(GetType()); }

const char16_t* VSJValue::GetTypeName() const { return TypeName(GetType()); }

void VSJValue::Delete() {
  OnDelete();
  const size_t bytes = blockBytes_ ? blockBytes_ : BlockPool::kLargestPooled + 1;
  this->~VSJValue();
  BlockPool::Free(this, bytes);
}

void VSJValue::OnDelete() {}

int VSJValue::AddRef() { return ++refs_; }

int VSJValue::Release() {
  if (refs_ == 0) return 0;
  if (--refs_ == 0) {
    Delete();
    return 0;
  }
  return refs_;
}

}  // namespace VendraJSON
