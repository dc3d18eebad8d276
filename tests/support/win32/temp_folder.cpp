// Windows build of the test support: temporary folders below the user's
// temporary folder, and no unprivileged children (see unprivileged.cpp).
#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "common/text/utf.h"

namespace VendraTest {
namespace {

std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(VendraText::Utf8ToUtf16(utf8));
}

std::string Utf8(const std::filesystem::path& path) {
  return VendraText::Utf16ToUtf8(path.u16string());
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const auto candidate =
        base / ("vendra-test-" + std::to_string(stamp % 1000000007) + "-" +
                std::to_string(counter.fetch_add(1)));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = Utf8(candidate.lexically_normal());
      // The rest of the suite joins names with '/'; Windows takes both.
      for (char& c : path_)
        if (c == '\\') c = '/';
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(NativePath(path_), ec);
}

std::u16string TempFolder::wpath() const { return VendraText::Utf8ToUtf16(path_); }

std::u16string TempFolder::WSub(const std::string& name) const {
  return VendraText::Utf8ToUtf16(Sub(name));
}

void WriteTextFile(const std::string& path, const std::string& content) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ShownPath(std::string path) {
  for (auto& c : path) c = c == '/' ? '\\' : c;
  return path;
}

}  // namespace VendraTest
