#include "installer/folder_size.h"

#include <vector>

#include "platform/files.h"
#include "platform/paths.h"

namespace VendraInstaller {

uint64_t FolderSize(std::u16string_view folder) {
  uint64_t total = 0;
  // An explicit stack: a deep tree must not exhaust the call stack.
  std::vector<std::u16string> pending{std::u16string(folder)};
  while (!pending.empty()) {
    const std::u16string current = std::move(pending.back());
    pending.pop_back();
    std::vector<VendraPlatform::FolderEntry> entries;
    VendraPlatform::ListFolder(current, entries);
    for (const auto& e : entries) {
      if (e.isFolder) pending.push_back(VendraPlatform::JoinFileName(current, e.name));
      else total += e.size;
    }
  }
  return total;
}

}  // namespace VendraInstaller
