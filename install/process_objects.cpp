#include "install/process_objects.h"

#include "client/session_lock.h"

namespace VendraClient {

ProcessObjects::ProcessObjects(IVClientWindows* windows, IVClientCrashReports* crashReports)
    : sessionLock_(VendraClient::SessionLock()) {
  client_.SetWindows(windows);
  client_.SetCrashReports(crashReports);
}

}  // namespace VendraClient
