// The build client's side of the utility installation: comparing the
// installed utility and its compressed download with the manifest, and
// expanding the download into place.
#include <string>

#include "client/session_lock.h"
#include "common/text/format.h"
#include "install/codec.h"
#include "install/file_digest.h"
#include "install/v_build_client.h"
#include "json/object.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace VendraClient {
namespace {

using VendraJSON::VSJObject;

// How long the build client's file operations wait for the session lock.
constexpr uint32_t kBuildClientLockWaitMs = 10000;

std::u16string WideMember(const VSJObject* object, std::u16string_view key) {
  std::u16string text;
  if (!object->GetString(key, text)) text.clear();
  return text;
}

std::string NarrowMember(const VSJObject* object, std::u16string_view key) {
  std::string text;
  for (const char16_t c : WideMember(object, key)) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text;
}

uint32_t SizeMember(const VSJObject* object, std::u16string_view key) {
  uint32_t size = 0;
  if (!object->GetUInt(key, size)) size = 0;
  return size;
}

// Compares a file with an expected size and digest, measuring and hashing it
// every time: nothing cached is trusted.
bool IsCurrent(const std::u16string& path, uint32_t size, const std::string& digest) {
  uint32_t sizeCache = 0;
  std::string digestCache;
  return VerifyFile(path, size, sizeCache, digest, digestCache) == kVerifyFileMatches;
}

// Paths are compared as the system compares them: without regard to case,
// and with either separator.
bool SamePath(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (VendraPlatform::IsPathSeparator(x) && VendraPlatform::IsPathSeparator(y)) continue;
    if (x >= u'A' && x <= u'Z') x = x - u'A' + u'a';
    if (y >= u'A' && y <= u'Z') y = y - u'A' + u'a';
    if (x != y) return false;
  }
  return true;
}

}  // namespace

// The installed utility's path for a manifest; false for a file name that
// could reach outside the utils folder, and when the utils folder fails the
// trust rule for folders programs are started from.
bool VBuildClient::UtilityPath(const VSJObject* manifest, std::u16string& path,
                               std::u16string& error) {
  const std::u16string fileName = WideMember(manifest, u"filename");
  if (!VendraPlatform::IsContainedRelativePath(fileName)) {
    error = VendraText::Format(u"Refused unsafe utility file name \"%ls\"", fileName);
    return false;
  }
  return TrustedDataPath(dataFolder_.Path(u""), u"utils\\" + fileName, path, error) ==
         eVClientResult::Success;
}

eVClientResult VBuildClient::CheckUtilityCopy(VSJObject* manifest, std::u16string_view suffix,
                                              std::u16string_view sizeKey,
                                              std::u16string_view digestKey,
                                              std::u16string& error) {
  if (!manifest) return eVClientResult::InvalidArgument;
  NamedMutexLockGuard lock(SessionLock(), kBuildClientLockWaitMs);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  std::u16string installed;
  std::u16string ignored;
  if (!UtilityPath(manifest, installed, ignored)) return eVClientResult::VerifyFailed;
  return IsCurrent(installed + std::u16string(suffix), SizeMember(manifest, sizeKey),
                   NarrowMember(manifest, digestKey))
             ? eVClientResult::Success
             : eVClientResult::VerifyFailed;
}

eVClientResult VBuildClient::CheckUtilityFile(VSJObject* manifest, std::u16string& error) {
  return CheckUtilityCopy(manifest, u"", u"file_size", u"file_sha256", error);
}

eVClientResult VBuildClient::CheckUtilityDownload(VSJObject* manifest, std::u16string& error) {
  return CheckUtilityCopy(manifest, u".z", u"compressed_file_size", u"compressed_file_sha256",
                          error);
}

eVClientResult VBuildClient::InstallUtilityFile(VSJObject* manifest, std::u16string& error) {
  if (!manifest) return eVClientResult::InvalidArgument;
  NamedMutexLockGuard lock(SessionLock(), kBuildClientLockWaitMs);
  if (!lock.acquired()) return SessionLockNotObtained(error);
  ExpectedFile expected;
  if (!UtilityPath(manifest, expected.path, error)) return eVClientResult::Failed;
  const std::u16string compressed = expected.path + u".z";
  const std::u16string backup = expected.path + u".bak";
  expected.within = dataFolder_.Path(u"utils");
  expected.size = SizeMember(manifest, u"file_size");
  expected.sha256 = NarrowMember(manifest, u"file_sha256");
  expected.compressedSize = SizeMember(manifest, u"compressed_file_size");
  expected.compressedSha256 = NarrowMember(manifest, u"compressed_file_sha256");
  expected.executable = true;

  // A running program's file cannot be replaced in place: it moves aside.
  // Only a backup this call made is ever moved back: an older one left by an
  // earlier run must not replace the current program.
  const bool backedUp =
      SamePath(VendraPlatform::ModuleFileName(), expected.path) &&
      VendraPlatform::MoveFileReplacing(expected.path, backup) == 0;
  int32_t expandedSize = 0;
  const eVClientResult code = ExpandVerified(compressed, expected, expandedSize, error);
  if (code != eVClientResult::Success && backedUp)
    VendraPlatform::MoveFileReplacing(backup, expected.path);
  return code;
}

}  // namespace VendraClient
