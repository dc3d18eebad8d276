#include "async/v_async_listeners.h"

#include "json/object.h"

namespace VendraClient {

int VAsyncListenerCounted::AddRef() { return references_.fetch_add(1) + 1; }

int VAsyncListenerCounted::Release() {
  int count = references_.load();
  while (count > 0 && !references_.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) return 0;
  if (count == 1) delete this;
  return count - 1;
}

// The progress object's reference comes with the call.
void VAsyncListener_InstallFile::OnProgress(VAsync*, VendraJSON::VSJObject* progress) {
  if (progress) progress->Release();
}

}  // namespace VendraClient
