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

  // The name joined to folder, with suffix appended.
  std::u16string PathIn(std::u16string_view folder, std::u16string_view suffix = u"") const;
};

using BuildFileList = std::vector<BuildFile>;

// The build's "data"."files" when it is a list the install can trust to be
// complete: not empty, and every entry an object with a "filename" that
// stays inside the install folder, a "size", a 64-digit "sha256", a
// "compressed_size" and a "compressed_sha256". Otherwise nothing, with a
// text that names the build and the first fault.
std::optional<BuildFileList> CheckedBuildFileList(const VendraJSON::VSJObject* build,
                                                  const std::string& buildName,
                                                  std::u16string& error);

}  // namespace VendraClient
