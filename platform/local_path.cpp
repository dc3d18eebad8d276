#include "platform/local_path.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/sys_error.h"

namespace VendraPlatform {
namespace {
// The path is handled in a buffer of 1024 characters; a longer one is refused
// rather than cut, which would create a different folder.
constexpr size_t kMaxPath = 1023;
}  // namespace

bool CreateLocalPath(std::u16string_view filePath, uint32_t& error) {
  if (filePath.size() > kMaxPath) {
    error = SysError::kFilenameTooLong;
    return false;
  }
  const size_t cut = filePath.find_last_of(u"\\/");
  if (cut == std::u16string_view::npos) {
    error = SysError::kPathNotFound;
    return false;
  }
  const uint32_t answer = CreateFolderTree(filePath.substr(0, cut));
  error = answer;
  return answer == SysError::kSuccess || answer == SysError::kFileExists ||
         answer == SysError::kAlreadyExists;
}

}  // namespace VendraPlatform
