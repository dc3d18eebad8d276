#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "install/codec.h"

namespace VendraClient {

// A file to be put in place from a ".z" file.
struct Placement {
  std::u16string path;  // its final name
  // The folder it must stay in, links resolved; empty: its own folder, whose
  // missing parents are made first.
  std::u16string within;
  uint64_t size = 0;  // never more is expanded
  // Set: the file is placed only at exactly size bytes with this SHA-256,
  // which stands in for the stream's checksum. Empty: the stream's checksum
  // is checked and a shorter file is placed.
  std::string sha256;
  bool executable = false;  // placed as a program
  // What stands at path is moved aside (MoveAsideInside), never replaced.
  bool moveAside = false;
};

// Where placing stopped; each caller words it for its own readers.
enum class PlacementStep {
  Placed,
  Create,     // the new file beside the target was not made (kOutsideFolder too)
  Expand,     // the ".z" file is unreadable, damaged, cut short or too long
  Write,      // writing the new file or pushing it to the disk failed
  Content,    // what was written is not the size and SHA-256 asked for
  MoveAside,  // what stands at the target could not be moved aside
  Rename,     // the new file could not be renamed over the target
};

struct PlacementResult {
  PlacementStep step = PlacementStep::Placed;
  uint32_t systemError = 0;    // Create, Write, MoveAside, Rename
  std::u16string expandError;  // Expand: the codec's text
  Expansion written;           // what was expanded into the new file
  std::u16string aside;        // where what stood at the target went
};

// The text of a file not written because its folder leads outside within
// (an empty within: the file's own folder).
std::u16string OutsideFolderText(const std::u16string& path, const std::u16string& within);

// Expands compressedPath block by block into a new file created beside the
// target (exclusively, never through a link, in a folder that does not lead
// outside within), hashing each block as it is written; checks it against
// placement, gives it its mode on the open file, pushes it to the disk and
// only then renames it over the target. After any failure the target is as
// it was and no new file is left: a final name holds the earlier file or the
// new one, whole.
PlacementResult PlaceExpanded(const std::u16string& compressedPath, const Placement& placement);

// Writes a new file's bytes into output, taking their size and SHA-256 in
// written as they are written (written.writeError with FileOpenFailed when
// a write fails); any other failure means its source is unreadable or
// damaged, with the reason in error.
using ContentWriter = std::function<eVClientResult(VendraPlatform::File& output,
                                                   Expansion& written, std::u16string& error)>;

// PlaceExpanded for bytes that write produces (a file rebuilt from pieces):
// the same new file, checks, mode, move aside and rename.
PlacementResult PlaceWritten(const ContentWriter& write, const Placement& placement);

}  // namespace VendraClient
