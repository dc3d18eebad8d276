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
  // Makes the clients, then the session lock, and hands windows and
  // crashReports (either may be null: the operations that would show them
  // answer NotSupported) to the service client.
  explicit ProcessObjects(IVClientWindows* windows = nullptr,
                          IVClientCrashReports* crashReports = nullptr);
  ProcessObjects(const ProcessObjects&) = delete;
  ProcessObjects& operator=(const ProcessObjects&) = delete;

  // The process's service client.
  VClient& Client() { return client_; }
  // The process's build client.
  VBuildClient& BuildClient() { return buildClient_; }
  // The session lock every program of the vendor takes around the stored
  // session.
  NamedMutexLock& SessionLock() { return sessionLock_; }

 private:
  VClient client_;
  VBuildClient buildClient_;
  NamedMutexLock& sessionLock_;
};

}  // namespace VendraClient
