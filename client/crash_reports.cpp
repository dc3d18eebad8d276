#include "client/v_client.h"

#include "common/text/format.h"

namespace VendraClient {
namespace {

// Operations whose subsystem is not in this build say so instead of succeeding.
eVClientResult NotBuilt(const char* operation, std::u16string& error) {
  error = VendraText::Format(u"%hs is not available in this build of the client", operation);
  return eVClientResult::NotSupported;
}

}  // namespace

eVClientResult VClient::ReportCrash(VendraJSON::VSJObject*, std::u16string& error) {
  return NotBuilt("ReportCrash", error);
}

eVClientResult VClient::ReportCrashW(const std::string&, const std::string&, int32_t, const std::u16string&, int64_t, const std::u16string&, int64_t, int64_t, const std::string&, std::u16string& error) {
  return NotBuilt("ReportCrashW", error);
}

eVClientResult VClient::ReportCrashA(const std::string&, const std::string&, int32_t, const std::string&, int64_t, const std::string&, int64_t, int64_t, const std::string&, std::u16string& error) {
  return NotBuilt("ReportCrashA", error);
}

eVClientResult VClient::SendCrashReport(VendraJSON::VSJObject*, std::u16string& error) {
  return NotBuilt("SendCrashReport", error);
}

}  // namespace VendraClient
