#pragma once

#include <string>
#include <string_view>

#include "client/result.h"

namespace VendraClient {

// The vendor's data folder: the machine's common application-data folder
// followed by "Vendra Software". Worked out (and created, open to every user
// of the machine) on first use; each client keeps its own copy.
class DataFolder {
 public:
  // The data folder joined with relative by the path-append rule; the folder
  // itself when relative is empty.
  std::u16string Path(const std::u16string& relative);

 private:
  std::u16string folder_;
};

// dataFolder joined with relative ("utils\\VendraBuild.exe.z"), once the
// sub-folder relative starts with has passed the trust rule for folders an
// elevated program writes into or starts programs from (made if missing;
// platform/trusted_folder.h). AccessDenied with a text that names the folder
// and what is wrong with it when it cannot be used.
eVClientResult TrustedDataPath(std::u16string_view dataFolder, std::u16string_view relative,
                               std::u16string& path, std::u16string& error);

}  // namespace VendraClient
