#include "client/data_folder.h"

#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "platform/trusted_folder.h"

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

eVClientResult TrustedDataPath(std::u16string_view dataFolder, std::u16string_view relative,
                               std::u16string& path, std::u16string& error) {
  const size_t cut = relative.find_first_of(u"\\/");
  const std::u16string folder =
      VendraPlatform::PathAppend(dataFolder, relative.substr(0, cut));
  std::u16string problem;
  if (VendraPlatform::EnsureTrustedFolder(folder, problem) != 0) {
    error = problem;
    return eVClientResult::AccessDenied;
  }
  path = VendraPlatform::PathAppend(dataFolder, relative);
  return eVClientResult::Success;
}

}  // namespace VendraClient
