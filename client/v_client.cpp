#include "client/v_client.h"

#include "platform/process.h"

namespace VendraClient {

VClient::VClient() = default;
VClient::~VClient() = default;

ModuleInstance VClient::GetModuleInstance() { return moduleInstance_; }

bool VClient::GetDataPath(const std::u16string& relative, std::u16string& path) {
  path = dataFolder_.Path(relative);
  return true;
}

}  // namespace VendraClient
