#include "packagemanager/engine/file_placement.h"

#include <set>

#include "client/write_failure.h"
#include "common/text/format.h"
#include "install/place_expanded.h"
#include "packagemanager/engine/chunk_plan.h"
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

}  // namespace

eVClientResult PlaceFile(const FileWork& work, const std::u16string& installFolder,
                         uint64_t& placedSize, std::u16string& aside, std::u16string& error) {
  // The cached file was checked against the build's compressed size and
  // digest when it was downloaded, or found in the cache; what it expands
  // to is checked as it is written.
  VendraClient::Placement placement;
  placement.path = work.finalPath;
  placement.within = installFolder;
  placement.size = work.file->size;
  placement.sha256 = work.file->sha256;
  placement.executable = work.executable;
  placement.moveAside = !work.keptBecause.empty();
  const VendraClient::PlacementResult placed =
      work.rebuild ? VendraClient::PlaceWritten(
                         [&](VendraPlatform::File& output, VendraClient::Expansion& written,
                             std::u16string& text) {
                           return WriteRebuilt(*work.rebuild, work.finalPath, output, written,
                                               text);
                         },
                         placement)
                   : VendraClient::PlaceExpanded(work.cached, placement);
  aside = placed.aside;
  switch (placed.step) {
    case VendraClient::PlacementStep::Placed:
      placedSize = placement.size;
      return eVClientResult::Success;
    case VendraClient::PlacementStep::Create:
      if (placed.systemError != VendraPlatform::kOutsideFolder) break;
      error = VendraClient::OutsideFolderText(work.finalPath, installFolder);
      return eVClientResult::Failed;
    case VendraClient::PlacementStep::Expand:
      if (work.rebuild) {
        error = VendraText::Format(
            u"%ls could not be put together from its chunks (%ls); nothing of it was installed",
            work.file->name, placed.expandError);
        return eVClientResult::VerifyFailed;
      }
      VendraPlatform::DeleteFile(work.cached);
      error = VendraText::Format(u"The download of %ls does not expand (%ls); it was discarded",
                                 work.file->name, placed.expandError);
      return eVClientResult::VerifyFailed;
    case VendraClient::PlacementStep::Content:
      // A wrong download is discarded; a file put together from chunks
      // leaves nothing to discard.
      if (!work.rebuild) VendraPlatform::DeleteFile(work.cached);
      error = VendraText::Format(
          u"Wrong content for %ls: expected %llu bytes with SHA-256 %hs, %ls %llu bytes with "
          u"SHA-256 %hs; %lsnothing of it was installed",
          work.file->name, static_cast<unsigned long long>(placement.size), placement.sha256,
          work.rebuild ? u"its chunks put together are" : u"the download expands to",
          static_cast<unsigned long long>(placed.written.size), placed.written.sha256,
          work.rebuild ? u"" : u"it was discarded and ");
      return eVClientResult::VerifyFailed;
    case VendraClient::PlacementStep::MoveAside:
      error = VendraText::Format(
          u"Could not move %ls aside (error %u): it is %hs, and it was left as it is",
          work.finalPath, placed.systemError, work.keptBecause);
      return eVClientResult::FileOpenFailed;
    case VendraClient::PlacementStep::Write:
    case VendraClient::PlacementStep::Rename:
      break;
  }
  error = VendraClient::WriteFailureText(work.finalPath, placed.systemError);
  return placed.systemError == VendraPlatform::SysError::kAccessDenied
             ? eVClientResult::AccessDenied
             : eVClientResult::FileOpenFailed;
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
