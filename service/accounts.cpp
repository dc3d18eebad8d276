#include "service/accounts.h"

#include <cctype>

#include "service/disk.h"

namespace VendraService {

bool IsValidUsername(const std::string& username) {
  if (username.empty() || username.size() > 128 || username[0] == '.') return false;
  for (char c : username) {
    const bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' ||
                    c == '@' || c == '+' || c == '-';
    if (!ok) return false;
  }
  return true;
}

AccountStore::AccountStore(std::filesystem::path root) : folder_(std::move(root) / "accounts") {}

std::filesystem::path AccountStore::FileOf(const std::string& username) const {
  return folder_ / (username + ".json");
}

std::optional<Account> AccountStore::Find(const std::string& username) const {
  if (!IsValidUsername(username)) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto object = ReadJsonObject(FileOf(username));
  if (!object) return std::nullopt;
  Account account;
  account.username = username;
  account.passwordMd5 = object->value("password_md5", "");
  account.totpSecret = object->value("totp_secret", "");
  if (auto devices = object->find("devices"); devices != object->end() && devices->is_object()) {
    for (const auto& [id, entry] : devices->items()) {
      account.devices[id] = entry.is_object() ? entry.value("name", "") : "";
    }
  }
  return account;
}

bool AccountStore::Save(const Account& account) {
  if (!IsValidUsername(account.username)) return false;
  nlohmann::ordered_json object;
  object["username"] = account.username;
  object["password_md5"] = account.passwordMd5;
  object["totp_secret"] = account.totpSecret;
  object["devices"] = nlohmann::ordered_json::object();
  for (const auto& [id, name] : account.devices) object["devices"][id] = {{"name", name}};
  std::lock_guard lock(mutex_);
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  return WriteFileReplacing(FileOf(account.username), object.dump(2) + "\n");
}

bool AccountStore::AuthorizeDevice(const std::string& username, const std::string& device,
                                   const std::string& name) {
  auto account = Find(username);
  if (!account) return false;
  account->devices[device] = name;
  return Save(*account);
}

bool AccountStore::IsDeviceAuthorized(const std::string& username,
                                      const std::string& device) const {
  auto account = Find(username);
  return account && account->devices.count(device) != 0;
}

std::map<std::string, std::string> AccountStore::PasswordDigests() const {
  std::map<std::string, std::string> digests;
  std::error_code error;
  std::lock_guard lock(mutex_);
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    if (entry.path().extension() != ".json") continue;
    auto object = ReadJsonObject(entry.path());
    if (object) digests[entry.path().stem().string()] = object->value("password_md5", "");
  }
  return digests;
}

}  // namespace VendraService
