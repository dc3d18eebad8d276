// The crash-report operations: building a report, showing it and handing it
// to the crash reporter (through what the program gave the client), and
// posting it to the service.
#include <string>

#include "client/crash_report_object.h"
#include "client/session_tokens.h"
#include "client/show_windows.h"
#include "client/string_request.h"
#include "client/v_client.h"
#include "json/object.h"

namespace VendraClient {

eVClientResult VClient::ReportCrash(VendraJSON::VSJObject* report, std::u16string& error) {
  if (!crashReports_) return WindowMissing(u"Crash Report", error);
  return crashReports_->ReportCrash(*this, report, error);
}

eVClientResult VClient::ReportCrashW(const std::string& project, const std::string& version,
                                     int32_t build, const std::u16string& executable,
                                     int64_t executableTime, const std::u16string& module,
                                     int64_t address, int64_t exception, const std::string& report,
                                     std::u16string& error) {
  const auto object = MakeCrashReport(
      {project, version, static_cast<uint32_t>(build), executable, executableTime, module, address,
       exception, report});
  return ReportCrash(object.get(), error);
}

eVClientResult VClient::ReportCrashA(const std::string& project, const std::string& version,
                                     int32_t build, const std::string& executable,
                                     int64_t executableTime, const std::string& module,
                                     int64_t address, int64_t exception, const std::string& report,
                                     std::u16string& error) {
  const auto object = MakeCrashReport(
      {project, version, static_cast<uint32_t>(build), executable, executableTime, module, address,
       exception, report});
  return ReportCrash(object.get(), error);
}

eVClientResult VClient::SendCrashReport(VendraJSON::VSJObject* report, std::u16string& error) {
  if (!report) {
    error = u"CrashReport Required";
    return eVClientResult::Failed;
  }
  if (!accessToken_.IsValid()) return AccessTokenRequired(error);
  VClientTransfer transfer;
  const eVClientResult created = transfer.CreateTransfer(error);
  if (created != eVClientResult::Success) return created;
  transfer.SetRequestPath("vclient/crashreport");

  const NamedMutexLockGuard lock(SessionLock(), sessionLockWaitMs_);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  LoadSession();
  if (!localToken_.IsValid()) return LocalTokenRequired(error);
  AddAuthenticationFields(transfer);
  std::string json;
  report->WriteJSONA(json, false, 0, "");
  transfer.AddFormField("json", json);
  Vendra::RefPtr<VendraJSON::VSJObject> reply;
  const eVClientResult result = PerformStringRequest(transfer, reply, error);
  KeepReplyTokens(reply.get());
  return result;
}

}  // namespace VendraClient
