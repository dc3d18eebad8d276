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

eVClientResult VClient::DownloadBuildAsync(VendraJSON::VSJObject*, VendraJSON::VSJArray*, const std::u16string&, VAsync**, std::u16string& error) {
  return NotBuilt("DownloadBuildAsync", error);
}

}  // namespace VendraClient
