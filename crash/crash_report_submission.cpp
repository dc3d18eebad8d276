#include "crash/crash_report_submission.h"

#include "crash/reporter_handover.h"
#include "platform/crash_handover.h"
#include "platform/trusted_folder.h"

namespace VendraCrash {

using VendraClient::eVClientResult;

eVClientResult ReportCrash(VendraClient::IVClient& client, VendraJSON::VSJObject* report,
                           const CrashReportServices& services, std::u16string& error) {
  if (!report) {
    error = u"CrashReport Required";
    return eVClientResult::Failed;
  }
  const eVClientResult shown = VendraUi::ShowCrashReportWindow(
      services.backend, client.GetModuleInstance(), services.state, report, error);
  // A window that could not be made does not keep the report from the
  // reporter; it goes without notes.
  if (shown != eVClientResult::Success && shown != eVClientResult::Failed) return shown;
  error.clear();
  // The reporter is started from the shared data folder: only from a utils
  // folder that no other user controls. One that fails keeps the reporter
  // from starting, as a missing reporter does.
  std::u16string utils;
  client.GetDataPath(u"utils", utils);
  if (VendraPlatform::EnsureTrustedFolder(utils, error) != 0) return eVClientResult::LaunchFailed;
  std::u16string reporterPath;
  client.GetDataPath(kReporterRelativePath, reporterPath);
  const auto handover = VendraPlatform::NewCrashHandover();
  return HandOverCrashReport(*handover, reporterPath, *report, error);
}

eVClientResult SystemCrashReports::ReportCrash(VendraClient::IVClient& client,
                                               VendraJSON::VSJObject* report,
                                               std::u16string& error) {
  return VendraCrash::ReportCrash(client, report,
                     {VendraUi::SystemDialogBackend(), VendraUi::CrashReportWindowState()}, error);
}

}  // namespace VendraCrash
