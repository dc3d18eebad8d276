#include "client/connection_pool.h"

#include <curl/curl.h>

namespace VendraClient {

namespace {

// More transfers than this are never in flight at once; a handle beyond
// them would only hold a connection open for nothing.
constexpr size_t kMostIdleHandles = 4;

}  // namespace

ConnectionPool::~ConnectionPool() {
  for (Handle handle : idle_) curl_easy_cleanup(handle);
}

ConnectionPool::Handle ConnectionPool::Take() {
  {
    std::lock_guard<std::mutex> locked(guard_);
    if (!idle_.empty()) {
      Handle handle = idle_.back();
      idle_.pop_back();
      return handle;
    }
  }
  return curl_easy_init();
}

void ConnectionPool::Give(Handle handle) {
  if (!handle) return;
  // Options (the form, the error buffer, the writer) point into the
  // transfer that is ending; the connection cache survives the reset.
  curl_easy_reset(handle);
  {
    std::lock_guard<std::mutex> locked(guard_);
    if (idle_.size() < kMostIdleHandles) {
      idle_.push_back(handle);
      return;
    }
  }
  curl_easy_cleanup(handle);
}

}  // namespace VendraClient
