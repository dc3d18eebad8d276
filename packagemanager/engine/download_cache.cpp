#include "packagemanager/engine/download_cache.h"

#include "client/data_folder.h"
#include "common/text/format.h"
#include "common/text/utf.h"
#include "packagemanager/engine/install_record.h"
#include "packagemanager/engine/vendor_entries.h"
#include "platform/files.h"
#include "platform/new_file.h"
#include "platform/paths.h"
#include "platform/sys_error.h"

namespace VendraBuild {
namespace {

using VendraPlatform::FolderEntry;

constexpr char16_t kDownloadsFolderName[] = u"downloads";

bool IsRealFolder(const FolderEntry& entry) { return entry.isFolder && !entry.isLink; }

void Failed(CacheSweep& sweep, const std::u16string& path, uint32_t err) {
  sweep.failures.push_back(VendraText::Format(u"%ls (system error %u)", path, err));
}

uint64_t RemoveEntry(const std::u16string& within, const std::u16string& folder,
                     const FolderEntry& entry, CacheSweep& sweep);

// Removes what folder holds, but a plain file named keep; answers the bytes
// freed.
uint64_t RemoveContents(const std::u16string& within, const std::u16string& folder,
                        std::u16string_view keep, CacheSweep& sweep) {
  std::vector<FolderEntry> entries;
  if (const uint32_t err = VendraPlatform::ListFolder(folder, entries)) {
    if (err != VendraPlatform::SysError::kFileNotFound &&
        err != VendraPlatform::SysError::kPathNotFound)
      Failed(sweep, folder, err);
    return 0;
  }
  uint64_t freed = 0;
  for (const FolderEntry& entry : entries) {
    if (!entry.isFolder && !entry.isLink && entry.name == keep) continue;
    freed += RemoveEntry(within, folder, entry, sweep);
  }
  return freed;
}

// A folder goes with everything in it; a link goes as itself (on Windows a
// link to a folder is removed as a folder, which leaves its target alone).
uint64_t RemoveEntry(const std::u16string& within, const std::u16string& folder,
                     const FolderEntry& entry, CacheSweep& sweep) {
  const std::u16string path = VendraPlatform::JoinFileName(folder, entry.name);
  if (IsRealFolder(entry)) {
    const uint64_t freed = RemoveContents(within, path, u"", sweep);
    // A folder that kept something it could not lose is already a failure.
    VendraPlatform::RemoveEmptyFolder(path);
    return freed;
  }
  const uint32_t err = entry.isFolder ? VendraPlatform::RemoveEmptyFolder(path)
                                      : VendraPlatform::DeleteFileInside(within, path);
  if (err != 0 && err != VendraPlatform::SysError::kFileNotFound) {
    Failed(sweep, path, err);
    return 0;
  }
  // A link's own few bytes are no download.
  const uint64_t freed = entry.isLink ? 0 : entry.size;
  sweep.freedBytes += freed;
  ++sweep.filesRemoved;
  return freed;
}

const CacheNeed* NeedOf(const std::vector<CacheNeed>& needs, const std::u16string& product,
                        const std::u16string& branch, const std::u16string& version) {
  // The names were the install's command line, spelt as its caller chose;
  // a system that ignores case found the folder whatever the spelling.
  const auto same = [](const std::string& name, const std::u16string& folder) {
    return VendraText::EqualsIgnoreAsciiCase(VendraText::Utf8ToUtf16(name), folder);
  };
  const CacheNeed* found = nullptr;
  for (const CacheNeed& need : needs) {
    if (!same(need.product, product) || !same(need.branch, branch) ||
        !same(need.version, version))
      continue;
    if (!found || need.downloads) found = &need;
  }
  return found;
}

// One version's folder: removed, trimmed to its build copy, or kept whole.
void SweepVersion(const std::u16string& downloads, const std::u16string& branchFolder,
                  const FolderEntry& entry, const std::vector<std::u16string>& names,
                  const std::vector<CacheNeed>& needs, CacheSweep& sweep) {
  const CacheNeed* need = NeedOf(needs, names[0], names[1], entry.name);
  if (need && need->downloads) return;
  CleanedVersion cleaned{VendraText::Utf16ToUtf8(names[0]), VendraText::Utf16ToUtf8(names[1]),
                         VendraText::Utf16ToUtf8(entry.name), need == nullptr, 0};
  const uint64_t filesBefore = sweep.filesRemoved;
  cleaned.bytes =
      need ? RemoveContents(downloads, VendraPlatform::JoinFileName(branchFolder, entry.name),
                            kBuildCopyName, sweep)
           : RemoveEntry(downloads, branchFolder, entry, sweep);
  if (cleaned.whole || sweep.filesRemoved != filesBefore) sweep.versions.push_back(cleaned);
}

// The level below downloads that names (the product, then the branch)
// lead to; anything but a folder there is a stray entry.
void SweepLevel(const std::u16string& downloads, const std::u16string& folder,
                std::vector<std::u16string>& names, const std::vector<CacheNeed>& needs,
                std::string_view product, CacheSweep& sweep) {
  std::vector<FolderEntry> entries;
  if (const uint32_t err = VendraPlatform::ListFolder(folder, entries)) {
    Failed(sweep, folder, err);
    return;
  }
  for (const FolderEntry& entry : entries) {
    if (names.empty() && !product.empty() &&
        !VendraText::EqualsIgnoreAsciiCase(VendraText::Utf8ToUtf16(product), entry.name))
      continue;
    if (!IsRealFolder(entry)) {
      RemoveEntry(downloads, folder, entry, sweep);
    } else if (names.size() == 2) {
      SweepVersion(downloads, folder, entry, names, needs, sweep);
    } else {
      const std::u16string below = VendraPlatform::JoinFileName(folder, entry.name);
      names.push_back(entry.name);
      SweepLevel(downloads, below, names, needs, product, sweep);
      names.pop_back();
      VendraPlatform::RemoveEmptyFolder(below);
    }
  }
}

}  // namespace

std::u16string VersionCachePath(std::string_view product, std::string_view branch,
                                std::string_view version) {
  return VendraText::Format(u"%ls\\%hs\\%hs\\%hs", kDownloadsFolderName, product, branch,
                            version);
}

VendraClient::eVClientResult DownloadsFolder(std::u16string& path, std::u16string& error) {
  VendraClient::DataFolder data;
  return VendraClient::TrustedDataPath(data.Path(u""), kDownloadsFolderName, path, error);
}

uint32_t InstalledNeeds(std::vector<CacheNeed>& needs) {
  std::vector<VendorEntry> entries;
  if (const uint32_t err = ListVendorEntries(entries)) return err;
  for (const VendorEntry& entry : entries) {
    InstallRecord record;
    InstallState state;
    std::u16string ignored;
    if (LoadInstallRecord(entry.folder, record, ignored, &state))
      needs.push_back({record.product, record.branch, record.version, !state.complete});
  }
  return 0;
}

void SweepDownloads(const std::u16string& downloads, const std::vector<CacheNeed>& needs,
                    std::string_view product, CacheSweep& sweep) {
  std::vector<std::u16string> names;
  SweepLevel(downloads, downloads, names, needs, product, sweep);
}

void DropDownloads(const std::u16string& versionFolder) {
  CacheSweep ignored;
  RemoveContents(versionFolder, versionFolder, kBuildCopyName, ignored);
}

}  // namespace VendraBuild
