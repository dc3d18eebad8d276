#pragma once

#include <string>

#include "client/client_windows.h"
#include "client/iv_client.h"
#include "json/object.h"
#include "ui/crash_report_window.h"

// Crash reports: the Crash Report window's sequence and the hand-over to
// the crash reporter program.
namespace VendraCrash {

// What a crash report is shown and handed over with.
struct CrashReportServices {
  VendraUi::IDialogBackend& backend;  // draws the window
  VendraUi::CrashWindowState& state;  // receives the window's outcome
};

// Shows report in the Crash Report window and, unless the user declines,
// hands it to the crash reporter program below the client's data folder.
VendraClient::eVClientResult ReportCrash(VendraClient::IVClient& client,
                                         VendraJSON::VSJObject* report,
                                         const CrashReportServices& services,
                                         std::u16string& error);

// The same on this system's dialog backend with the process-wide record:
// what a program that reports its crashes hands its client.
class SystemCrashReports final : public VendraClient::IVClientCrashReports {
 public:
  VendraClient::eVClientResult ReportCrash(VendraClient::IVClient& client,
                                           VendraJSON::VSJObject* report,
                                           std::u16string& error) override;
};

}  // namespace VendraCrash
