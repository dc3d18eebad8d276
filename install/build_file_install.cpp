// Checking one file against its entry, and installing one downloaded file by
// expanding its ".z" copy into the place GetFilesToInstall recorded.
#include <string>

#include "client/session_lock.h"
#include "common/text/format.h"
#include "install/build_file_entry.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/place_expanded.h"
#include "install/v_build_client.h"
#include "json/object.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/sys_error.h"

namespace VendraClient {

using VendraJSON::VSJObject;

namespace {

// Equal paths, either separator standing for the other.
bool SameSpelling(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (!VendraPlatform::IsPathSeparator(a[i]) || !VendraPlatform::IsPathSeparator(b[i]))
      return false;
  }
  return true;
}

}  // namespace

eVClientResult VBuildClient::CheckFile(VSJObject* file, const std::u16string& path,
                                       std::u16string& error) {
  if (!file || path.empty()) return eVClientResult::InvalidArgument;
  NamedMutexLockGuard lock(SessionLock(), kBuildClientLockWaitMs);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  uint32_t sizeCache = 0;
  std::string digestCache;
  const int found = VerifyFile(path, EntrySize(file, u"size"), sizeCache,
                               EntryTextA(file, u"sha256"), digestCache);
  return found == kVerifyFileMatches ? eVClientResult::Success : eVClientResult::VerifyFailed;
}

eVClientResult VBuildClient::InstallFile(VSJObject* build, VSJObject* file,
                                         const std::u16string& downloadFolder,
                                         const std::u16string& installFolder, VAsync*,
                                         VAsyncListener*, std::u16string& error) {
  if (!build || !file || downloadFolder.empty()) return eVClientResult::InvalidArgument;

  std::u16string source;
  if (!EntryPath(file, downloadFolder, u".z", source, error)) return eVClientResult::Failed;
  const std::u16string destination = EntryText(file, u"local_filename");
  // The destination travels in the entry; when the caller names the install
  // folder, it must be the place GetFilesToInstall gave the entry's name there,
  // so that an entry with a "local_filename" of its own writes nowhere else.
  if (!installFolder.empty() && !destination.empty()) {
    std::u16string expected;
    if (!EntryPath(file, installFolder, u"", expected, error)) return eVClientResult::Failed;
    if (!SameSpelling(destination, expected)) {
      error = VendraText::Format(u"Refused destination %ls outside the install folder %ls",
                                 destination, installFolder);
      return eVClientResult::Failed;
    }
  }

  NamedMutexLockGuard lock(SessionLock(), kBuildClientLockWaitMs);
  if (!lock.acquired()) return SessionLockNotObtained(error);

  // Inside a named install folder, no folder on the way to the file may be a
  // link that leads out of it (a planted "bin -> /elsewhere").
  uint32_t folderError = 0;
  const bool folderMade =
      installFolder.empty() || destination.empty()
          ? VendraPlatform::CreateLocalPath(destination, folderError)
          : (VendraPlatform::CreateFolderTree(installFolder),
             (folderError = VendraPlatform::CreateFolderInside(
                  installFolder, VendraPlatform::FolderOf(destination))) == 0);
  if (!folderMade) {
    if (folderError == VendraPlatform::kOutsideFolder) {
      error = OutsideFolderText(destination, installFolder);
      return eVClientResult::Failed;
    }
    if (folderError == VendraPlatform::SysError::kAccessDenied) {
      error = u"CreateLocalPath failed due to lack of permissions. Elevated permissions required?";
      return eVClientResult::AccessDenied;
    }
    error = VendraText::Format(u"Failed to create folder for %ls (%d)", destination,
                               static_cast<int32_t>(folderError));
    return eVClientResult::Failed;
  }
  // The download and the expanded file are checked against the entry before
  // the file replaces the installed one.
  ExpectedFile expected;
  expected.path = destination;
  if (!destination.empty()) expected.within = installFolder;
  expected.size = EntrySize(file, u"size");
  expected.sha256 = EntryTextA(file, u"sha256");
  expected.compressedSize = EntrySize(file, u"compressed_size");
  expected.compressedSha256 = EntryTextA(file, u"compressed_sha256");
  int32_t outputSize = 0;
  return ExpandVerified(source, expected, outputSize, error);
}

}  // namespace VendraClient
