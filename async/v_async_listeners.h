#pragma once

#include <atomic>

#include "async/v_async_listener.h"

namespace VendraClient {

// A listener on the heap that destroys itself when its count goes from 1 to
// 0; a Release on a count of 0 answers 0 and frees nothing.
class VAsyncListenerCounted : public VAsyncListener {
 public:
  // Adds a reference; safe from any thread.
  int AddRef() override;
  // Drops a reference and destroys the listener with the last one.
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
  // A new listener with one reference for the caller.
  static VAsyncListener_InstallFile* Create() { return new VAsyncListener_InstallFile(); }

  // Nothing to hear.
  void OnStarted(VAsync*) override {}
  // Releases progress.
  void OnProgress(VAsync*, VendraJSON::VSJObject* progress) override;
  // Nothing to hear.
  void OnSucceeded(VAsync*, int32_t, const char16_t*) override {}
  // Nothing to hear: the build job's status tells.
  void OnFailed(VAsync*, int32_t, const char16_t*) override {}

 private:
  VAsyncListener_InstallFile() = default;
  ~VAsyncListener_InstallFile() override = default;
};

}  // namespace VendraClient
