#include "packagemanager/engine/vendor_entries.h"

#include <algorithm>

#include "install/uninstall_entry.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace VendraBuild {
namespace {

// A folder as text that two spellings of it share: the system's separator,
// no trailing separator.
std::u16string FolderKey(std::u16string_view folder) {
  std::u16string key = VendraPlatform::WithOwnSeparators(folder);
  while (key.size() > 1 && key.back() == VendraPlatform::kPathSeparator) key.pop_back();
  return key;
}

}  // namespace

uint32_t ListVendorEntries(std::vector<VendorEntry>& found) {
  VendraPlatform::RegistryKey entries;
  std::vector<std::u16string> keys;
  if (entries.OpenForReading(VendraClient::kUninstallKeysPath,
                             VendraPlatform::RegistryView::Default32) == 0) {
    if (const uint32_t listed = entries.SubKeyNames(keys)) return listed;
  }
  std::sort(keys.begin(), keys.end());
  for (const std::u16string& key : keys) {
    VendraPlatform::RegistryKey entry;
    if (entry.OpenForReading(VendraClient::UninstallKeyPath(key),
                             VendraPlatform::RegistryView::Default32) != 0)
      continue;
    std::u16string publisher;
    VendorEntry vendor{key, u"", u""};
    entry.QueryString(u"Publisher", publisher);
    entry.QueryString(u"InstallLocation", vendor.folder);
    entry.QueryString(u"DisplayName", vendor.name);
    if (publisher != VendraClient::kVendorPublisher || vendor.folder.empty()) continue;
    found.push_back(std::move(vendor));
  }
  return 0;
}

bool SameFolder(std::u16string_view a, std::u16string_view b) {
  return VendraPlatform::SameFileName(FolderKey(a), FolderKey(b));
}

bool FindVendorEntry(std::u16string_view folder, VendorEntry& found) {
  std::vector<VendorEntry> entries;
  if (ListVendorEntries(entries) != 0) return false;
  for (VendorEntry& entry : entries) {
    if (!SameFolder(entry.folder, folder)) continue;
    found = std::move(entry);
    return true;
  }
  return false;
}

}  // namespace VendraBuild
