#pragma once

#include <string>

#include "client/result.h"

namespace VendraInstaller {

// Makes sure the package-manager utility is installed and current.
class IPackageManagerStep {
 public:
  virtual ~IPackageManagerStep() = default;
  virtual VendraClient::eVClientResult EnsurePackageManager(std::u16string& error) = 0;
};

}  // namespace VendraInstaller
