#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "client/result.h"

namespace VendraClient {

// One value per field of the product's entry in the system's list of
// installed programs, in the order they are written.
struct UninstallEntry {
  UninstallEntry(std::u16string displayName, std::u16string displayIcon,
                 std::u16string uninstallString, std::u16string modifyPath,
                 uint32_t estimatedSize);

  std::u16string comments;
  std::u16string contact;
  std::u16string displayIcon;
  std::u16string displayName;
  std::u16string displayVersion;
  uint32_t estimatedSize = 0;
  std::u16string helpLink;
  std::u16string helpTelephone;
  std::u16string installDate;
  std::u16string installLocation;
  std::u16string installSource;
  std::u16string language;
  std::u16string modifyPath;
  bool noModify = false;
  bool noRepair = false;
  std::u16string productId;
  std::u16string publisher;
  std::u16string readme;
  std::u16string quietUninstallString;
  std::u16string uninstallString;
  std::u16string urlInfoAbout;
  std::u16string urlUpdateInfo;
  std::u16string version;
  std::u16string versionMajor;
  std::u16string versionMinor;
};

// The machine's list of installed programs: one sub-key per product.
inline constexpr char16_t kUninstallKeysPath[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The publisher every entry of the vendor's names.
inline constexpr char16_t kVendorPublisher[] = u"Vendra Software, LLC";

// The path of the entry keyName in the machine's list.
std::u16string UninstallKeyPath(std::u16string_view keyName);

// Writes the entry under the machine's Uninstall key named keyName: non-empty
// texts as strings, empty ones deleted, the numbers always. 0, or -108 with
// "Failed to open registry key for writing (%d)" when the key cannot be opened.
eVClientResult WriteUninstallEntry(const UninstallEntry& entry, const std::u16string& keyName,
                                   std::u16string& error);

// True when the machine's list holds the entry keyName: its key with any of
// an entry's values in it (a key an uninstall emptied holds none).
bool UninstallEntryExists(std::u16string_view keyName);

// Takes the entry keyName off the machine's list: every value an entry may
// hold is deleted, and the key stays, empty. Single deletions are not
// checked, as single writes are not.
void ClearUninstallEntry(std::u16string_view keyName);

}  // namespace VendraClient
