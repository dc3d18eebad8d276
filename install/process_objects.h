#pragma once

#include "client/client_windows.h"
#include "client/named_mutex_lock.h"
#include "client/v_client.h"
#include "install/v_build_client.h"

namespace VendraClient {

// The objects a program of the vendor keeps for its whole run, made in the
// order they depend on each other: the service client, the build client, then
// the session lock. Make one holder early in main (after the windows it is
// given, which must outlive it) and pass its clients to the code that needs
// them; they go, in reverse order, with the holder, so every job made through
// them must have ended first. Without windows, the operations that would show
// one answer NotSupported with a text naming the window.
class ProcessObjects {
 public:
  explicit ProcessObjects(IVClientWindows* windows = nullptr,
                          IVClientCrashReports* crashReports = nullptr);
  ProcessObjects(const ProcessObjects&) = delete;
  ProcessObjects& operator=(const ProcessObjects&) = delete;

  VClient& Client() { return client_; }
  VBuildClient& BuildClient() { return buildClient_; }
  NamedMutexLock& SessionLock() { return sessionLock_; }

 private:
  VClient client_;
  VBuildClient buildClient_;
  NamedMutexLock& sessionLock_;
};

}  // namespace VendraClient
