// Whole files, as large as libFuzzer is allowed to make them, through
// LoadFile: the file path of the library (open, size, read, byte-order mark,
// text ending at a 0 byte) on top of the parser.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "json/files.h"
#include "json/value.h"

namespace {

const std::filesystem::path& FilePath() {
  static const std::filesystem::path path = [] {
    std::random_device random;
    return std::filesystem::temp_directory_path() /
           ("vendra-json-fuzz-" + std::to_string(random()) + ".json");
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream file(FilePath(), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  VendraJSON::VSJValue* value = nullptr;
  std::u16string error;
  VendraJSON::LoadFile(FilePath().u16string(), &value, error);
  if (value) value->Release();
  return 0;
}
