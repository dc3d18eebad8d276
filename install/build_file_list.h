#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace VendraJSON {
class VSJObject;
}

namespace VendraClient {

// The sizes a published build's chunks keep to: at least the smallest but
// for a file's last chunk, never more than the largest (the publisher's
// chunker cuts at these limits).
inline constexpr uint32_t kSmallestBuildChunk = 32 * 1024;
inline constexpr uint32_t kLargestBuildChunk = 512 * 1024;

// One content-defined piece of a chunked build's file: its bytes, and where
// their zlib stream lies in the product's chunk packs.
struct BuildChunk {
  std::string sha256;  // of the chunk's bytes, lower-case hexadecimal
  uint32_t size = 0;
  uint32_t compressedSize = 0;
  std::string pack;  // 32 lower-case hexadecimal digits
  uint64_t offset = 0;
};

// One file of a build as its checked file list holds it: a name that stays
// inside the folder it is joined to, with the sizes and digests the files
// are checked against.
struct BuildFile {
  std::u16string name;
  uint64_t size = 0;
  std::string sha256;
  uint64_t compressedSize = 0;
  std::string compressedSha256;
  bool isSigned = false;  // a program whose code signature is checked
  // A chunked build's file: its chunks, in order, which are its bytes.
  bool chunked = false;
  std::vector<BuildChunk> chunks;

  // The name joined to folder, with suffix appended.
  std::u16string PathIn(std::u16string_view folder, std::u16string_view suffix = u"") const;
};

using BuildFileList = std::vector<BuildFile>;

// The build's "data"."files" when it is a list the install can trust to be
// complete: not empty, and every entry an object with a "filename" that
// stays inside the install folder, a "size", a 64-digit "sha256", a
// "compressed_size" and a "compressed_sha256", and where it has "chunks",
// a list of them whose sizes keep to the chunker's limits and add up to the
// file's, each with a SHA-256, a bounded compressed size and offset and a
// pack name. Otherwise nothing, with a
// text that names the build and the first fault.
std::optional<BuildFileList> CheckedBuildFileList(const VendraJSON::VSJObject* build,
                                                  const std::string& buildName,
                                                  std::u16string& error);

}  // namespace VendraClient
