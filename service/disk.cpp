#include "service/disk.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace VendraService {

std::optional<std::string> ReadFileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path temp = path;
  temp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temp, path, error);
  if (error) {
    std::filesystem::remove(temp, error);
    return false;
  }
  return true;
}

std::optional<nlohmann::ordered_json> ReadJsonObject(const std::filesystem::path& path) {
  auto text = ReadFileText(path);
  if (!text) return std::nullopt;
  auto object = nlohmann::ordered_json::parse(*text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return std::nullopt;
  return object;
}

bool IsSafeName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

std::optional<std::filesystem::path> SafeRelativePath(const std::filesystem::path& base,
                                                      std::string_view relative) {
  std::filesystem::path result = base;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view part = relative.substr(start, end - start);
    if (!IsSafeName(part)) return std::nullopt;
    result /= std::string(part);
    start = end + 1;
  }
  return result;
}

}  // namespace VendraService
