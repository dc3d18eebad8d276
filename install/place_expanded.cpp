#include "install/place_expanded.h"

#include "common/text/format.h"
#include "common/text/utf.h"
#include "platform/files.h"
#include "platform/local_path.h"
#include "platform/new_file.h"
#include "platform/sys_error.h"

namespace VendraClient {

std::u16string OutsideFolderText(const std::u16string& path, const std::u16string& within) {
  return VendraText::Format(u"Refused to write %ls: its folder leads outside %ls", path,
                            within.empty() ? std::u16string(u"its own folder") : within);
}

PlacementResult PlaceExpanded(const std::u16string& compressedPath, const Placement& placement) {
  // A ".z" file that cannot be read fails as damaged data, before anything
  // is made.
  if (!VendraPlatform::FileExists(compressedPath)) {
    PlacementResult result;
    result.step = PlacementStep::Expand;
    result.expandError = kInflateFailed;
    return result;
  }
  return PlaceWritten(
      [&](VendraPlatform::File& output, Expansion& written, std::u16string& error) {
        return ExpandInto(compressedPath, placement.size,
                          placement.sha256.empty() ? StreamCheck::Checksum
                                                   : StreamCheck::CallerDigest,
                          output, written, error);
      },
      placement);
}

PlacementResult PlaceWritten(const ContentWriter& write, const Placement& placement) {
  PlacementResult result;
  const auto stop = [&](PlacementStep step, uint32_t systemError) {
    result.step = step;
    result.systemError = systemError;
    return result;
  };
  if (placement.within.empty()) {
    uint32_t ignored = 0;
    VendraPlatform::CreateLocalPath(placement.path, ignored);
  }
  // Created, never opened: nothing planted at or beside the target is
  // written through, and a folder on the way that is a link leading out of
  // within is refused.
  VendraPlatform::NewFile file;
  if (const uint32_t created = file.Create(placement.within, placement.path))
    return stop(PlacementStep::Create, created);
  const eVClientResult written = write(file.Output(), result.written, result.expandError);
  if (written == eVClientResult::FileOpenFailed)
    return stop(PlacementStep::Write, result.written.writeError);
  if (written != eVClientResult::Success) return stop(PlacementStep::Expand, 0);
  if (!placement.sha256.empty() &&
      (result.written.size != placement.size ||
       !VendraText::EqualsIgnoreAsciiCase(result.written.sha256, placement.sha256)))
    return stop(PlacementStep::Content, 0);
  if (const uint32_t err = file.Finish(placement.executable))
    return stop(PlacementStep::Write, err);
  // Moved aside only now, with the new file on the disk: the name is free
  // for the shortest time, and a rerun after a crash meanwhile places it.
  if (placement.moveAside) {
    const uint32_t moved =
        VendraPlatform::MoveAsideInside(placement.within, placement.path, result.aside);
    if (moved != 0 && moved != VendraPlatform::SysError::kFileNotFound)
      return stop(PlacementStep::MoveAside, moved);
  }
  if (const uint32_t err = file.Place()) return stop(PlacementStep::Rename, err);
  return result;
}

}  // namespace VendraClient
