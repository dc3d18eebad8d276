#include "crashreporter/crash_reporter.h"

#include "client/data_folder.h"
#include "common/text/format.h"
#include "crash/reporter_handover.h"
#include "json/parser.h"
#include "platform/crash_handover.h"

namespace VendraCrashReporter {

using VendraClient::eVClientResult;

// The system's answer when a wait ends without what it waited for.
constexpr uint32_t kTimedOut = 1460;

bool IsHandoverToken(std::u16string_view text) {
  if (text.size() != 16) return false;
  for (const char16_t c : text)
    if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) return false;
  return true;
}

bool ReceiveReport(std::u16string_view token, Vendra::RefPtr<VendraJSON::VSJObject>& report,
                   std::u16string& message) {
  const auto receiver = VendraPlatform::NewCrashReceiver();
  if (const uint32_t opened = receiver->Open(VendraCrash::kReporterWindowClass, token)) {
    message = VendraText::Format(u"Cannot open the crash report window (error %u)", opened);
    return false;
  }
  std::string bytes;
  if (const uint32_t received =
          receiver->Receive(VendraCrash::kReportMessage, kReportWaitMs, bytes)) {
    message = received == kTimedOut
                  ? VendraText::Format(
                        u"No crash report arrived within %u seconds: the program that crashed "
                        u"did not hand it over (it may have ended first). Nothing was sent.",
                        kReportWaitMs / 1000)
                  : VendraText::Format(
                        u"The crash report could not be received (system error %u). Nothing "
                        u"was sent.",
                        received);
    return false;
  }
  // The length the sender gives counts the text's terminating zero byte.
  if (bytes.empty() || bytes.back() != '\0') {
    message = u"The crash report does not end with its zero byte";
    return false;
  }
  bytes.pop_back();
  std::u16string parseError;
  if (!VendraJSON::ParseObjectA(bytes.data(), bytes.size(), report.Receive(), parseError)) {
    message = u"The crash report is not a JSON object: " + parseError;
    return false;
  }
  return true;
}

eVClientResult PostReport(VendraClient::IVClient& client, VendraJSON::VSJObject& report,
                          std::u16string_view token, std::u16string& message) {
  std::u16string error;
  eVClientResult result = client.EnsureLogin(error);
  if (result == eVClientResult::Success) result = client.SendCrashReport(&report, error);
  if (result == eVClientResult::Success) {
    message = u"The crash report has been sent.";
    return result;
  }
  // Kept in the shared data folder only in a crashreports folder that no
  // other user controls.
  const std::u16string relative = u"crashreports\\" + std::u16string(token) + u".json";
  std::u16string kept;
  client.GetDataPath(relative, kept);
  std::u16string data;
  client.GetDataPath(u"", data);
  std::u16string folderProblem;
  int fileError = 0;
  const bool saved =
      VendraClient::TrustedDataPath(data, relative, kept, folderProblem) ==
          eVClientResult::Success &&
      report.SaveFile(fileError, kept);
  message = VendraText::Format(u"The crash report could not be sent: Error Code %d\n%ls\n",
                               static_cast<int32_t>(result), error);
  message += saved ? VendraText::Format(u"It is kept in %ls", kept)
                   : VendraText::Format(u"It could not be kept in %ls either", kept);
  if (!folderProblem.empty()) message += u"\n" + folderProblem;
  return result;
}

}  // namespace VendraCrashReporter
