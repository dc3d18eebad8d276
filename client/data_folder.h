#pragma once

#include <string>

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

}  // namespace VendraClient
