#pragma once

#include <cstdint>
#include <string>

#include "client/result.h"
#include "install/vbuffer.h"
#include "platform/files.h"

// The ".z" files: one zlib stream (zlib header, deflate data, Adler-32) of a
// whole file, nothing before or after it. The expanded length is not stored;
// the caller knows it from the manifest. Every operation answers 0, or -1 or
// -108 with the reason in error. A buffer handed out carries one reference
// for the caller.
namespace VendraClient {

// The text of a ".z" file that cannot be read or whose stream is damaged.
inline constexpr char16_t kInflateFailed[] = u"inflate failed";
// The level a build's ".z" files and chunks are compressed at.
inline constexpr int32_t kBuildCompressionLevel = 7;

eVClientResult InflateBuffer(VBuffer* input, uint32_t expectedSize, VBuffer** output,
                             std::u16string& error);

// level: -1 for zlib's default, else 0 to 9.
eVClientResult DeflateBuffer(int32_t level, VBuffer* input, VBuffer** output,
                             std::u16string& error);

// What a ".z" download and the file expanded from it must be before the file
// replaces its target. An empty digest is not checked; a zero compressed size
// is not checked either.
struct ExpectedFile {
  std::u16string path;
  // The folder the file must stay in, links resolved; empty: its own folder.
  std::u16string within;
  uint32_t size = 0;
  std::string sha256;
  uint32_t compressedSize = 0;
  std::string compressedSha256;
  bool executable = false;
};

// Checks the download against expected, then places the file expanded from
// it as PlaceExpanded does: on any failure the old file is untouched and no
// new file is left behind. VerifyFailed (-112) with a text naming the file
// when either differs from what is expected.
eVClientResult ExpandVerified(const std::u16string& compressedPath, const ExpectedFile& expected,
                              int32_t& outputSize, std::u16string& error);

// What expanding a ".z" file into an open file gave.
struct Expansion {
  uint64_t size = 0;        // bytes written
  std::string sha256;       // of those bytes, lower-case hexadecimal
  uint32_t writeError = 0;  // the system's error, when a write failed
};

// How the stream itself is checked: by its Adler-32 trailer, or, when the
// caller checks the SHA-256 of the output, only by its structure (header,
// deflate data, the four bytes of the trailer).
enum class StreamCheck { Checksum, CallerDigest };

// Expands compressedPath into output block by block (a few MiB of memory
// whatever the file's size), taking the SHA-256 of each block as it is
// written, so that what is checked is what was written. Failed with
// kInflateFailed when the file cannot be read or its stream is damaged,
// cut short or longer than limit bytes;
// FileOpenFailed with the system's error in expansion.writeError when a
// write fails.
eVClientResult ExpandInto(const std::u16string& compressedPath, uint64_t limit,
                          StreamCheck check, VendraPlatform::File& output,
                          Expansion& expansion, std::u16string& error);

// ExpandVerified with only the expected size. outputSize is the expanded
// length on success and 0 after any failure.
eVClientResult InflateFile(const std::u16string& compressedPath, uint32_t expectedSize,
                           const std::u16string& outputPath, int32_t& outputSize,
                           std::u16string& error);

// A missing input file compresses as empty content. inputSize is the number
// of bytes read; compressedSize is the stream's length on success and 0 after
// any failure.
eVClientResult DeflateFile(int32_t level, const std::u16string& inputPath, int32_t& inputSize,
                           const std::u16string& outputPath, int32_t& compressedSize,
                           std::u16string& error);

}  // namespace VendraClient
