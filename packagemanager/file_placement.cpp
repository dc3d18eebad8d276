#include "packagemanager/file_placement.h"

#include <set>

#include "client/write_failure.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "install/build_file_entry.h"
#include "install/codec.h"
#include "install/sha256.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/sys_error.h"

namespace VendraBuild {

using VendraClient::eVClientResult;

namespace {

// The platform's new files are named "NAME.new-" and a few random letters
// and digits; earlier versions of this program used "NAME.vbnew".
constexpr char16_t kNewFileInfix[] = u".new-";
constexpr char16_t kEarlierNewFileSuffix[] = u".vbnew";
constexpr size_t kLongestRandomPart = 16;

bool IsRandomPart(std::u16string_view text) {
  if (text.empty() || text.size() > kLongestRandomPart) return false;
  for (const char16_t c : text) {
    const bool alphanumeric =
        (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (!alphanumeric) return false;
  }
  return true;
}

std::u16string_view BaseName(std::u16string_view path) {
  size_t cut = path.size();
  while (cut > 0 && !VendraPlatform::IsPathSeparator(path[cut - 1])) --cut;
  return path.substr(cut);
}

eVClientResult WriteFailed(const FileWork& work, uint32_t err, std::u16string& error) {
  error = VendraClient::WriteFailureText(work.finalPath, err);
  return err == VendraPlatform::SysError::kAccessDenied ? eVClientResult::AccessDenied
                                                         : eVClientResult::FileOpenFailed;
}

}  // namespace

eVClientResult PlaceFile(const FileWork& work, const std::u16string& installFolder,
                         uint64_t& placedSize, std::u16string& aside, std::u16string& error) {
  const uint32_t size = VendraClient::EntrySize(work.entry.get(), u"size");
  // A folder on the way that is a link (planted "data -> /elsewhere" in a
  // folder someone else could write) must not carry the file out of the
  // install folder; the new file is created, never opened, so that nothing
  // planted beside the target is written through.
  VendraPlatform::NewFile file;
  const uint32_t created = file.Create(installFolder, work.finalPath);
  if (created == VendraPlatform::kOutsideFolder) {
    error = VendraText::Format(u"Refused to write %ls: its folder leads outside %ls",
                               work.finalPath, installFolder);
    return eVClientResult::Failed;
  }
  if (created != 0) return WriteFailed(work, created, error);
  // The cached file was checked against the build's compressed size and
  // digest when it was downloaded, or found in the cache; what it expands
  // to is checked here, on the bytes as they are written.
  VendraClient::Expansion expansion;
  std::u16string inflateError;
  const eVClientResult expanded =
      VendraClient::ExpandInto(work.cached, size, VendraClient::StreamCheck::CallerDigest,
                               file.Output(), expansion, inflateError);
  if (expanded == eVClientResult::FileOpenFailed) return WriteFailed(work, expansion.writeError, error);
  if (expanded != eVClientResult::Success) {
    VendraPlatform::DeleteFile(work.cached);
    error = VendraText::Format(u"The download of %ls does not expand (%ls); it was discarded",
                               work.name, inflateError);
    return eVClientResult::VerifyFailed;
  }
  const std::string expected = VendraClient::EntryTextA(work.entry.get(), u"sha256");
  if (expansion.size != size || !VendraText::EqualsIgnoreAsciiCase(expansion.sha256, expected)) {
    VendraPlatform::DeleteFile(work.cached);
    error = VendraText::Format(
        u"Wrong content for %ls: expected %u bytes with SHA-256 %hs, the download expands to "
        u"%llu bytes with SHA-256 %hs; it was discarded and nothing of it was installed",
        work.name, size, expected, static_cast<unsigned long long>(expansion.size),
        expansion.sha256);
    return eVClientResult::VerifyFailed;
  }
  // Moved aside only now, with the new file ready: the name is free for the
  // shortest time, and a rerun after a crash meanwhile simply places it.
  if (!work.keptBecause.empty()) {
    const uint32_t moved = VendraPlatform::MoveAsideInside(installFolder, work.finalPath, aside);
    if (moved != 0 && moved != VendraPlatform::SysError::kFileNotFound) {
      error = VendraText::Format(
          u"Could not move %ls aside (error %u): it is %hs, and it was left as it is",
          work.finalPath, moved, work.keptBecause);
      return eVClientResult::FileOpenFailed;
    }
  }
  // The data reaches the disk before the rename, so that a crash never
  // leaves the final name on an empty or partial file.
  if (const uint32_t err = file.Place(work.executable)) return WriteFailed(work, err, error);
  placedSize = size;
  return eVClientResult::Success;
}

void RemoveUnplacedFiles(const std::u16string& installFolder,
                         const std::vector<std::u16string>& names) {
  // By folder: the names that may have new files there.
  std::set<std::pair<std::u16string, std::u16string>> wanted;
  std::set<std::u16string> folders;
  for (const auto& name : names) {
    if (!VendraPlatform::IsContainedRelativePath(name)) continue;
    const std::u16string path = VendraPlatform::PathAppend(installFolder, name);
    const std::u16string folder(VendraPlatform::FolderOf(path));
    folders.insert(folder);
    wanted.emplace(folder, std::u16string(BaseName(path)));
  }
  for (const auto& folder : folders) {
    std::vector<VendraPlatform::FolderEntry> entries;
    if (VendraPlatform::ListFolder(folder, entries) != 0) continue;
    for (const auto& entry : entries) {
      if (entry.isFolder) continue;
      const std::u16string_view name = entry.name;
      std::u16string_view base;
      if (const size_t infix = name.rfind(kNewFileInfix);
          infix != std::u16string_view::npos &&
          IsRandomPart(name.substr(infix + std::char_traits<char16_t>::length(kNewFileInfix))))
        base = name.substr(0, infix);
      else if (name.size() > 6 && name.substr(name.size() - 6) == kEarlierNewFileSuffix)
        base = name.substr(0, name.size() - 6);
      if (!base.empty() && wanted.count({folder, std::u16string(base)}) != 0)
        VendraPlatform::DeleteFileInside(installFolder,
                                         VendraPlatform::JoinFileName(folder, entry.name));
    }
  }
}

}  // namespace VendraBuild
