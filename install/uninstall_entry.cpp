#include "install/uninstall_entry.h"

#include <utility>

#include "common/text/format.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace VendraClient {
namespace {

// The values an entry may hold, as WriteUninstallEntry writes them.
constexpr const char16_t* kEntryValues[] = {
    u"Comments",        u"Contact",      u"DisplayIcon",   u"DisplayName",
    u"DisplayVersion",  u"EstimatedSize", u"HelpLink",     u"HelpTelephone",
    u"InstallDate",     u"InstallLocation", u"InstallSource", u"Language",
    u"ModifyPath",      u"NoModify",     u"NoRepair",      u"ProductID",
    u"Publisher",       u"Readme",       u"QuietUninstallString", u"UninstallString",
    u"URLInfoAbout",    u"URLUpdateInfo", u"Version",      u"VersionMajor",
    u"VersionMinor"};

void WriteText(VendraPlatform::RegistryKey& key, std::u16string_view name,
               const std::u16string& value) {
  // An empty field removes what an earlier entry may have left.
  if (value.empty()) key.DeleteValue(name);
  else key.SetString(name, value);
}

}  // namespace

std::u16string UninstallKeyPath(std::u16string_view keyName) {
  return std::u16string(kUninstallKeysPath) + u"\\" + std::u16string(keyName);
}

UninstallEntry::UninstallEntry(std::u16string displayName_, std::u16string displayIcon_,
                               std::u16string uninstallString_, std::u16string modifyPath_,
                               uint32_t estimatedSize_)
    : displayIcon(std::move(displayIcon_)),
      displayName(std::move(displayName_)),
      estimatedSize(estimatedSize_),
      installLocation(VendraPlatform::FolderOf(VendraPlatform::ModuleFileName())),
      modifyPath(std::move(modifyPath_)),
      publisher(kVendorPublisher),
      uninstallString(std::move(uninstallString_)) {}

eVClientResult WriteUninstallEntry(const UninstallEntry& entry, const std::u16string& keyName,
                                   std::u16string& error) {
  VendraPlatform::RegistryKey key;
  const uint32_t opened =
      key.CreateForWriting(UninstallKeyPath(keyName), VendraPlatform::RegistryView::Default32);
  if (opened != 0) {
    error = VendraText::Format(u"Failed to open registry key for writing (%d)", opened);
    return eVClientResult::AccessDenied;
  }
  // Single writes are not checked: the entry is a courtesy to the user and
  // never stops an installation.
  WriteText(key, u"Comments", entry.comments);
  WriteText(key, u"Contact", entry.contact);
  WriteText(key, u"DisplayIcon", entry.displayIcon);
  WriteText(key, u"DisplayName", entry.displayName);
  WriteText(key, u"DisplayVersion", entry.displayVersion);
  key.SetDword(u"EstimatedSize", entry.estimatedSize);
  WriteText(key, u"HelpLink", entry.helpLink);
  WriteText(key, u"HelpTelephone", entry.helpTelephone);
  WriteText(key, u"InstallDate", entry.installDate);
  WriteText(key, u"InstallLocation", entry.installLocation);
  WriteText(key, u"InstallSource", entry.installSource);
  WriteText(key, u"Language", entry.language);
  WriteText(key, u"ModifyPath", entry.modifyPath);
  key.SetDword(u"NoModify", entry.noModify ? 1 : 0);
  key.SetDword(u"NoRepair", entry.noRepair ? 1 : 0);
  WriteText(key, u"ProductID", entry.productId);
  WriteText(key, u"Publisher", entry.publisher);
  WriteText(key, u"Readme", entry.readme);
  WriteText(key, u"QuietUninstallString", entry.quietUninstallString);
  WriteText(key, u"UninstallString", entry.uninstallString);
  WriteText(key, u"URLInfoAbout", entry.urlInfoAbout);
  WriteText(key, u"URLUpdateInfo", entry.urlUpdateInfo);
  WriteText(key, u"Version", entry.version);
  WriteText(key, u"VersionMajor", entry.versionMajor);
  WriteText(key, u"VersionMinor", entry.versionMinor);
  return eVClientResult::Success;
}

bool UninstallEntryExists(std::u16string_view keyName) {
  VendraPlatform::RegistryKey key;
  if (key.OpenForReading(UninstallKeyPath(keyName), VendraPlatform::RegistryView::Default32) != 0)
    return false;
  for (const char16_t* name : kEntryValues) {
    VendraPlatform::RegistryValueType type = VendraPlatform::RegistryValueType::None;
    if (key.QueryType(name, type) == 0) return true;
  }
  return false;
}

void ClearUninstallEntry(std::u16string_view keyName) {
  VendraPlatform::RegistryKey key;
  if (key.CreateForWriting(UninstallKeyPath(keyName), VendraPlatform::RegistryView::Default32) !=
      0)
    return;
  for (const char16_t* name : kEntryValues) key.DeleteValue(name);
}

}  // namespace VendraClient
