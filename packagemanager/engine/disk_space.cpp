#include "packagemanager/engine/disk_space.h"

#include <algorithm>
#include <cstdint>

#include "client/partial_download.h"
#include "packagemanager/engine/chunk_plan.h"
#include "common/text/format.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace VendraBuild {
namespace {

struct Disk {
  uint64_t id = 0;
  uint64_t free = 0;
};

// The disk that holds path, asked through its nearest existing folder (the
// install folder and the cache's folders may not be made yet).
bool DiskOf(const std::u16string& path, Disk& disk) {
  std::u16string existing = path;
  while (VendraPlatform::GetFreeDiskSpace(existing, disk.free) != 0) {
    const std::u16string parent(VendraPlatform::FolderOf(existing));
    if (parent.empty() || parent == existing) return false;
    existing = parent;
  }
  return VendraPlatform::GetDiskId(existing, disk.id) == 0;
}

// The most the install folder grows by while the files are placed: each new
// file is written whole before the earlier one it replaces is let go. A file
// that is kept (moved aside, not replaced) lets nothing go.
uint64_t PlacementPeak(const std::vector<FileWork>& work) {
  int64_t grown = 0;
  int64_t peak = 0;
  for (const FileWork& file : work) {
    if (!file.place) continue;
    const int64_t size = static_cast<int64_t>(file.file->size);
    uint64_t earlier = 0;
    if (!file.keptBecause.empty() || VendraPlatform::GetFileSize(file.finalPath, earlier) != 0)
      earlier = 0;
    peak = std::max(peak, grown + size);
    grown += size - static_cast<int64_t>(earlier);
  }
  return static_cast<uint64_t>(peak);
}

// What the downloads still add to the cache: every one is kept until the
// install is complete; a partial download already holds its first bytes.
uint64_t DownloadsLeft(const std::vector<FileWork>& work) {
  uint64_t left = 0;
  for (const FileWork& file : work) {
    if (!file.download) continue;
    const uint64_t size = FetchSize(file);
    uint64_t held = 0;
    if (VendraPlatform::GetFileSize(file.cached + VendraClient::kPartialDownloadSuffix, held) != 0)
      held = 0;
    left += size > held ? size - held : 0;
  }
  return left;
}

bool Refused(const std::u16string& folder, uint64_t needed, uint64_t free, std::u16string& error) {
  if (needed <= free) return false;
  error = VendraText::Format(
      u"Not enough space on the disk for %ls: the install needs %llu MB more and %llu MB are "
      u"free. Nothing was changed; free some space and run the install again",
      folder, static_cast<unsigned long long>((needed - free) / 1000000 + 1),
      static_cast<unsigned long long>(free / 1000000));
  return true;
}

}  // namespace

bool FitsOnDisks(const std::vector<FileWork>& work, const std::u16string& folder,
                 const std::u16string& downloads, std::u16string& error) {
  const uint64_t placing = PlacementPeak(work);
  const uint64_t fetching = DownloadsLeft(work);
  Disk installDisk;
  Disk cacheDisk;
  const bool installKnown = DiskOf(folder, installDisk);
  const bool cacheKnown = DiskOf(downloads, cacheDisk);
  if (installKnown && cacheKnown && installDisk.id == cacheDisk.id)
    return !Refused(folder, placing + fetching, installDisk.free, error);
  if (installKnown && Refused(folder, placing, installDisk.free, error)) return false;
  return !(cacheKnown && Refused(downloads, fetching, cacheDisk.free, error));
}

}  // namespace VendraBuild
