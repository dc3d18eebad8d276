#pragma once

#include <string>

#include "client/iv_client.h"

namespace VendraClient {

// The windows the client's sign-in operations open and the crash report
// window its crash operations show. They belong to the layers above the
// client: a program that links them hands them to its client at start, and
// a client without them answers NotSupported with a text naming the window.
class IVClientWindows {
 public:
  virtual ~IVClientWindows() = default;
  // Shows the Login window modally for client and signs in with what the
  // person enters; blocks until the window closes. LoginCancelled when
  // cancelled.
  virtual eVClientResult ShowLoginWindow(IVClient& client, std::u16string& error) = 0;
  // Shows the Device Authorisation window modally for client and authorises
  // the device with the code entered; blocks until the window closes.
  // Cancelled when cancelled.
  virtual eVClientResult ShowDeviceAuthorizationWindow(IVClient& client,
                                                       std::u16string& error) = 0;
};

// What the client's crash operations show the Crash Report window with and
// hand the report over with.
class IVClientCrashReports {
 public:
  virtual ~IVClientCrashReports() = default;
  // Shows report and hands it to the crash reporter program.
  virtual eVClientResult ReportCrash(IVClient& client, VendraJSON::VSJObject* report,
                                     std::u16string& error) = 0;
};

}  // namespace VendraClient
