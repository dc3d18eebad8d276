#include "packagemanager/vendor_entries.h"

#include <algorithm>

#include "install/uninstall_entry.h"
#include "platform/registry.h"

namespace VendraBuild {

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

}  // namespace VendraBuild
