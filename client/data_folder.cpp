#include "client/data_folder.h"

#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/paths.h"

namespace VendraClient {

std::u16string DataFolder::Path(const std::u16string& relative) {
  if (folder_.empty()) {
    folder_ = VendraPlatform::PathAppend(VendraPlatform::CommonAppDataFolder(), u"Vendra Software");
    // An existing folder keeps the access rules it has.
    VendraPlatform::CreateSharedFolder(folder_);
  }
  if (relative.empty()) return folder_;
  return VendraPlatform::PathAppend(folder_, relative);
}

}  // namespace VendraClient
