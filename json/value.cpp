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

int VSJValue::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

int VSJValue::Release() {
  int32_t count = refs_.load(std::memory_order_relaxed);
  // A count already at 0 stays there: a surplus Release frees nothing.
  do {
    if (count == 0) return 0;
  } while (!refs_.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel,
                                        std::memory_order_relaxed));
  if (count == 1) {
    Delete();
    return 0;
  }
  return count - 1;
}

}  // namespace VendraJSON
