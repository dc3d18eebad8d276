#pragma once

#include <atomic>

#include "async/v_async_listener.h"

namespace VendraClient {

// A listener on the heap that destroys itself when its count goes from 1 to
// 0; a Release on a count of 0 answers 0 and frees nothing.
class VAsyncListenerCounted : public VAsyncListener {
 public:
  int AddRef() override;
  int Release() override;

 protected:
  VAsyncListenerCounted() = default;
  ~VAsyncListenerCounted() override = default;

 private:
  std::atomic<int> references_{1};
};

// The listener each file of a build install gets: it hears nothing.
class VAsyncListener_InstallFile final : public VAsyncListenerCounted {
 public:
  static VAsyncListener_InstallFile* Create() { return new VAsyncListener_InstallFile(); }

  void OnStarted(VAsync*) override {}
  void OnProgress(VAsync*, VendraJSON::VSJObject* progress) override;
  void OnSucceeded(VAsync*, int32_t, const char16_t*) override {}
  void OnFailed(VAsync*, int32_t, const char16_t*) override {}

 private:
  VAsyncListener_InstallFile() = default;
  ~VAsyncListener_InstallFile() override = default;
};

}  // namespace VendraClient
