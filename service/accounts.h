#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// Accounts live one file each in ROOT/accounts/NAME.json. The password is
// kept only as its MD5 digest; authorised devices are kept with the account so
// that they survive a restart of the service.
namespace VendraService {

struct Account {
  std::string username;
  std::string passwordMd5;  // 32 lower-case hexadecimal digits
  std::string totpSecret;   // base32, empty when the account has no authenticator
  std::map<std::string, std::string> devices;  // device identity -> device name
};

class AccountStore {
 public:
  explicit AccountStore(std::filesystem::path root);

  std::optional<Account> Find(const std::string& username) const;
  bool Save(const Account& account);
  // Adds the device to the account's authorised devices.
  bool AuthorizeDevice(const std::string& username, const std::string& device,
                       const std::string& name);
  bool IsDeviceAuthorized(const std::string& username, const std::string& device) const;
  // Every account's password digest, to spot a password (or its digest)
  // arriving in any field.
  std::map<std::string, std::string> PasswordDigests() const;

 private:
  std::filesystem::path FileOf(const std::string& username) const;

  std::filesystem::path folder_;
  mutable std::mutex mutex_;
};

// User names are file names here: letters, digits and ". _ @ + -", not
// starting with a dot.
bool IsValidUsername(const std::string& username);

}  // namespace VendraService
